# How long a download may go without a byte before it counts as stalled, compiled into the
# program like the server URL. The end-to-end tests build a copy with a short one (e2e/tools).
set(MAVIK_STALL_TIMEOUT_S 60 CACHE STRING "Seconds without a byte after which a download counts as stalled")
if(NOT MAVIK_STALL_TIMEOUT_S MATCHES "^[1-9][0-9]*$")
  message(FATAL_ERROR "MAVIK_STALL_TIMEOUT_S must be a whole number of seconds, got '${MAVIK_STALL_TIMEOUT_S}'")
endif()
