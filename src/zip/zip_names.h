// Entry names: their bytes become text through UTF-8 (language-encoding flag), the Unicode path
// extra field (0x7075) when it belongs to these bytes, or else the OEM code page.
#pragma once

#include <string>
#include <string_view>

namespace zip {

std::wstring DecodeZipEntryName(std::string_view raw, bool utf8Flag, std::string_view centralExtra);

// True when the name's bytes are not plain ASCII and neither the language-encoding flag nor a
// Unicode path field says what they are: each machine then reads them in its own OEM code page.
bool NameDependsOnCodePage(std::string_view raw, bool utf8Flag, std::wstring_view decoded);

// The OEM code page: the system's on Windows, CP437 on the host.
std::wstring OemToWide(std::string_view oem);

}  // namespace zip
