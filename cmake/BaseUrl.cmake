# The download server's root URL is compiled in; the program reads no configuration.
# Packages travel over https unless the builder says, knowingly, that plain http will do.
set(MAVIK_BASE_URL "https://paketler.qormavik.test/" CACHE STRING
    "Root URL of the download server (https://, ending in /)")
option(MAVIK_ALLOW_HTTP "Accept an http:// MAVIK_BASE_URL, whose packages anyone on the way can replace" OFF)

include(${CMAKE_CURRENT_LIST_DIR}/PackageDigests.cmake)
mavik_check_base_url("${MAVIK_BASE_URL}" "${MAVIK_ALLOW_HTTP}")
