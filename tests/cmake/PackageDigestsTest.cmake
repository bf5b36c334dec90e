# What the build accepts as the server's URL and as the packages' pins, and how it refuses the rest:
#   cmake -D scratch=<empty folder to work in> -P PackageDigestsTest.cmake
cmake_minimum_required(VERSION 3.25)
set(run ${CMAKE_CURRENT_LIST_DIR}/RunPackageDigests.cmake)
file(REMOVE_RECURSE "${scratch}")
file(MAKE_DIRECTORY "${scratch}")

function(fail what)
  message(SEND_ERROR "${what}")
endfunction()

# Runs the check with the given -D arguments; expect is "ok" or a regular expression that the
# refusal must match.
function(expect_check what expect)
  execute_process(COMMAND ${CMAKE_COMMAND} ${ARGN} -P ${run} RESULT_VARIABLE result OUTPUT_VARIABLE out
                  ERROR_VARIABLE out)
  string(REGEX REPLACE "[ \n]+" " " out "${out}")
  if(expect STREQUAL "ok")
    if(NOT result EQUAL 0)
      fail("${what}: refused: ${out}")
    endif()
  elseif(result EQUAL 0)
    fail("${what}: accepted")
  elseif(NOT out MATCHES "${expect}")
    fail("${what}: refused, but not with '${expect}': ${out}")
  endif()
endfunction()

function(expect_url url allow expect)
  expect_check("URL ${url} (MAVIK_ALLOW_HTTP=${allow})" "${expect}" -D "url=${url}" -D "allow_http=${allow}")
endfunction()

expect_url("https://paketler.qormavik.test/" OFF ok)
expect_url("https://paketler.qormavik.test/indir/" OFF ok)
expect_url("http://paketler.qormavik.test/" OFF "is plain http.*MAVIK_ALLOW_HTTP=ON")
expect_url("http://paketler.qormavik.test/" ON ok)
expect_url("HTTP://paketler.qormavik.test/" ON "must be https://")
expect_url("https://paketler.qormavik.test" OFF "must be https://")
expect_url("https:///" OFF "must be https://")
expect_url("ftp://paketler.qormavik.test/" ON "must be https://")

set(a "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef")
set(b "FEDCBA9876543210FEDCBA9876543210FEDCBA9876543210FEDCBA9876543210")

# Writes the list as given (line ends included) into a folder of its own; returns its path.
function(list_file name text out)
  file(MAKE_DIRECTORY "${scratch}/${name}")
  file(WRITE "${scratch}/${name}/packages.sha256" "${text}")
  set(${out} "${scratch}/${name}/packages.sha256" PARENT_SCOPE)
endfunction()

function(expect_pins what text expect)
  list_file("${what}" "${text}" path)
  expect_check("${what}" "${expect}" -D "list=${path}" -D "signers=" -D "header=${scratch}/${what}/PackagePins.h")
endfunction()

# A whole list: text and binary mode, upper-case digits, Windows line ends, one package beside it.
file(MAKE_DIRECTORY "${scratch}/good")
file(WRITE "${scratch}/good/QorMavik64.exe" "MZ stand-in")
file(SHA256 "${scratch}/good/QorMavik64.exe" beside)
list_file(good "${beside}  QorMavik64.exe\r\n${b} *PDFCreator.exe\r\n" good_list)
expect_check("a good list" ok -D "list=${good_list}" -D "header=${scratch}/good/PackagePins.h")
file(READ "${scratch}/good/PackagePins.h" header)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1, " beside_bytes "${beside}")
string(REGEX REPLACE ", $" "" beside_bytes "${beside_bytes}")
if(NOT header MATCHES "\\{u\"QorMavik64.exe\", Sha256Digest\\{${beside_bytes}\\}, 11ULL\\}")
  fail("the pin of a package beside the list holds its digest and size: ${header}")
endif()
if(NOT header MATCHES "\\{u\"PDFCreator.exe\", Sha256Digest\\{0xfe, 0xdc, 0xba, [^}]*0x10\\}, std::nullopt\\}")
  fail("the pin of a package not beside the list holds its digest in lower case and no size: ${header}")
endif()

expect_pins(empty "" "pins no package")
expect_pins(short_line "${a}  \n" "line 1: expected")
expect_pins(one_blank "${a} QorMavik64.exe\n" "line 1: expected")
set(not_hex "0123456789abcdeg0123456789abcdef0123456789abcdef0123456789abcdef")
expect_pins(not_hex "${b}  PDFCreator.exe\n${not_hex}  QorMavik64.exe\n" "line 2: expected")
expect_pins(short_digest "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcde  QorMavik64.exe\n"
            "line 1: expected")
expect_pins(unknown "${a}  setup.exe\n" "'setup.exe' is none of the program's packages")
expect_pins(twice "${a}  QorMavik64.exe\n${b}  QorMavik64.exe\n" "line 2: 'QorMavik64.exe' is pinned twice")
expect_pins(semicolon "${a}  QorMavik64.exe;PDFCreator.exe\n" "holds ; \\[ or \\]")
expect_check("a list that is not there" "no such file" -D "list=${scratch}/nowhere/packages.sha256"
             -D "header=${scratch}/nowhere.h")
