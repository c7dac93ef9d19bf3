# Compiler settings of the two builds and the third-party pieces each one uses.

add_compile_options(-Wall -Wextra)

if(WIN32)
  # A static program: no compiler runtime DLLs beside it, small and stripped.
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  add_compile_options(-ffunction-sections -fdata-sections)
  # No run-time type information: every lambda kept in a std::function and every class with virtual
  # functions would otherwise carry its type's name and record (about 12 KB). The widget set tells
  # its kinds apart itself; exceptions still carry the type records they need.
  add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-fno-rtti>)
  add_link_options(-static -Wl,--gc-sections)
  # The program optimised as a whole at link time, which drops what nothing calls and takes about a
  # quarter off the installer. --gc-sections alone drops little here: the PE linker script keeps
  # every unwind entry (KEEP .eh_frame*), and each entry keeps its function. One partition, because
  # GCC 12's LTO for PE stops with an internal error (binds_to_current_def_p) on several.
  set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON)
  add_link_options(-flto-partition=one)
  if(CMAKE_BUILD_TYPE STREQUAL "MinSizeRel")
    add_link_options(-s)
  endif()

  # Header-only nlohmann-json from the host's package, without exposing all of /usr/include.
  set(_tp "${CMAKE_BINARY_DIR}/third_party/include")
  file(MAKE_DIRECTORY "${_tp}")
  file(CREATE_LINK /usr/include/nlohmann "${_tp}/nlohmann" SYMBOLIC)
  add_library(nlohmann_json INTERFACE)
  target_include_directories(nlohmann_json SYSTEM INTERFACE "${_tp}")
  add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json)

  find_library(ZLIB_STATIC NAMES libz.a REQUIRED)
  add_library(zlib_static STATIC IMPORTED)
  set_target_properties(zlib_static PROPERTIES IMPORTED_LOCATION "${ZLIB_STATIC}")
  add_library(ZLIB::ZLIB ALIAS zlib_static)

  include(cmake/DelayLoad.cmake)
else()
  find_package(nlohmann_json REQUIRED)
  find_package(ZLIB REQUIRED)
  find_package(OpenSSL REQUIRED)
  option(INSTALLER_SANITIZE "Build the host code with AddressSanitizer and UBSan" OFF)
  if(INSTALLER_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
  endif()
endif()
