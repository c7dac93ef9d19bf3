// Language table.
#include "ui/language.h"

#include <array>

namespace ui {

const TLanguageInfo& LanguageInfo(TLanguage lang) {
  static const std::array<TLanguageInfo, 10> kTable{{
      {L"EN", L"Tahoma", 9},
      {L"FR", L"Tahoma", 9},
      {L"GE", L"Tahoma", 9},
      {L"JA", L"MS Mincho", 9},
      {L"KO", L"Tahoma", 8},
      {L"RU", L"Arial Narrow", 9},
      {L"SP", L"Tahoma", 9},
      {L"TU", L"Tahoma", 9},
      {L"CH", L"Tahoma", 9},
      {L"HK", L"新細明體", 9},
  }};
  const auto index = static_cast<std::size_t>(lang);
  return kTable[index < kTable.size() ? index : 0];
}

}  // namespace ui