# A package beside the list that differs from its line: the list is stale.
list_file(stale "${a}  QorMavik32.exe\n" stale_list)
file(WRITE "${scratch}/stale/QorMavik32.exe" "MZ newer")
expect_check("a stale list" "QorMavik32.exe has the digest .* the list is stale" -D "list=${stale_list}"
             -D "header=${scratch}/stale.h")

# Runs a check that must succeed and say what `said` matches.
function(expect_said what said)
  execute_process(COMMAND ${CMAKE_COMMAND} ${ARGN} -P ${run} RESULT_VARIABLE result OUTPUT_VARIABLE out
                  ERROR_VARIABLE out)
  string(REGEX REPLACE "[ \n]+" " " out "${out}")
  if(NOT result EQUAL 0)
    fail("${what}: refused: ${out}")
  elseif(NOT out MATCHES "${said}")
    fail("${what}: does not say '${said}': ${out}")
  endif()
endfunction()

# Signer lists: comments, Windows line ends, two authorities for one package, a name with blanks
# and Turkish letters; a package pinned by digest and signer gets both in one pin.
function(signer_file name text out)
  file(MAKE_DIRECTORY "${scratch}/${name}")
  file(WRITE "${scratch}/${name}/packages.signers" "${text}")
  set(${out} "${scratch}/${name}/packages.signers" PARENT_SCOPE)
endfunction()
signer_file(signers "# the vendor's authorities\r\n${a}  QorMavik64.exe  QorMavik Yazılım A.Ş.\r\n\r\n${b}  QorMavik64.exe  QorMavik Yazılım A.Ş. \r\n${a}  PDFCreator.exe  pdfforge GmbH\n" signers)
list_file(signed_digests "${b}  PDFCreator.exe\n" signed_digests)
expect_said("a signer list and a digest list" "Some packages are pinned, these are not .*: NDP472-KB4054530-x86-x64-AllOS-ENU.exe, QorMavik32.exe"
            -D "list=${signed_digests}" -D "signers=${signers}" -D "header=${scratch}/signers/PackagePins.h")
file(READ "${scratch}/signers/PackagePins.h" header)
if(NOT header MATCHES "\\{u\"QorMavik64.exe\", std::nullopt, std::nullopt, \\{\\{Sha256Digest\\{0x01, 0x23, [^}]*\\}, u\"QorMavik Yazılım A.Ş.\"\\}, \\{Sha256Digest\\{0xfe, [^}]*\\}, u\"QorMavik Yazılım A.Ş.\"\\}\\}\\}")
  fail("a package with two signer pins holds both, and no digest: ${header}")
endif()
if(NOT header MATCHES "\\{u\"PDFCreator.exe\", Sha256Digest\\{0xfe, [^}]*\\}, std::nullopt, \\{\\{Sha256Digest\\{0x01, [^}]*\\}, u\"pdfforge GmbH\"\\}\\}\\}")
  fail("a package with a digest and a signer pin holds both: ${header}")
endif()

function(expect_signers what text expect)
  signer_file("${what}" "${text}" path)
  expect_check("${what}" "${expect}" -D "list=" -D "signers=${path}" -D "header=${scratch}/${what}/PackagePins.h")
endfunction()
expect_signers(signers_empty "# nothing yet\n" "pins no package")
expect_signers(signers_one_blank "${a} QorMavik64.exe  QorMavik\n" "line 1: expected")
expect_signers(signers_no_name "${a}  QorMavik64.exe\n" "line 1: expected")
expect_signers(signers_short "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcde  QorMavik64.exe  QorMavik\n"
               "line 1: the authority's thumbprint has 63 hex digits")
expect_signers(signers_unknown "${a}  setup.exe  QorMavik\n" "'setup.exe' is none of the program's packages")
expect_signers(signers_twice "${a}  QorMavik64.exe  QorMavik\n${a}  QorMavik64.exe  QorMavik\n"
               "line 2: this signer of 'QorMavik64.exe' is listed twice")
expect_signers(signers_quote "${a}  QorMavik64.exe  Qor\"Mavik\n" "line 1: the common name holds a quote")

# A release build pins every package, by either kind; a partial list is refused there.
signer_file(release_signers "${a}  QorMavik32.exe  QorMavik\n${a}  QorMavik64.exe  QorMavik\n" release_signers)
list_file(release_digests "${b}  PDFCreator.exe\n${b}  NDP472-KB4054530-x86-x64-AllOS-ENU.exe\n" release_digests)
expect_check("a release pinning every package" ok -D "list=${release_digests}" -D "signers=${release_signers}"
             -D "header=${scratch}/release.h" -D require_all=ON)
expect_check("a release pinning three packages" "not pinned: NDP472-KB4054530-x86-x64-AllOS-ENU.exe"
             -D "list=${signed_digests}" -D "signers=${release_signers}" -D "header=${scratch}/partial.h"
             -D require_all=ON)
expect_check("a release pinning nothing" "not pinned: NDP472-.*PDFCreator.exe, QorMavik32.exe, QorMavik64.exe"
             -D "list=" -D "signers=" -D "header=${scratch}/none.h" -D require_all=ON)
