# Runs one build-time check by itself, for the tests of cmake/PackageDigests.cmake:
#   cmake -D url=<url> -D allow_http=ON|OFF -P RunPackageDigests.cmake
#   cmake -D list=<sha256sum file> -D signers=<signer list> -D header=<header to write>
#         [-D require_all=ON] -P RunPackageDigests.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/PackageDigests.cmake)
if(DEFINED url)
  mavik_check_base_url("${url}" "${allow_http}")
else()
  mavik_write_package_pins("${list}" "${signers}" "${header}" "${require_all}")
endif()
