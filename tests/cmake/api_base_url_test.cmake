# cmake -DSOURCE=<repository> -P api_base_url_test.cmake: which API base URLs a build accepts.
cmake_minimum_required(VERSION 3.25)
include("${SOURCE}/cmake/ApiBaseUrl.cmake")

set(default "http://127.0.0.1:18765")
# url | allow_http | accepted
set(cases
  "https://api.example.com|OFF|YES"
  "HTTPS://API.EXAMPLE.COM/v1|OFF|YES"
  "https://127.0.0.1:8443|OFF|YES"
  "http://127.0.0.1:18765|OFF|YES"
  "http://127.0.0.1:18766|OFF|NO"
  "http://api.example.com|OFF|NO"
  "HTTP://api.example.com|OFF|NO"
  "http://127.0.0.1:18765.evil.example|OFF|NO"
  "http://api.example.com|ON|YES"
  "http://127.0.0.1:18741|ON|YES"
  "ftp://api.example.com|ON|NO"
  "api.example.com|ON|NO"
  "https://api.example.com/\"x|OFF|NO"
  "https://api.example.com/\\x|OFF|NO"
  "https://api.example.com/ x|OFF|NO"
  "|OFF|NO")
set(failures 0)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 url)
  list(GET fields 1 allow)
  list(GET fields 2 accepted)
  installer_check_api_base_url("${url}" ${allow} "${default}" error)
  if(error STREQUAL "")
    set(got YES)
  else()
    set(got NO)
  endif()
  if(NOT got STREQUAL accepted)
    message(SEND_ERROR "\"${url}\" with INSTALLER_ALLOW_HTTP=${allow}: accepted ${got}, expected ${accepted}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()

# The generated definition carries the URL as it is.
set(CMAKE_BINARY_DIR "${CMAKE_CURRENT_BINARY_DIR}")
installer_api_base_url_source(file "https://api.example.com/v1")
file(READ "${file}" text)
if(NOT text MATCHES "return L\"https://api\\.example\\.com/v1\";")
  message(SEND_ERROR "generated source does not return the URL:\n${text}")
endif()
