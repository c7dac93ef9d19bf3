#include "system/single_instance.h"

namespace sys {

std::wstring InstanceName(std::wstring_view productId) {
  std::wstring name = L"WebInstaller.";
  for (wchar_t c : productId) {
    if (c == L'%') {
      name += L"%25";
    } else if (c == L'\\') {
      name += L"%5C";
    } else {
      name += c;
    }
  }
  return name;
}

}  // namespace sys
