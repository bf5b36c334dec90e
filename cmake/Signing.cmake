# Authenticode signing of the shipped exe, when the vendor's code-signing key is given.
set(MAVIK_SIGN_PKCS12 "" CACHE FILEPATH
    "Code-signing certificate with its key (.p12/.pfx) that signs MavikSetupWebCD.exe; empty: unsigned")
set(MAVIK_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File that holds the password of MAVIK_SIGN_PKCS12")
set(MAVIK_SIGN_TIMESTAMP_URL "" CACHE STRING
    "RFC 3161 timestamp server of the certificate's vendor; empty: the signature carries no timestamp")

# Signs the target's file in place after every link; the key's files count as link inputs.
function(mavik_sign_after_link target)
  if(NOT MAVIK_SIGN_PKCS12 AND NOT MAVIK_SIGN_PASSWORD_FILE)
    message(STATUS "${target}.exe will be unsigned: set MAVIK_SIGN_PKCS12 and MAVIK_SIGN_PASSWORD_FILE to sign it")
    return()
  endif()
  foreach(file MAVIK_SIGN_PKCS12 MAVIK_SIGN_PASSWORD_FILE)
    if(NOT EXISTS "${${file}}")
      message(FATAL_ERROR "${file} must name an existing file to sign the program, got '${${file}}'")
    endif()
  endforeach()
  # Looked for here so that a missing tool stops the configure, not the first link.
  find_program(MAVIK_OSSLSIGNCODE osslsigncode REQUIRED)
  message(STATUS "${target}.exe will be signed with ${MAVIK_SIGN_PKCS12}")
  set(sign_script ${PROJECT_SOURCE_DIR}/scripts/sign-exe.sh)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${sign_script} $<TARGET_FILE:${target}> ${MAVIK_SIGN_PKCS12} ${MAVIK_SIGN_PASSWORD_FILE}
            ${MAVIK_SIGN_TIMESTAMP_URL}
    VERBATIM)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS
    ${MAVIK_SIGN_PKCS12} ${MAVIK_SIGN_PASSWORD_FILE} ${sign_script})
endfunction()
