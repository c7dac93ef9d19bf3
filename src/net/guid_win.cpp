// GUIDs from the COM generator.
#include <objbase.h>
#include <windows.h>

#include <cwchar>

#include "net/guid.h"

namespace net {

std::wstring NewGuidText() {
  GUID g;
  if (FAILED(CoCreateGuid(&g))) return {};
  wchar_t text[39];
  std::swprintf(text, 39, L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned long>(g.Data1),
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
  return text;
}

}  // namespace net
