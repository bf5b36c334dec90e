# The packages' SHA-256 pins are compiled in from a sha256sum list, checked at every configure.
set(MAVIK_PACKAGE_DIGESTS "" CACHE FILEPATH
    "sha256sum list of the packages the program pins (empty: none); a release build should set it")

set(MAVIK_PACKAGE_PINS_HEADER ${PROJECT_BINARY_DIR}/pins/include/app/PackagePins.h)
mavik_write_package_pins("${MAVIK_PACKAGE_DIGESTS}" ${MAVIK_PACKAGE_PINS_HEADER})
if(MAVIK_PACKAGE_DIGESTS)
  # A changed list, or a changed package beside it, is checked and compiled in again.
  get_filename_component(digests_folder "${MAVIK_PACKAGE_DIGESTS}" DIRECTORY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${MAVIK_PACKAGE_DIGESTS}")
  foreach(name IN LISTS MAVIK_PACKAGE_FILES)
    if(EXISTS "${digests_folder}/${name}")
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${digests_folder}/${name}")
    endif()
  endforeach()
endif()
