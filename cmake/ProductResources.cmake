# The product folder: configfile.json, one <name>.png per skin image and an optional zipfile.zip.
# Every file becomes an embedded resource of type "FILE" named after the file without extension
# (so configfile.json is "CONFIGFILE" and zipfile.zip is "ZIPFILE"). A maker builds an installer
# for another product or channel by pointing INSTALLER_PRODUCT_DIR at another folder. The Windows
# build embeds the files through the .rc file (src/installer); the host build links them as a table
# of named blobs (src/system), so host tests read the very files that ship.
include_guard(GLOBAL)

get_filename_component(INSTALLER_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

set(INSTALLER_PRODUCT_DIR "${INSTALLER_SOURCE_ROOT}/resources/product" CACHE PATH "Folder of the product to build an installer for")
# The shipped product, which the tests embed whatever product this build tree is for.
set(INSTALLER_SHIPPED_PRODUCT_DIR "${INSTALLER_SOURCE_ROOT}/resources/product")
find_program(INSTALLER_PYTHON python3 REQUIRED)

# installer_product_files(<out-var> <folder>): the embedded files of a product folder, sorted.
function(installer_product_files out folder)
  file(GLOB files CONFIGURE_DEPENDS "${folder}/*.json" "${folder}/*.png" "${folder}/*.zip" "${folder}/*.lang")
  list(SORT files)
  if(NOT EXISTS "${folder}/configfile.json")
    message(FATAL_ERROR "${folder} has no configfile.json; docs/maker.md describes a product folder")
  endif()
  set(${out} "${files}" PARENT_SCOPE)
endfunction()

installer_product_files(INSTALLER_PRODUCT_FILES "${INSTALLER_PRODUCT_DIR}")

# installer_resource_name(<out-var> <file>): the resource name that a product file is embedded as.
function(installer_resource_name out file)
  get_filename_component(stem "${file}" NAME_WE)
  string(TOUPPER "${stem}" stem)
  set(${out} "${stem}" PARENT_SCOPE)
endfunction()

# installer_resource_table(<cpp> <folder>): writes the host build's table of the folder's files
# (sys::kEmbeddedFiles, see src/system/resource_table.h) to <cpp>; the assembler includes each
# file's bytes, and the source is rebuilt when a file changes.
function(installer_resource_table cpp folder)
  installer_product_files(files "${folder}")
  set(blobs "")
  set(entries "")
  set(i 0)
  foreach(f IN LISTS files)
    installer_resource_name(res "${f}")
    string(REPLACE "\\" "\\\\" quoted "${f}")
    string(REPLACE "\"" "\\\"" quoted "${quoted}")
    string(APPEND blobs
      "__asm__(\".section .rodata\\n.balign 16\\nembedded_${i}_begin:\\n.incbin \\\"${quoted}\\\"\\nembedded_${i}_end:\\n.previous\");\n"
      "extern \"C\" const unsigned char embedded_${i}_begin[], embedded_${i}_end[];\n")
    string(APPEND entries "    {\"${res}\", \"FILE\", embedded_${i}_begin, embedded_${i}_end},\n")
    math(EXPR i "${i} + 1")
  endforeach()
  file(CONFIGURE OUTPUT "${cpp}" CONTENT
"// Generated from ${folder}; do not edit.
#include \"system/resource_table.h\"

${blobs}
namespace sys {
const EmbeddedFile kEmbeddedFiles[] = {
${entries}    {nullptr, nullptr, nullptr, nullptr},
};
const std::size_t kEmbeddedFileCount = ${i};
}  // namespace sys
" @ONLY)
  set_property(SOURCE "${cpp}" APPEND PROPERTY OBJECT_DEPENDS ${files})
endfunction()

# installer_resource_entries(<out-var> <folder>): the .rc lines that embed the folder's files.
function(installer_resource_entries out folder)
  installer_product_files(files "${folder}")
  set(lines "")
  foreach(f IN LISTS files)
    installer_resource_name(res "${f}")
    string(APPEND lines "${res} FILE \"${f}\"\n")
  endforeach()
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()

# installer_embed_product(<target> <folder>): gives a program (a test, typically) the folder's
# files as its embedded resources: an .rc file in the Windows build, a table of its own in the
# host build (which takes the place of the product folder's table linked through the system module).
function(installer_embed_product target folder)
  installer_product_files(files "${folder}")
  installer_check_product(${target} "${folder}")
  if(WIN32)
    installer_resource_entries(entries "${folder}")
    set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_files.rc")
    file(CONFIGURE OUTPUT "${rc}" CONTENT "#include <windows.h>\nLANGUAGE LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED\n${entries}" @ONLY)
    set_property(SOURCE "${rc}" APPEND PROPERTY OBJECT_DEPENDS ${files})
    target_sources(${target} PRIVATE "${rc}")
  else()
    set(cpp "${CMAKE_CURRENT_BINARY_DIR}/${target}_files.cpp")
    installer_resource_table("${cpp}" "${folder}")
    target_sources(${target} PRIVATE "${cpp}")
  endif()
endfunction()

# installer_check_product(<target> <folder>): before <target> is built, tools/check_product.py checks
# the folder; its errors (bad JSON, unknown or missing keys, unreadable values, broken pictures) stop
# the build with the whole list, its warnings (pictures of another size, files never read) are
# printed. One check per folder and build tree, run again whenever a file of the folder changes.
function(installer_check_product target folder)
  get_filename_component(folder "${folder}" ABSOLUTE)
  string(MD5 id "${folder}")
  string(SUBSTRING "${id}" 0 12 id)
  set(check "product_check_${id}")
  if(NOT TARGET ${check})
    set(stamp "${CMAKE_BINARY_DIR}/product-checks/${id}.checked")
    file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/product-checks")
    file(GLOB inputs LIST_DIRECTORIES false CONFIGURE_DEPENDS "${folder}/*")
    add_custom_command(OUTPUT "${stamp}"
      COMMAND "${INSTALLER_PYTHON}" "${INSTALLER_SOURCE_ROOT}/tools/check_product.py" "${folder}"
      COMMAND "${CMAKE_COMMAND}" -E touch "${stamp}"
      DEPENDS ${inputs} "${INSTALLER_SOURCE_ROOT}/tools/check_product.py" "${INSTALLER_SOURCE_ROOT}/resources/pictures.json"
      COMMENT "Checking the product folder ${folder}" VERBATIM)
    add_custom_target(${check} DEPENDS "${stamp}")
  endif()
  add_dependencies(${target} ${check})
endfunction()
