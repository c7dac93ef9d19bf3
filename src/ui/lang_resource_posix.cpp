// The host build has no module resources, so no form carries a language text there.
#include "ui/trans_lang.h"

namespace ui {

std::optional<std::string> LoadLangResource(std::wstring_view) { return std::nullopt; }

}  // namespace ui
