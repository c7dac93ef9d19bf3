// The host's spelling of a path, for the host build's sources only.
#pragma once

#include <string>
#include <string_view>

namespace sys::platform {

// UTF-8, with "\" read as "/".
std::string NativePath(std::wstring_view path);

}  // namespace sys::platform
