# cmake -DEXE=<installer.exe> -DCERT=<certificate PEM> -DKEY=<private key PEM> -DOSSLSIGNCODE=<program>
#       -P SignInstaller.cmake
#
# Signs EXE in place with an Authenticode signature (SHA-256) made by osslsigncode. The build runs
# it after linking each installer when INSTALLER_SIGN_CERT and INSTALLER_SIGN_KEY are set; the
# tests run the very same script on a copy with a certificate made at test time.
foreach(v EXE CERT KEY OSSLSIGNCODE)
  if(NOT ${v})
    message(FATAL_ERROR "SignInstaller.cmake needs -D${v}=...")
  endif()
endforeach()
get_filename_component(name "${EXE}" NAME)
execute_process(
  COMMAND "${OSSLSIGNCODE}" sign -certs "${CERT}" -key "${KEY}" -h sha256 -n "${name}" -in "${EXE}" -out "${EXE}.signed"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  file(REMOVE "${EXE}.signed")
  message(FATAL_ERROR "osslsigncode could not sign ${EXE}:\n${output}")
endif()
file(RENAME "${EXE}.signed" "${EXE}")
