# Compiles a signer list into a PackagePins.h the way a signer-pinned build does:
#   cmake -D signers=<list> -D header=<header to write> -P PinSigners.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/PackageDigests.cmake)
mavik_write_package_pins("" "${signers}" "${header}" ON)
