# Lays the stand-in under every package name into <folder>/packages, lists their digests there as
# sha256sum would (packages.sha256), and compiles that list into <folder>/include/app/PackagePins.h
# the way a pinned build does:  cmake -D standin=<exe> -D folder=<folder> -P PinStandins.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/PackageDigests.cmake)

file(SHA256 "${standin}" digest)
set(list "")
foreach(name IN LISTS MAVIK_PACKAGE_FILES)
  configure_file("${standin}" "${folder}/packages/${name}" COPYONLY)
  string(APPEND list "${digest}  ${name}\n")
endforeach()
file(WRITE "${folder}/packages/packages.sha256" "${list}")
set(header "${folder}/include/app/PackagePins.h")
mavik_write_package_pins("${folder}/packages/packages.sha256" "" "${header}" ON)
# Newer than the stand-in even when its text did not change, so that the build does not run this again.
file(TOUCH "${header}")
