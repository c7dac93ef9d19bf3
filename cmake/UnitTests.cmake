# add_unit_test(<name> SOURCES ... [LIBS ...] [HOST_ONLY | WINE_ONLY] [LABELS ...] [RUN_SERIAL]
#               [WRAPPER command ...])
#
# One GoogleTest executable per area. The host build runs it natively (test "host.<name>"); the
# windows build cross-compiles the same sources and ctest runs them under Wine in the build's
# isolated prefix (test "wine.<name>", label "wine"). The host build's ctest also runs the windows
# build's tests, so one ctest run covers both. A WRAPPER command gets the test's command line as
# its arguments (tools/devserver/with-devserver gives the test a development server).

set(WINE_PREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Isolated Wine prefix of the Wine tests")
set(WINE_RUN "${CMAKE_SOURCE_DIR}/scripts/wine-run")

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
  set(WINDOWS_BUILD_DIR "${CMAKE_SOURCE_DIR}/build/windows" CACHE PATH "Windows build whose tests this build's ctest runs too")
  file(WRITE "${CMAKE_BINARY_DIR}/windows_tests.cmake"
    "if(EXISTS \"${WINDOWS_BUILD_DIR}/CTestTestfile.cmake\")\n  subdirs(\"${WINDOWS_BUILD_DIR}\")\nendif()\n")
  set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY TEST_INCLUDE_FILES "${CMAKE_BINARY_DIR}/windows_tests.cmake")
endif()

# Environment of every program run under Wine by ctest.
set(WINE_TEST_ENV "WINEPREFIX=${WINE_PREFIX}")

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
    add_test(NAME wine.${name} COMMAND ${T_WRAPPER} "${WINE_RUN}" "$<TARGET_FILE:${name}>")
    set_tests_properties(wine.${name} PROPERTIES LABELS "wine;${T_LABELS}" ENVIRONMENT "${WINE_TEST_ENV}"
      WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" TIMEOUT 600)
    if(T_RUN_SERIAL)
      set_tests_properties(wine.${name} PROPERTIES RUN_SERIAL TRUE)
    endif()
  else()
    add_test(NAME host.${name} COMMAND ${T_WRAPPER} $<TARGET_FILE:${name}>)
    set_tests_properties(host.${name} PROPERTIES LABELS "host;${T_LABELS}" TIMEOUT 600
      WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
  endif()
endfunction()
