# Values that the installer keeps only in their stored (enciphered) form, prepared at configure
# time (the product's package password): the plain value stays in the CMake cache and never reaches
# the compiler of the installer. Also usable as a script, for the tests:
#   cmake -DPLAIN=<text> -P cmake/StoredValues.cmake   prints the stored form of <text>
include_guard(GLOBAL)

find_program(INSTALLER_OPENSSL openssl REQUIRED)

# Key text of the stored values (common::kStoredValueKey): one ASCII character.
set(INSTALLER_STORED_VALUE_KEY "7")

# installer_stored_value(<out-var> <plain>): the stored form of a printable-ASCII text, as
# common::DecodeStoredString reads it: the byte length as 4 little-endian bytes, then the text
# filled up with zero bytes to whole 16-byte blocks (at least one), each block enciphered with
# AES-128 on its own under the key text filled up with zero bytes, all in upper-case hex. The ANSI
# code page of the installing machine decides how other characters would read, so they are refused.
function(installer_stored_value out plain)
  if(NOT plain MATCHES "^[ -~]*$")
    message(FATAL_ERROR "a stored value must be printable ASCII: \"${plain}\"")
  endif()
  string(LENGTH "${plain}" length)
  math(EXPR blocks "(${length} + 15) / 16")
  if(blocks EQUAL 0)
    set(blocks 1)
  endif()
  math(EXPR padded "${blocks} * 16")

  set(header "")
  foreach(shift 0 8 16 24)
    math(EXPR byte "(${length} >> ${shift}) & 255" OUTPUT_FORMAT HEXADECIMAL)
    string(REGEX REPLACE "^0x" "" byte "${byte}")
    string(LENGTH "${byte}" digits)
    if(digits EQUAL 1)
      set(byte "0${byte}")
    endif()
    string(APPEND header "${byte}")
  endforeach()

  string(HEX "${INSTALLER_STORED_VALUE_KEY}" key)
  string(LENGTH "${key}" digits)
  foreach(i RANGE ${digits} 31)
    string(APPEND key "0")
  endforeach()
  string(SUBSTRING "${key}" 0 32 key)

  set(work "${CMAKE_BINARY_DIR}/stored-value")
  file(MAKE_DIRECTORY "${work}")
  file(WRITE "${work}/plain" "${plain}")
  # Zero fill: a file grows with zero bytes.
  execute_process(COMMAND truncate -s ${padded} "${work}/plain" RESULT_VARIABLE failed)
  if(NOT failed)
    execute_process(COMMAND "${INSTALLER_OPENSSL}" enc -aes-128-ecb -nopad -K ${key} -in "${work}/plain"
                            -out "${work}/stored" RESULT_VARIABLE failed ERROR_VARIABLE error)
  endif()
  file(REMOVE "${work}/plain")
  if(failed)
    message(FATAL_ERROR "enciphering a stored value failed: ${error}")
  endif()
  file(READ "${work}/stored" cipher HEX)
  file(REMOVE_RECURSE "${work}")
  string(TOUPPER "${header}${cipher}" stored)
  set(${out} "${stored}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  installer_stored_value(stored "${PLAIN}")
  message("${stored}")
endif()
