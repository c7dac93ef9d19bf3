// GUIDs from the COM generator.
#include <objbase.h>
#include <windows.h>

#include "net/guid.h"

namespace net {

std::wstring NewGuidText() {
  GUID g;
  if (FAILED(CoCreateGuid(&g))) return {};
  wchar_t text[39];  // "{8-4-4-4-12}" in upper-case hex and its terminator
  if (StringFromGUID2(g, text, 39) != 39) return {};
  return text;
}

}  // namespace net
