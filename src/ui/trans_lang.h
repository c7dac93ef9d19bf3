// Re-labels a form from a language text: per form section, entries "<component><tag>=<value>" set
// captions, texts, hints, list titles and position offsets, and the form takes the language font.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ui/language.h"

namespace ui {

class TForm;

// Key text of enciphered language texts.
inline constexpr std::wstring_view kLangTextKey = L"583017";

// A "Width" or "Left" value that is not an integer.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The UTF-8 bytes of the language resource named by a code; nothing when there is none.
using TLangTextSource = std::function<std::optional<std::string>(std::wstring_view code)>;

// The program's own language resources: type "Lang", named by the language code (a product
// folder's <code>.lang file).
std::optional<std::string> LoadLangResource(std::wstring_view code);

struct TSoftInfo {
  std::wstring softEnName;
  std::wstring softVer;
  std::wstring BuiltDate;
  TLanguage lang = TLanguage::Lang_EN;
};

class TTransLang {
 public:
  TTransLang(const std::wstring& softVer, TLanguage lang, bool bTranMsg, bool bEncryptedFormText,
             const TLangTextSource& source = LoadLangResource);
  TTransLang(const TSoftInfo& softinfo, bool bTranMsg, bool bEncryptedFormText,
             const TLangTextSource& source = LoadLangResource);

  // Sets the language font (when bChangeFont) and applies the form's section.
  // Raises EConvertError for a "Width" or "Left" value that is not an integer.
  void TransFormLang(TForm& form, bool bChangeFont);

  const std::vector<std::wstring>& AllLines() const { return allStrList_; }
  const std::map<std::wstring, std::wstring>& MsgList() const { return msgList_; }

  // The lines between "[name]" (the whole line) and the next "[End]" or the end; false without
  // such a header.
  static bool GetSectionLines(const std::vector<std::wstring>& lines, std::wstring_view name,
                              std::vector<std::wstring>& out);
  // Fills lines from the language text of code; false when there is none.
  static bool LoadLangText(std::wstring_view code, std::vector<std::wstring>& lines, bool decipher,
                           const TLangTextSource& source);

 private:
  void LoadTranMsg();
  void ApplyLangLines(TForm& form, const std::vector<std::wstring>& lines);
  std::wstring EntryValue(std::wstring_view raw) const;

  std::wstring softVer_;
  TLanguage lang_;
  std::wstring langName_;
  std::map<std::wstring, std::wstring> msgList_;
  std::vector<std::wstring> allStrList_;
};

}  // namespace ui
