// Form translation engine.
#include "ui/trans_lang.h"

#include <charconv>

#include "common/stored_string.h"
#include "common/strings.h"
#include "common/text.h"
#include "ui/control.h"

namespace ui {

namespace {

std::vector<std::wstring> SplitLines(std::wstring_view text) {
  std::vector<std::wstring> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'\r' && text[i] != L'\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::wstring_view Trim(std::wstring_view s) {
  while (!s.empty() && s.front() <= L' ') s.remove_prefix(1);
  while (!s.empty() && s.back() <= L' ') s.remove_suffix(1);
  return s;
}

// The items of a list value, each ended by "|"; text after the last "|" is not an item.
std::vector<std::wstring> ListItems(std::wstring_view value) {
  std::vector<std::wstring> items;
  for (std::size_t bar = value.find(L'|'); bar != std::wstring_view::npos; bar = value.find(L'|')) {
    items.emplace_back(value.substr(0, bar));
    value.remove_prefix(bar + 1);
  }
  return items;
}

int ToInteger(std::wstring_view text) {
  const std::string narrow = common::WideToUtf8(Trim(text));
  int value = 0;
  const char* first = narrow.data();
  const char* last = first + narrow.size();
  if (first != last && *first == '+') ++first;
  const auto [end, error] = std::from_chars(first, last, value);
  if (narrow.empty() || error != std::errc() || end != last) {
    throw EConvertError("'" + narrow + "' is not a valid integer value");
  }
  return value;
}

std::wstring PropertyOfTag(std::wstring_view tag, std::wstring_view component) {
  if (tag == L"Text") return component.starts_with(L"edt") ? L"Text" : L"Caption";
  if (tag == L"Widt") return L"Width";
  if (tag == L"Prog") return L"ProgressText";
  if (tag == L"URLL") return L"URL";
  if (tag == L"Colu") return L"Columns";
  if (tag == L"SBar") return L"Panels";
  if (tag == L"Comb") return L"Items";
  return std::wstring(tag);  // "Left", "Hint" and any other string property
}

}  // namespace

TTransLang::TTransLang(const std::wstring& softVer, TLanguage lang, bool bTranMsg, bool bEncryptedFormText,
                       const TLangTextSource& source)
    : TTransLang(TSoftInfo{L"", softVer, L"", lang}, bTranMsg, bEncryptedFormText, source) {}

TTransLang::TTransLang(const TSoftInfo& softinfo, bool bTranMsg, bool bEncryptedFormText, const TLangTextSource& source)
    : softVer_(softinfo.softVer), lang_(softinfo.lang), langName_(LanguageInfo(softinfo.lang).code) {
  LoadLangText(langName_, allStrList_, bEncryptedFormText, source);
  if (bTranMsg) LoadTranMsg();
}

bool TTransLang::LoadLangText(std::wstring_view code, std::vector<std::wstring>& lines, bool decipher,
                              const TLangTextSource& source) {
  const std::optional<std::string> bytes = source ? source(code) : std::nullopt;
  if (!bytes) return false;
  std::string_view utf8 = *bytes;
  if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);
  std::wstring joined;
  for (const std::wstring& line : SplitLines(common::Utf8ToWide(utf8))) {
    joined += line;
    joined += L"\r\n";
  }
  std::wstring text(Trim(joined));
  if (decipher) {
    text = common::DecipherHexText(text, kLangTextKey);
    while (!text.empty() && text.back() == L'\0') text.pop_back();  // the cipher's zero fill
  }
  lines = SplitLines(text);
  return true;
}

bool TTransLang::GetSectionLines(const std::vector<std::wstring>& lines, std::wstring_view name,
                                 std::vector<std::wstring>& out) {
  const std::wstring header = L"[" + std::wstring(name) + L"]";
  std::size_t i = 0;
  while (i < lines.size() && lines[i] != header) ++i;
  if (i == lines.size()) return false;
  for (++i; i < lines.size() && lines[i] != L"[End]"; ++i) out.push_back(lines[i]);
  return true;
}

void TTransLang::LoadTranMsg() {
  std::vector<std::wstring> lines;
  GetSectionLines(allStrList_, L"TranMsg", lines);
  for (const std::wstring& raw : lines) {
    const std::wstring line = common::ReplaceAll(raw, L"#$", L"\r\n", true);
    const std::size_t eq = line.find(L'=');
    if (eq == std::wstring::npos) continue;
    msgList_.emplace(line.substr(0, eq), line.substr(eq + 1));
  }
}

std::wstring TTransLang::EntryValue(std::wstring_view raw) const {
  std::wstring value = common::ReplaceAll(raw, L"#$", L"\r\n", true);
  const std::size_t placeholder = value.find(L"[Version]");
  if (placeholder != std::wstring::npos) value = value.substr(0, placeholder) + L" " + softVer_;
  return value;
}

void TTransLang::TransFormLang(TForm& form, bool bChangeFont) {
  if (bChangeFont) {
    const TLanguageInfo& info = LanguageInfo(lang_);
    form.Font.name = info.fontName;
    form.Font.height = PointsToPixels(info.fontSize);
  }
  std::vector<std::wstring> lines;
  if (GetSectionLines(allStrList_, form.Name(), lines)) ApplyLangLines(form, lines);
}

void TTransLang::ApplyLangLines(TForm& form, const std::vector<std::wstring>& lines) {
  for (const std::wstring& line : lines) {
    const std::size_t eq = line.find(L'=');
    if (eq == std::wstring::npos) continue;
    const std::wstring_view key = std::wstring_view(line).substr(0, eq);
    const std::size_t split = key.size() >= 4 ? key.size() - 4 : 0;
    const std::wstring_view name = key.substr(0, split);
    const std::wstring_view tag = key.substr(split);
    const std::wstring value = EntryValue(std::wstring_view(line).substr(eq + 1));
    const std::wstring property = PropertyOfTag(tag, name);

    if (common::UpperCase(name).starts_with(L"FRM")) {
      form.SetCaption(value);
      continue;
    }
    TComponent* component = form.FindComponent(name);
    if (!component) continue;
    const std::wstring& cls = component->ClassName();
    if (tag == L"Colu" && (cls == L"TListView" || cls == L"TRzListView")) {
      const auto items = ListItems(value);
      for (std::size_t i = 0; i < items.size(); ++i) component->SetColumnCaption(static_cast<int>(i), items[i]);
    }
    if (tag == L"SBar") {
      const auto items = ListItems(value);
      for (std::size_t i = 0; i < items.size(); ++i) component->SetPanelText(static_cast<int>(i), items[i]);
    }
    if (tag == L"Comb" && (cls == L"TComboBox" || cls == L"TRzComboBox")) component->SetItems(ListItems(value));
    if (auto* control = component->AsControl()) {
      if (property == L"Width") control->SetWidth(control->Width() + ToInteger(value));
      if (property == L"Left") control->SetLeft(control->Left() + ToInteger(value));
    }
    component->SetStringProperty(property, value);
    if (component->HasFont()) component->SetFontName(form.Font.name);
  }
}

}  // namespace ui
