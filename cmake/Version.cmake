# The version information of the exe: releases are told apart by MAVIK_VERSION, which sets the
# file and product version, and by the texts a vendor gives. Nothing dated goes in, so a build of
# one commit and one version stays byte for byte the same.
set(MAVIK_VERSION "1.0.0.0" CACHE STRING "Version of the exe: major.minor.patch.build, each 0 to 65535")
set(MAVIK_COMPANY_NAME "QorMavik" CACHE STRING "CompanyName of the exe's version information")
set(MAVIK_FILE_DESCRIPTION "MavikWebSetup" CACHE STRING "FileDescription of the exe's version information")
set(MAVIK_LEGAL_COPYRIGHT "Copyright (C) QorMavik" CACHE STRING "LegalCopyright of the exe's version information")

# Sets ${out} to the four numbers of version, separated by commas, as VERSIONINFO takes them.
function(mavik_version_numbers version out)
  if(NOT version MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
    message(FATAL_ERROR "MAVIK_VERSION must be major.minor.patch.build, four whole numbers, got '${version}'")
  endif()
  set(numbers)
  foreach(part ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3} ${CMAKE_MATCH_4})
    if(part GREATER 65535)
      message(FATAL_ERROR "MAVIK_VERSION '${version}': each number is at most 65535")
    endif()
    math(EXPR part "${part}")  # no leading zeros
    list(APPEND numbers ${part})
  endforeach()
  list(JOIN numbers "," joined)
  set(${out} ${joined} PARENT_SCOPE)
endfunction()

# Sets ${out} to text as a string literal of a resource script, quotes doubled.
function(mavik_resource_string text out)
  string(REPLACE "\"" "\"\"" escaped "${text}")
  set(${out} "\"${escaped}\"" PARENT_SCOPE)
endfunction()
