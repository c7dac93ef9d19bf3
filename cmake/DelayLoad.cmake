# System libraries that are not KnownDLLs are never imported statically: a program started from a
# Downloads folder would otherwise load a planted copy from there, with administrator rights.
# Each one gets a delay-load import library, so code still calls its functions by name while the
# DLL itself is loaded on first use, after SetDefaultDllDirectories has limited the search to
# System32. The .def files are derived from MinGW's own import libraries.

set(INSTALLER_DELAYLOAD_DLLS winhttp bcrypt gdiplus dwmapi uxtheme version)

find_program(MINGW_NM NAMES ${MINGW_TRIPLE}-nm REQUIRED)
find_program(MINGW_DLLTOOL NAMES ${MINGW_TRIPLE}-dlltool REQUIRED)
# 32-bit import symbols carry the C prefix underscore (__imp__Name@N), 64-bit ones do not (__imp_Name).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_imp_prefix "__imp__")
else()
  set(_imp_prefix "__imp_")
endif()

foreach(dll IN LISTS INSTALLER_DELAYLOAD_DLLS)
  find_library(_implib_${dll} NAMES lib${dll}.a REQUIRED)
  set(def "${CMAKE_BINARY_DIR}/delayload/${dll}.def")
  set(lib "${CMAKE_BINARY_DIR}/delayload/lib${dll}_delay.a")
  add_custom_command(OUTPUT "${lib}"
    COMMAND ${CMAKE_COMMAND} -DNM=${MINGW_NM} -DIMP_PREFIX=${_imp_prefix} -DIMPLIB=${_implib_${dll}} -DDLL=${dll} -DDEF=${def}
            -P "${CMAKE_SOURCE_DIR}/cmake/MakeDef.cmake"
    COMMAND ${MINGW_DLLTOOL} --input-def "${def}" --output-delaylib "${lib}" -k
    DEPENDS "${CMAKE_SOURCE_DIR}/cmake/MakeDef.cmake"
    COMMENT "Delay-load import library for ${dll}.dll" VERBATIM)
  add_custom_target(delayload_${dll} DEPENDS "${lib}")
  add_library(delay_${dll} STATIC IMPORTED GLOBAL)
  set_target_properties(delay_${dll} PROPERTIES IMPORTED_LOCATION "${lib}")
  add_dependencies(delay_${dll} delayload_${dll})
  add_library(Delay::${dll} ALIAS delay_${dll})
endforeach()
