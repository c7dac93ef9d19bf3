// The system's OEM code page through the Win32 conversion.
#include <windows.h>

#include "zip/zip_names.h"

namespace zip {

std::wstring OemToWide(std::string_view oem) {
  if (oem.empty()) return {};
  const int n = MultiByteToWideChar(CP_OEMCP, 0, oem.data(), static_cast<int>(oem.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_OEMCP, 0, oem.data(), static_cast<int>(oem.size()), out.data(), n);
  return out;
}

}  // namespace zip
