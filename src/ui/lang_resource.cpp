// Language texts are resources of type "Lang" named by the language code.
#include "system/resources.h"
#include "ui/trans_lang.h"

namespace ui {

std::optional<std::string> LoadLangResource(std::wstring_view code) {
  if (!sys::ResourceExists(code, L"Lang")) return std::nullopt;
  const std::vector<std::uint8_t> bytes = sys::LoadResourceBytes(code, L"Lang");
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace ui
