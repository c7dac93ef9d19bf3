// What the main window's header shows of the product.
#pragma once

#include <string>

namespace ui {

struct TProductTexts {
  std::wstring title;
  std::wstring version;
  std::wstring description;
  std::wstring bigTitle;
  std::wstring nameFromExe;  // when not empty: shown in the big title's place, and as the title
};

}  // namespace ui
