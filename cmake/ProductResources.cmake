# The product folder: configfile.json, <name>.png skin images, <code>.lang language texts and an
# optional zipfile.zip. configfile.json, the PNG files and zipfile.zip become embedded resources of
# type "FILE" named after the file without extension (configfile.json is "CONFIGFILE", zipfile.zip
# "ZIPFILE"); a <code>.lang file becomes a resource of type "LANG" named by its code ("EN.lang" is
# "EN"), where the form translation reads it. The program carries a picture of its own for every
# picture of its windows (resources/pictures.json, resources/pictures/), embedded as type "PICTURE"
# unless the product folder has one of that name, so a folder with some pictures or none still
# gives complete windows and each picture is carried once. A maker builds an installer for another
# product or channel by pointing INSTALLER_PRODUCT_DIR at another folder. The Windows build embeds
# the resources through an .rc file (src/installer); the host build links them as a table of named
# blobs (src/system), so host tests read the very files that ship.
include_guard(GLOBAL)

get_filename_component(INSTALLER_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

set(INSTALLER_PRODUCT_DIR "${INSTALLER_SOURCE_ROOT}/resources/product" CACHE PATH "Folder of the product to build an installer for")
# The shipped product, which the tests embed whatever product this build tree is for.
set(INSTALLER_SHIPPED_PRODUCT_DIR "${INSTALLER_SOURCE_ROOT}/resources/product")
find_program(INSTALLER_PYTHON python3 REQUIRED)
set(INSTALLER_PICTURES_TABLE "${INSTALLER_SOURCE_ROOT}/resources/pictures.json" CACHE INTERNAL "Table of the windows' pictures")
set(INSTALLER_PICTURES_DIR "${INSTALLER_SOURCE_ROOT}/resources/pictures" CACHE INTERNAL "The program's own pictures")

# installer_picture_table(): reads resources/pictures.json into the caller's scope:
# INSTALLER_PICTURES, the picture names in the table's order.
macro(installer_picture_table)
  file(READ "${INSTALLER_PICTURES_TABLE}" _picture_json)
  string(JSON _picture_count LENGTH "${_picture_json}" pictures)
  math(EXPR _picture_last "${_picture_count} - 1")
  set(INSTALLER_PICTURES "")
  foreach(_i RANGE ${_picture_last})
    string(JSON _picture_name GET "${_picture_json}" pictures ${_i} name)
    list(APPEND INSTALLER_PICTURES "${_picture_name}")
  endforeach()
endmacro()

# The program's own pictures are exactly those of the table.
installer_picture_table()
file(GLOB _own_pictures CONFIGURE_DEPENDS "${INSTALLER_PICTURES_DIR}/*")
set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${INSTALLER_PICTURES_TABLE}")
foreach(_file IN LISTS _own_pictures)
  get_filename_component(_name "${_file}" NAME)
  if(NOT _name MATCHES "^(.+)\\.png$" OR NOT CMAKE_MATCH_1 IN_LIST INSTALLER_PICTURES)
    message(FATAL_ERROR "${_file} is not a picture of ${INSTALLER_PICTURES_TABLE}")
  endif()
endforeach()
foreach(_name IN LISTS INSTALLER_PICTURES)
  if(NOT EXISTS "${INSTALLER_PICTURES_DIR}/${_name}.png")
    message(FATAL_ERROR "the picture ${_name} of ${INSTALLER_PICTURES_TABLE} has no ${INSTALLER_PICTURES_DIR}/${_name}.png")
  endif()
endforeach()

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

# installer_product_resources(<out-var> <folder>): what an installer for the folder embeds, one
# item <NAME>|<TYPE>|<file> each: the folder's files, then the program's own pictures that the
# folder does not replace.
function(installer_product_resources out folder)
  installer_picture_table()
  installer_product_files(files "${folder}")
  set(items "")
  set(taken "")
  foreach(f IN LISTS files)
    installer_resource_name(res "${f}")
    if(f MATCHES "\\.lang$")
      list(APPEND items "${res}|LANG|${f}")
    else()
      list(APPEND items "${res}|FILE|${f}")
      list(APPEND taken "${res}")
    endif()
  endforeach()
  foreach(name IN LISTS INSTALLER_PICTURES)
    string(TOUPPER "${name}" res)
    if(NOT res IN_LIST taken)
      list(APPEND items "${res}|PICTURE|${INSTALLER_PICTURES_DIR}/${name}.png")
    endif()
  endforeach()
  set(${out} "${items}" PARENT_SCOPE)
endfunction()

# installer_resource_files(<out-var> <items>): the files of installer_product_resources items.
function(installer_resource_files out items)
  set(files "")
  foreach(item IN LISTS items)
    string(REGEX REPLACE "^[^|]*\\|[^|]*\\|" "" f "${item}")
    list(APPEND files "${f}")
  endforeach()
  set(${out} "${files}" PARENT_SCOPE)
endfunction()

# installer_resource_table(<cpp> <folder>): writes the host build's table of what an installer for
# the folder embeds (sys::kEmbeddedFiles, see src/system/resource_table.h) to <cpp>; the assembler
# includes each file's bytes, and the source is rebuilt when a file changes.
function(installer_resource_table cpp folder)
  installer_product_resources(items "${folder}")
  set(blobs "")
  set(entries "")
  set(i 0)
  foreach(item IN LISTS items)
    string(REPLACE "|" ";" parts "${item}")
    list(GET parts 0 res)
    list(GET parts 1 type)
    list(GET parts 2 f)
    string(REPLACE "\\" "\\\\" quoted "${f}")
    string(REPLACE "\"" "\\\"" quoted "${quoted}")
    string(APPEND blobs
      "__asm__(\".section .rodata\\n.balign 16\\nembedded_${i}_begin:\\n.incbin \\\"${quoted}\\\"\\nembedded_${i}_end:\\n.previous\");\n"
      "extern \"C\" const unsigned char embedded_${i}_begin[], embedded_${i}_end[];\n")
    string(APPEND entries "    {\"${res}\", \"${type}\", embedded_${i}_begin, embedded_${i}_end},\n")
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
  installer_resource_files(files "${items}")
  set_property(SOURCE "${cpp}" APPEND PROPERTY OBJECT_DEPENDS ${files})
endfunction()

# installer_resource_entries(<out-var> <depends-var> <folder>): the .rc lines that embed what an
# installer for the folder carries, and the files they name.
function(installer_resource_entries out depends folder)
  installer_product_resources(items "${folder}")
  set(lines "")
  foreach(item IN LISTS items)
    string(REPLACE "|" ";" parts "${item}")
    list(GET parts 0 res)
    list(GET parts 1 type)
    list(GET parts 2 f)
    string(APPEND lines "${res} ${type} \"${f}\"\n")
  endforeach()
  installer_resource_files(files "${items}")
  set(${out} "${lines}" PARENT_SCOPE)
  set(${depends} "${files}" PARENT_SCOPE)
endfunction()

# installer_embed_product(<target> <folder>): gives a program (a test, typically) what an installer
# for the folder embeds: an .rc file in the Windows build, a table of its own in the host build
# (which takes the place of the product folder's table linked through the system module).
function(installer_embed_product target folder)
  installer_check_product(${target} "${folder}")
  if(WIN32)
    installer_resource_entries(entries files "${folder}")
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
