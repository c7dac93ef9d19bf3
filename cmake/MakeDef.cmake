# Writes a module-definition file listing every function that MinGW's import library IMPLIB
# declares for DLL, from its import symbols: IMP_PREFIX followed by the name (with its stdcall
# decoration in a 32-bit library).
execute_process(COMMAND ${NM} -g --defined-only ${IMPLIB} OUTPUT_VARIABLE syms COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "${IMP_PREFIX}[A-Za-z0-9_@]+" imps "${syms}")
list(REMOVE_DUPLICATES imps)
set(text "LIBRARY ${DLL}.dll\nEXPORTS\n")
foreach(imp IN LISTS imps)
  string(REGEX REPLACE "^${IMP_PREFIX}" "" name "${imp}")
  string(APPEND text "${name}\n")
endforeach()
file(WRITE "${DEF}" "${text}")
