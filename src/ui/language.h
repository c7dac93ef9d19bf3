// The languages a form can be shown in, with their codes and form fonts.
#pragma once

#include <cstdint>
#include <string_view>

namespace ui {

enum class TLanguage : std::uint8_t {
  Lang_EN, Lang_FR, Lang_GE, Lang_JA, Lang_KO, Lang_RU, Lang_SP, Lang_TU, Lang_CH, Lang_HK
};

struct TLanguageInfo {
  std::wstring_view code;      // names the language resource
  std::wstring_view fontName;
  int fontSize;                // points
};

const TLanguageInfo& LanguageInfo(TLanguage lang);

// Points to character height in pixels at 96 dots per inch (9 pt is 12 px).
constexpr int PointsToPixels(int points) { return (points * 96 + 36) / 72; }

}  // namespace ui
