// What the portable part of the file layer needs from each build (file_io_win.cpp,
// file_io_posix.cpp): closing a handle value and telling whether a folder stands at a path.
#pragma once

#include <cstdint>
#include <string_view>

namespace sys::file_io_platform {

// Closes an open handle value; false when the system reported an error.
bool CloseHandleValue(std::intptr_t handle);
// Whether a folder (or a link to one) stands at path.
bool FolderExists(std::wstring_view path);

}  // namespace sys::file_io_platform
