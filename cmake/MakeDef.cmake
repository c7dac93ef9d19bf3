# Writes a module-definition file listing every function that MinGW's import library IMPLIB
# declares for DLL (from its __imp__ symbols, with their stdcall decorations).
execute_process(COMMAND ${NM} -g --defined-only ${IMPLIB} OUTPUT_VARIABLE syms COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "__imp__[A-Za-z0-9_@]+" imps "${syms}")
list(REMOVE_DUPLICATES imps)
set(text "LIBRARY ${DLL}.dll\nEXPORTS\n")
foreach(imp IN LISTS imps)
  string(REGEX REPLACE "^__imp__" "" name "${imp}")
  string(APPEND text "${name}\n")
endforeach()
file(WRITE "${DEF}" "${text}")
