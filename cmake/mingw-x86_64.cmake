# The same sources as a 64-bit Windows program: the test build for machines whose kernel runs no
# 32-bit programs, where only Wine's 64-bit loader works. It never ships.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake")
