// Host build: files carry no Windows resources here, so there is nothing to remove.
#include "system/uninstaller_copy.h"

namespace sys {

bool RemoveFileResource(const std::wstring&, std::wstring_view, std::wstring_view) { return false; }

}  // namespace sys
