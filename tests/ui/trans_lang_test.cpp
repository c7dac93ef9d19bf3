// The form translation engine on sample language texts.
#include <gtest/gtest.h>

#include "stored_encoder.h"
#include "ui/comm_form.h"
#include "ui/controls.h"
#include "ui/trans_lang.h"

namespace {

using namespace ui;

class TListView : public TControl {
 public:
  explicit TListView(std::wstring name) : TControl(L"TListView", std::move(name)) {}
  void SetColumnCaption(int index, const std::wstring& text) override { columns.at(index) = text; }
  std::vector<std::wstring> columns = {L"c0", L"c1", L"c2"};
};

class TComboBox : public TControl {
 public:
  explicit TComboBox(std::wstring name, std::wstring cls = L"TComboBox") : TControl(std::move(cls), std::move(name)) {}
  void SetItems(const std::vector<std::wstring>& list) override { items = list; }
  std::vector<std::wstring> items = {L"old"};
};

struct TestForm : TForm {
  TestForm() : TForm(L"TFrmTest", L"FrmTest") {
    lblMsg = Create<TLabel>(nullptr, L"lblMsg");
    edtPath = Create<TEdit>(nullptr, L"edtPath");
    btnOK = Create<TLabel>(nullptr, L"btnOK");
    btnOK->SetBounds(178, 149, 100, 30);
    lvList = Create<TListView>(nullptr, L"lvList");
    cbChoice = Create<TComboBox>(nullptr, L"cbChoice");
    cbDerived = Create<TComboBox>(nullptr, L"cbDerived", L"TMyComboBox");
  }
  TLabel* lblMsg;
  TEdit* edtPath;
  TLabel* btnOK;
  TListView* lvList;
  TComboBox* cbChoice;
  TComboBox* cbDerived;
};

TLangTextSource Text(std::string text) {
  return [text](std::wstring_view code) -> std::optional<std::string> {
    if (code != L"EN") return std::nullopt;
    return text;
  };
}

void Translate(TForm& form, const std::string& text, const std::wstring& version = L"") {
  TTransLang engine(version, TLanguage::Lang_EN, false, false, Text(text));
  engine.TransFormLang(form, true);
}

TEST(TransLang, AppliesEntriesOfTheFormSection) {
  TestForm form;
  Translate(form,
            "\xEF\xBB\xBF[FrmOther]\nlblMsgText=wrong form\n[End]\n"
            "[FrmTest]\r\nFrmTestText=Title\r\nlblMsgText=A#$B\r\nedtPathText=C:\r\nbtnOKWidt=20\n"
            "btnOKLeft=-10\nlblMsgHint=tip\nlvListColu=Name|Size|\ncbChoiceComb=one|two|three\n"
            "cbDerivedComb=x|\nnoSuchCtlText=ignored\n[End]\nlblMsgHint=after the section\n");
  EXPECT_EQ(form.Caption(), L"Title");
  EXPECT_EQ(form.lblMsg->Caption(), L"A\r\nB");
  EXPECT_EQ(form.edtPath->Text(), L"C:");
  EXPECT_EQ(form.btnOK->BoundsRect(), (TRect{168, 149, 288, 179}));
  EXPECT_EQ(form.lblMsg->Hint, L"tip");
  EXPECT_EQ(form.lvList->columns, (std::vector<std::wstring>{L"Name", L"Size", L"c2"}));
  EXPECT_EQ(form.cbChoice->items, (std::vector<std::wstring>{L"one", L"two"}));
  EXPECT_EQ(form.cbDerived->items, (std::vector<std::wstring>{L"old"})) << "only the exact combo-box classes";
  EXPECT_EQ(form.lblMsg->Font.name, L"Tahoma") << "a translated control takes the form's font name";
  EXPECT_EQ(form.Font.name, L"Tahoma");
  EXPECT_EQ(form.Font.height, 12);
}

TEST(TransLang, ListValuesUseOnlyItemsEndedByABar) {
  TestForm form;
  Translate(form, "[FrmTest]\nlvListColu=Name|Size\n");
  EXPECT_EQ(form.lvList->columns, (std::vector<std::wstring>{L"Name", L"c1", L"c2"}));
}

TEST(TransLang, VersionPlaceholderCutsTheValue) {
  TestForm form;
  Translate(form, "[FrmTest]\nlblMsgText=Setup [Version] dropped\n", L"3.1");
  EXPECT_EQ(form.lblMsg->Caption(), L"Setup  3.1");
}

TEST(TransLang, SectionHeaderMustMatchTheWholeLine) {
  TestForm form;
  form.lblMsg->SetCaption(L"designed");
  Translate(form, "[FrmTest] \nlblMsgText=changed\n[End]\n");
  EXPECT_EQ(form.lblMsg->Caption(), L"designed");
}

TEST(TransLang, NonIntegerOffsetRaises) {
  TestForm form;
  EXPECT_THROW(Translate(form, "[FrmTest]\nbtnOKLeft=ten\n"), EConvertError);
  EXPECT_THROW(Translate(form, "[FrmTest]\nbtnOKWidt=\n"), EConvertError);
}

TEST(TransLang, WithoutLanguageTextOnlyTheFontChanges) {
  TestForm form;
  form.lblMsg->SetCaption(L"designed");
  TTransLang engine(L"", TLanguage::Lang_KO, false, false, [](std::wstring_view) { return std::nullopt; });
  engine.TransFormLang(form, true);
  EXPECT_EQ(form.lblMsg->Caption(), L"designed");
  EXPECT_EQ(form.Font.name, L"Tahoma");
  EXPECT_EQ(form.Font.height, 11) << "8 pt";
  EXPECT_TRUE(engine.AllLines().empty());
}

TEST(TransLang, EncipheredTextIsDecipheredWithItsKey) {
  const std::string plain = "[FrmTest]\r\nlblMsgText=secret\r\n[End]";
  const std::wstring hex = tools::EncodeStoredString(std::wstring(plain.begin(), plain.end()), kLangTextKey);
  const std::string stored = "  " + std::string(hex.begin(), hex.end()) + "\r\n";
  TestForm form;
  TTransLang engine(L"", TLanguage::Lang_EN, false, true, Text(stored));
  engine.TransFormLang(form, false);
  EXPECT_EQ(form.lblMsg->Caption(), L"secret");
  EXPECT_EQ(form.Font.name, L"Arial") << "no font change without bChangeFont";

  TestForm other;
  TTransLang wrongKey(L"", TLanguage::Lang_EN, false, true, Text("00112233"));
  wrongKey.TransFormLang(other, false);
  EXPECT_EQ(other.lblMsg->Caption(), L"");
}

TEST(TransLang, MessageTableOnRequest) {
  const std::string text = "[TranMsg]\nhello=Hi#$there\nno equals sign\nhello=second\nempty=\n[End]\n";
  TTransLang with(L"", TLanguage::Lang_EN, true, false, Text(text));
  EXPECT_EQ(with.MsgList(), (std::map<std::wstring, std::wstring>{{L"hello", L"Hi\r\nthere"}, {L"empty", L""}}));
  TTransLang without(L"", TLanguage::Lang_EN, false, false, Text(text));
  EXPECT_TRUE(without.MsgList().empty());
}

TEST(TransLang, LanguageTableSelectsCodeAndFont) {
  EXPECT_EQ(LanguageInfo(TLanguage::Lang_EN).code, L"EN");
  EXPECT_EQ(LanguageInfo(TLanguage::Lang_JA).fontName, L"MS Mincho");
  EXPECT_EQ(LanguageInfo(TLanguage::Lang_HK).code, L"HK");
  EXPECT_EQ(LanguageInfo(TLanguage::Lang_RU).fontName, L"Arial Narrow");
  std::vector<std::wstring> lines;
  std::wstring asked;
  TTransLang::LoadLangText(L"RU", lines, false, [&](std::wstring_view code) {
    asked = code;
    return std::optional<std::string>(" \r\n a\rb\n\n c \r\n\t");
  });
  EXPECT_EQ(asked, L"RU");
  EXPECT_EQ(lines, (std::vector<std::wstring>{L"a", L"b", L"", L" c"})) << "trimmed at both ends, split at CR, LF, CR LF";
}

}  // namespace
