# The import slot names of the late-bound system functions (platform/win32/LateBoundFunctions.h),
# as the compiler calls through them: "__imp_<name>" on 64-bit, "__imp__<name>@<argument bytes>"
# on 32-bit. They come from the toolchain's own import libraries, so each function's decoration is
# the SDK's. A function that no import library of its DLL has gets no name, and its slot does not
# compile.

# Writes the header ${output} with one MAVIK_IMPORT_SLOT_<function> per function of ${table}.
function(mavik_write_late_bound_symbols table output)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${table})
  file(READ ${table} table_text)
  string(REGEX MATCHALL "X\\([A-Za-z0-9]+, [A-Za-z0-9]+\\)" entries "${table_text}")
  set(lines "// Made by cmake/LateBinding.cmake from LateBoundFunctions.h.\n#pragma once\n")
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "X\\(([A-Za-z0-9]+), ([A-Za-z0-9]+)\\)" "\\1;\\2" fields "${entry}")
    list(GET fields 0 dll)
    list(GET fields 1 function)
    string(TOLOWER ${dll} library)
    if(NOT DEFINED symbols_${library})
      find_library(import_library_${library} NAMES lib${library}.a REQUIRED NO_CACHE)
      execute_process(COMMAND ${CMAKE_NM} --defined-only ${import_library_${library}}
                      OUTPUT_VARIABLE symbols_${library} COMMAND_ERROR_IS_FATAL ANY)
    endif()
    string(REGEX MATCH "[ \n](__imp__?${function}(@[0-9]+)?)\n" found "${symbols_${library}}")
    if(found)
      string(STRIP "${found}" slot)
      string(APPEND lines "#define MAVIK_IMPORT_SLOT_${function} \"${slot}\"\n")
    endif()
  endforeach()
  file(CONFIGURE OUTPUT ${output} CONTENT "${lines}")
endfunction()
