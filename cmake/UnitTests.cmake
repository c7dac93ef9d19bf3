# add_unit_test(<name> SOURCES ... [LIBS ...] [HOST_ONLY | WINE_ONLY] [LABELS ...] [RUN_SERIAL]
#               [WRAPPER command ...])
#
# One GoogleTest executable per area. The host build runs it natively (test "host.<name>"); each
# windows build cross-compiles the same sources and ctest runs them under Wine in the build's
# isolated prefix (test "wine32.<name>" in the 32-bit build, "wine64.<name>" in the 64-bit one;
# labels "wine" and the name's prefix). The host build's ctest also runs the windows builds' tests,
# so one ctest run covers them all. A WRAPPER command gets the test's command line as its
# arguments (tools/devserver/with-devserver gives the test a development server).
#
# Every test of a windows build is named after the bitness it ran in, with the label of that name:
#   WINE_TESTS  wine32 / wine64   programs of this build run under Wine
#   E2E_TESTS   e2e32 / e2e64     the end-to-end scenarios of this build's installer under Wine
#   PE_TESTS    pe32 / pe64       checks of this build's files that run no Windows code
# scripts/test picks by these labels what the machine can run.

set(WINE_PREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Isolated Wine prefix of the Wine tests")
set(WINE_RUN "${CMAKE_SOURCE_DIR}/scripts/wine-run")
# Environment of every program run under Wine by ctest.
set(WINE_TEST_ENV "WINEPREFIX=${WINE_PREFIX}")
if(WIN32)
  math(EXPR INSTALLER_BITS "${CMAKE_SIZEOF_VOID_P} * 8")
  set(WINE_TESTS wine${INSTALLER_BITS})
  set(E2E_TESTS e2e${INSTALLER_BITS})
  set(PE_TESTS pe${INSTALLER_BITS})
  # Wine's loader of this build's bitness, named directly: Debian's wine command starts the 32-bit
  # loader whenever wine32 is installed, and that loader fails on a kernel that runs no 32-bit
  # programs. Wine itself and the project's scripts (wine-run, wine-prefix, the scenarios) take it
  # from WINELOADER.
  if(INSTALLER_BITS EQUAL 64)
    list(APPEND WINE_TEST_ENV "WINELOADER=/usr/lib/wine/wine64")
  else()
    list(APPEND WINE_TEST_ENV "WINELOADER=/usr/lib/wine/wine")
  endif()
endif()

if(WIN32)
  set(HOST_BUILD_DIR "${CMAKE_SOURCE_DIR}/build/host" CACHE PATH "Host build whose ctest runs this build's tests and makes the test data they share")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  block()  # GoogleTest as plain objects: its old CMake policies would ignore link-time optimisation with a warning
    set(CMAKE_INTERPROCEDURAL_OPTIMIZATION OFF)
    add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
  endblock()
else()
  find_package(GTest REQUIRED)
  set(WINDOWS_BUILD_DIRS "${CMAKE_SOURCE_DIR}/build/windows;${CMAKE_SOURCE_DIR}/build/windows-x64" CACHE STRING
      "Windows builds whose tests this build's ctest runs too, where they are configured")
  set(include_text "")
  foreach(dir IN LISTS WINDOWS_BUILD_DIRS)
    # Every run says which windows builds' tests it includes, so that a run without them cannot pass
    # for a full one.
    string(APPEND include_text "if(EXISTS \"${dir}/CTestTestfile.cmake\")\n"
           "  message(\"Windows tests included: ${dir}\")\n  subdirs(\"${dir}\")\n"
           "else()\n  message(\"Windows tests NOT included: ${dir} is not configured\")\nendif()\n")
  endforeach()
  file(WRITE "${CMAKE_BINARY_DIR}/windows_tests.cmake" "${include_text}")
  set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY TEST_INCLUDE_FILES "${CMAKE_BINARY_DIR}/windows_tests.cmake")
endif()

function(add_unit_test name)
  cmake_parse_arguments(T "HOST_ONLY;WINE_ONLY;RUN_SERIAL" "" "SOURCES;LIBS;LABELS;WRAPPER" ${ARGN})
  if((T_HOST_ONLY AND WIN32) OR (T_WINE_ONLY AND NOT WIN32))
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE "${CMAKE_SOURCE_DIR}/src" "${CMAKE_SOURCE_DIR}/tests")
  target_compile_definitions(${name} PRIVATE TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  if(WIN32)
    add_test(NAME ${WINE_TESTS}.${name} COMMAND ${T_WRAPPER} "${WINE_RUN}" "$<TARGET_FILE:${name}>")
    set_tests_properties(${WINE_TESTS}.${name} PROPERTIES LABELS "wine;${WINE_TESTS};${T_LABELS}"
      ENVIRONMENT "${WINE_TEST_ENV}" WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" TIMEOUT 600)
    if(T_RUN_SERIAL)
      set_tests_properties(${WINE_TESTS}.${name} PROPERTIES RUN_SERIAL TRUE)
    endif()
  else()
    add_test(NAME host.${name} COMMAND ${T_WRAPPER} $<TARGET_FILE:${name}>)
    set_tests_properties(host.${name} PROPERTIES LABELS "host;${T_LABELS}" TIMEOUT 600
      WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
  endif()
endfunction()
