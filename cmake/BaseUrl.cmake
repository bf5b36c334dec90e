# The download server's root URL is compiled in; the program reads no configuration.
set(MAVIK_BASE_URL "http://paketler.qormavik.test/" CACHE STRING
    "Root URL of the download server (http:// or https://, ending in /)")
if(NOT MAVIK_BASE_URL MATCHES "^https?://.+/$")
  message(FATAL_ERROR
    "MAVIK_BASE_URL must start with http:// or https:// and end in /, got '${MAVIK_BASE_URL}'")
endif()
