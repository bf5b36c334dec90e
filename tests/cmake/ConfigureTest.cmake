# The real configure of the program with one toolchain refuses an http URL, a bad pin list and a
# malformed version, and compiles good pins in:
#   cmake -D source=<tree> -D toolchain=<file> -D scratch=<folder> -P ConfigureTest.cmake
# With -D preset=release instead of the toolchain: the release preset refuses a build that leaves a
# package unpinned.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${scratch}")
file(MAKE_DIRECTORY "${scratch}/packages")
set(digest "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef")

if(DEFINED preset)
  set(how --preset ${preset})
else()
  set(how -G Ninja -DCMAKE_TOOLCHAIN_FILE=${toolchain})
endif()

function(configure what expect)
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${source} -B ${scratch}/build ${how} ${ARGN}
                  WORKING_DIRECTORY ${source} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(REGEX REPLACE "[ \n]+" " " out "${out}")
  if(expect STREQUAL "ok")
    if(NOT result EQUAL 0)
      message(SEND_ERROR "${what}: the configure failed: ${out}")
    endif()
  elseif(result EQUAL 0)
    message(SEND_ERROR "${what}: the configure succeeded")
  elseif(NOT out MATCHES "${expect}")
    message(SEND_ERROR "${what}: the configure failed, but not with '${expect}': ${out}")
  endif()
endfunction()

if(DEFINED preset)
  set(other "FEDCBA9876543210FEDCBA9876543210FEDCBA9876543210FEDCBA9876543210")
  file(WRITE "${scratch}/packages/packages.sha256" "${digest}  QorMavik64.exe\n${digest}  QorMavik32.exe\n")
  file(WRITE "${scratch}/packages/packages.signers" "${other}  PDFCreator.exe  pdfforge GmbH\n")
  set(lists -DMAVIK_PACKAGE_DIGESTS=${scratch}/packages/packages.sha256
            -DMAVIK_PACKAGE_SIGNERS=${scratch}/packages/packages.signers)
  configure("a release leaving .NET unpinned" "not pinned: NDP472-KB4054530-x86-x64-AllOS-ENU.exe" ${lists})
  file(APPEND "${scratch}/packages/packages.signers"
       "${other}  NDP472-KB4054530-x86-x64-AllOS-ENU.exe  Microsoft Corporation\n")
  configure("a release pinning every package" ok ${lists})
  return()
endif()

configure("an http URL" "MAVIK_BASE_URL 'http://paketler.qormavik.test/' is plain http"
          -DMAVIK_BASE_URL=http://paketler.qormavik.test/)
file(WRITE "${scratch}/packages/packages.sha256" "${digest}  QorMavik.exe\n")
configure("a list naming an unknown file" "'QorMavik.exe' is none of the program's packages"
          -DMAVIK_BASE_URL=https://paketler.qormavik.test/ -DMAVIK_PACKAGE_DIGESTS=${scratch}/packages/packages.sha256)
file(WRITE "${scratch}/packages/packages.sha256" "${digest}  QorMavik64.exe\n")
configure("http allowed, one package pinned" ok -DMAVIK_BASE_URL=http://127.0.0.1/ -DMAVIK_ALLOW_HTTP=ON
          -DMAVIK_PACKAGE_DIGESTS=${scratch}/packages/packages.sha256)
file(READ "${scratch}/build/pins/include/app/PackagePins.h" header)
if(NOT header MATCHES "\\{u\"QorMavik64.exe\", Sha256Digest\\{0x01, 0x23,")
  message(SEND_ERROR "the pin is not compiled in: ${header}")
endif()
# Last: the build folder keeps a refused version in its cache.
configure("a version of three numbers" "MAVIK_VERSION must be major.minor.patch.build" -DMAVIK_VERSION=1.2.3)
configure("a version number over 65535" "each number is at most 65535" -DMAVIK_VERSION=1.65536.0.0)
