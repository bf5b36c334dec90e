# The packages' pins are compiled in from a sha256sum list of their digests and a list of their
# signers, both checked at every configure.
set(MAVIK_PACKAGE_DIGESTS "" CACHE FILEPATH
    "sha256sum list of the packages the program pins by digest (empty: none)")
set(MAVIK_PACKAGE_SIGNERS "" CACHE FILEPATH
    "list of the packages' Authenticode signers the program pins (empty: none)")
option(MAVIK_REQUIRE_PINS "Refuse to configure unless every package is pinned by digest or signer (release builds)" OFF)

set(MAVIK_PACKAGE_PINS_HEADER ${PROJECT_BINARY_DIR}/pins/include/app/PackagePins.h)
mavik_write_package_pins("${MAVIK_PACKAGE_DIGESTS}" "${MAVIK_PACKAGE_SIGNERS}" ${MAVIK_PACKAGE_PINS_HEADER}
                         ${MAVIK_REQUIRE_PINS})
# A changed list, or a changed package beside the digest list, is checked and compiled in again.
foreach(list_file IN ITEMS "${MAVIK_PACKAGE_DIGESTS}" "${MAVIK_PACKAGE_SIGNERS}")
  if(NOT list_file STREQUAL "")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${list_file}")
  endif()
endforeach()
if(MAVIK_PACKAGE_DIGESTS)
  get_filename_component(digests_folder "${MAVIK_PACKAGE_DIGESTS}" DIRECTORY)
  foreach(name IN LISTS MAVIK_PACKAGE_FILES)
    if(EXISTS "${digests_folder}/${name}")
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${digests_folder}/${name}")
    endif()
  endforeach()
endif()
