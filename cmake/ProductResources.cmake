# The product folder: configfile.json, one <name>.png per skin image and an optional zipfile.zip.
# Every file becomes an embedded resource of type "FILE" named after the file without extension
# (so configfile.json is "CONFIGFILE" and zipfile.zip is "ZIPFILE"). A maker builds an installer
# for another product or channel by pointing INSTALLER_PRODUCT_DIR at another folder.
set(INSTALLER_PRODUCT_DIR "${CMAKE_SOURCE_DIR}/resources/product" CACHE PATH "Folder of the product to build an installer for")

file(GLOB INSTALLER_PRODUCT_FILES CONFIGURE_DEPENDS "${INSTALLER_PRODUCT_DIR}/*.json" "${INSTALLER_PRODUCT_DIR}/*.png"
     "${INSTALLER_PRODUCT_DIR}/*.zip" "${INSTALLER_PRODUCT_DIR}/*.lang")
list(SORT INSTALLER_PRODUCT_FILES)
if(NOT EXISTS "${INSTALLER_PRODUCT_DIR}/configfile.json")
  message(FATAL_ERROR "${INSTALLER_PRODUCT_DIR} has no configfile.json")
endif()

# installer_resource_name(<out-var> <file>): the resource name that a product file is embedded as.
function(installer_resource_name out file)
  get_filename_component(stem "${file}" NAME_WE)
  string(TOUPPER "${stem}" stem)
  set(${out} "${stem}" PARENT_SCOPE)
endfunction()
