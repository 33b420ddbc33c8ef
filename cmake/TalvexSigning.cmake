# Authenticode signing of every shipped binary, the installer and its
# uninstaller, with Debian's osslsigncode.
#
# A release build (-DTALVEX_RELEASE=ON) takes the publisher's certificate
# and private key (PEM files) from the environment or the cache, and fails
# to configure without them:
#   TALVEX_SIGN_CERT=/secure/publisher.crt TALVEX_SIGN_KEY=/secure/publisher.key cmake -DTALVEX_RELEASE=ON ...
# A build without them makes a development certificate and key once in its
# own folder (signing/, never committed) and signs with those, so a build
# and the next release built in the same folder agree.
#
# The upgrade assistant runs a downloaded installer only when its signer's
# public key is one of TALVEX_PUBLISHER_KEYS: the SHA-256 of the signing
# certificate's public key (its DER SubjectPublicKeyInfo), computed here,
# followed by TALVEX_PUBLISHER_KEYS_EXTRA (hexadecimal SHA-256 values,
# separated by spaces) for a planned change of key.
find_program(TALVEX_OSSLSIGNCODE osslsigncode REQUIRED)
find_program(TALVEX_OPENSSL openssl REQUIRED)

foreach(variable TALVEX_SIGN_CERT TALVEX_SIGN_KEY)
  if(NOT ${variable} AND DEFINED ENV{${variable}})
    set(${variable} $ENV{${variable}})
  endif()
  set(${variable} "${${variable}}" CACHE FILEPATH "Publisher's signing certificate or key (PEM)")
endforeach()
set(TALVEX_PUBLISHER_KEYS_EXTRA "" CACHE STRING "Further pinned publisher keys (SHA-256, hexadecimal)")
option(TALVEX_RELEASE "A release: signed with the publisher's certificate and key, never a development key" OFF)

# A release signed with, and pinning, a key made on the build machine would
# let that machine's key sign every later upgrade: a release needs both files.
if(TALVEX_RELEASE AND (NOT TALVEX_SIGN_CERT OR NOT TALVEX_SIGN_KEY))
  message(FATAL_ERROR "A release build (TALVEX_RELEASE) needs the publisher's certificate and key: "
                      "set TALVEX_SIGN_CERT and TALVEX_SIGN_KEY")
endif()

if(NOT TALVEX_SIGN_CERT OR NOT TALVEX_SIGN_KEY)
  set(dev ${CMAKE_BINARY_DIR}/signing)
  set(TALVEX_SIGN_CERT ${dev}/publisher.crt)
  set(TALVEX_SIGN_KEY ${dev}/publisher.key)
  if(NOT EXISTS ${TALVEX_SIGN_KEY})
    file(MAKE_DIRECTORY ${dev})
    execute_process(
      COMMAND ${TALVEX_OPENSSL} req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650
              -subj "/CN=Talvex Updater development build" -keyout ${TALVEX_SIGN_KEY} -out ${TALVEX_SIGN_CERT}
      RESULT_VARIABLE made OUTPUT_QUIET ERROR_QUIET)
    if(NOT made EQUAL 0)
      message(FATAL_ERROR "Could not make the development signing certificate in ${dev}")
    endif()
  endif()
  message(STATUS "Signing with the development certificate ${TALVEX_SIGN_CERT}")
endif()

# The pin of the signing key, as the assistant computes it from a signature.
execute_process(
  COMMAND sh -c "'${TALVEX_OPENSSL}' x509 -in '${TALVEX_SIGN_CERT}' -noout -pubkey | '${TALVEX_OPENSSL}' pkey -pubin -outform DER | sha256sum"
  OUTPUT_VARIABLE pin_line RESULT_VARIABLE pinned)
string(REGEX MATCH "^[0-9a-f]+" TALVEX_PUBLISHER_KEY "${pin_line}")
string(LENGTH "${TALVEX_PUBLISHER_KEY}" pin_length)
if(NOT pinned EQUAL 0 OR NOT pin_length EQUAL 64)
  message(FATAL_ERROR "Could not read the public key of ${TALVEX_SIGN_CERT}")
endif()
string(STRIP "${TALVEX_PUBLISHER_KEY} ${TALVEX_PUBLISHER_KEYS_EXTRA}" TALVEX_PUBLISHER_KEYS)
if(NOT TALVEX_RELEASE)
  message(STATUS "Development build: the upgrade assistant pins the key ${TALVEX_PUBLISHER_KEY} of ${TALVEX_SIGN_CERT}")
endif()

# The one command that signs a file in place.
set(TALVEX_SIGN_COMMAND ${PROJECT_SOURCE_DIR}/tools/sign-file.sh ${TALVEX_SIGN_CERT} ${TALVEX_SIGN_KEY})

# talvex_sign(target): signs the target's file each time it is linked.
function(talvex_sign target)
  add_custom_command(TARGET ${target} POST_BUILD COMMAND ${TALVEX_SIGN_COMMAND} $<TARGET_FILE:${target}> VERBATIM)
endfunction()
