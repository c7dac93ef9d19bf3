# cmake -DFILE=<path> -P PrintSize.cmake: prints the file's size, so that every build of an installer
# shows what it weighs (signature and embedded package included).
file(SIZE "${FILE}" bytes)
math(EXPR kib "(${bytes} + 1023) / 1024")
get_filename_component(name "${FILE}" NAME)
message("${name}: ${bytes} bytes (${kib} KiB)")
