#include "system/services.h"

namespace sys {

std::wstring ServiceCommandLine(std::wstring_view binaryPath) {
  if (binaryPath.starts_with(L'"')) return std::wstring(binaryPath);
  return L"\"" + std::wstring(binaryPath) + L"\"";
}

}  // namespace sys
