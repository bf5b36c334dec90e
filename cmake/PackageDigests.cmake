# Build-time checks of what the program compiles in: the server's URL and the packages' pins.
# Usable from a configure and from `cmake -P` scripts.

# Every package file name the program knows (setup/Main.h, PackageFile).
set(MAVIK_PACKAGE_FILES
  NDP472-KB4054530-x86-x64-AllOS-ENU.exe PDFCreator.exe QorMavik32.exe QorMavik64.exe)

# Fails the configure unless url is https://…/, or http://…/ with allow_http set.
function(mavik_check_base_url url allow_http)
  if(url MATCHES "^https://[^/]+(/.*)?/$")
    return()
  endif()
  if(url MATCHES "^http://[^/]+(/.*)?/$")
    if(allow_http)
      message(WARNING "MAVIK_BASE_URL is plain http (${url}): anyone between the user and the "
                      "server can replace the packages, which then run as administrator.")
      return()
    endif()
    message(FATAL_ERROR "MAVIK_BASE_URL '${url}' is plain http. Packages run as administrator, so they "
                        "must come over https: use an https:// URL, or set MAVIK_ALLOW_HTTP=ON to "
                        "accept http knowingly (tests on a closed network only). A build folder "
                        "configured when http was the default keeps it: configure it again with "
                        "-U MAVIK_BASE_URL to take the https default.")
  endif()
  message(FATAL_ERROR "MAVIK_BASE_URL must be https://<host>/ (a root URL ending in /), got '${url}'")
endfunction()

# Reads a sha256sum file ("<64 hex digits>  <file name>" per line; " *" before the name as
# sha256sum -b writes it) and sets, in the caller, <prefix>_NAMES to the pinned file names and
# <prefix>_DIGEST_<name> / <prefix>_SIZE_<name> to each one's digest (lower case) and size. The
# size is that of the file of the same name beside the list, whose digest must then match; it is
# "" when no such file is there. Fails on anything else: the build must not pin what it cannot.
function(mavik_read_package_digests list_file prefix)
  set(where "MAVIK_PACKAGE_DIGESTS (${list_file})")
  if(NOT EXISTS "${list_file}" OR IS_DIRECTORY "${list_file}")
    message(FATAL_ERROR "${where}: no such file")
  endif()
  file(READ "${list_file}" content)
  # Semicolons and brackets would bend CMake's lists; no line of the format holds them.
  if(content MATCHES "[][;]")
    message(FATAL_ERROR "${where}: not a sha256sum file (it holds ; [ or ])")
  endif()
  string(REPLACE "\r\n" "\n" content "${content}")
  string(REPLACE "\n" ";" lines "${content}")
  get_filename_component(folder "${list_file}" DIRECTORY)

  set(names)
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(line STREQUAL "")
      continue()
    endif()
    string(LENGTH "${line}" length)
    if(length LESS 67)
      message(FATAL_ERROR "${where}, line ${number}: expected '<64 hex digits>  <file name>', got '${line}'")
    endif()
    string(SUBSTRING "${line}" 0 64 digest)
    string(SUBSTRING "${line}" 64 2 separator)
    string(SUBSTRING "${line}" 66 -1 name)
    if(NOT digest MATCHES "^[0-9A-Fa-f]+$" OR NOT separator MATCHES "^ [ *]$")
      message(FATAL_ERROR "${where}, line ${number}: expected '<64 hex digits>  <file name>', got '${line}'")
    endif()
    if(NOT name IN_LIST MAVIK_PACKAGE_FILES)
      string(REPLACE ";" ", " known "${MAVIK_PACKAGE_FILES}")
      message(FATAL_ERROR "${where}, line ${number}: '${name}' is none of the program's packages (${known})")
    endif()
    if(name IN_LIST names)
      message(FATAL_ERROR "${where}, line ${number}: '${name}' is pinned twice")
    endif()
    string(TOLOWER "${digest}" digest)
    set(size "")
    if(EXISTS "${folder}/${name}")
      file(SHA256 "${folder}/${name}" actual)
      if(NOT actual STREQUAL digest)
        message(FATAL_ERROR "${where}, line ${number}: ${folder}/${name} has the digest ${actual}, "
                            "not the listed one: the list is stale")
      endif()
      file(SIZE "${folder}/${name}" size)
    endif()
    list(APPEND names "${name}")
    set(${prefix}_DIGEST_${name} "${digest}" PARENT_SCOPE)
    set(${prefix}_SIZE_${name} "${size}" PARENT_SCOPE)
  endforeach()
  if(NOT names)
    message(FATAL_ERROR "${where}: pins no package; leave MAVIK_PACKAGE_DIGESTS empty for an unpinned build")
  endif()
  set(${prefix}_NAMES "${names}" PARENT_SCOPE)
endfunction()

# Writes the C++ header that compiles the pins of list_file in ("" pins nothing).
function(mavik_write_package_pins list_file header)
  set(entries "")
  if(NOT list_file STREQUAL "")
    mavik_read_package_digests("${list_file}" pin)
    foreach(name IN LISTS pin_NAMES)
      string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1, " bytes "${pin_DIGEST_${name}}")
      string(REGEX REPLACE ", $" "" bytes "${bytes}")
      set(size "std::nullopt")
      if(NOT pin_SIZE_${name} STREQUAL "")
        set(size "${pin_SIZE_${name}}ULL")
      endif()
      string(APPEND entries "    {u\"${name}\", Sha256Digest{${bytes}}, ${size}},\n")
      if(pin_SIZE_${name} STREQUAL "")
        message(STATUS "Pinned ${name}: digest only, no such file beside the list to take its size from")
      else()
        message(STATUS "Pinned ${name}: digest and size (${pin_SIZE_${name}} bytes)")
      endif()
    endforeach()
  endif()
  set(text "#pragma once\n// Generated from a sha256sum list of the packages; empty when nothing is pinned.\n")
  string(APPEND text "#include \"setup/PackagePins.h\"\n\ninline const PackagePins CompiledPackagePins{\n")
  string(APPEND text "${entries}};\n")
  # Rewritten only when it changes, so that a new configure does not rebuild the program.
  file(CONFIGURE OUTPUT "${header}" CONTENT "${text}" @ONLY)
endfunction()
