// Shared behaviour of the skinned forms.
#include "ui/comm_form.h"

namespace ui {

void TCommForm::initSettingManual(const std::wstring& fontName, int fontSize) {
  OnKeyPress = EscapeKeyPress;
  Font.name = fontName;
  Font.height = PointsToPixels(fontSize);
}

void TCommForm::EscapeKeyPress(TForm& form, wchar_t& key) {
  if (key != 27) return;
  form.Close();
  key = 0;
}

void TCommLangForm::CreateCommLang(bool mouseDownToMoveClient, const TLangTextSource& source) {
  const TLanguageInfo& info = LanguageInfo(FLang);
  initSettingManual(std::wstring(info.fontName), info.fontSize);
  TranslateManually(source);
  SetbMouseDownToMoveClient(mouseDownToMoveClient);
}

void TCommLangForm::TranslateManually(const TLangTextSource& source) {
  TTransLang engine(FVer, FLang, false, false, source);
  engine.TransFormLang(*this, true);
  DoAfterFormTranslate();
}

void TCommLangForm::MouseDownToMoveClient() {
  ReleaseMouseCapture();
  if (Peer()) Peer()->BeginMove();
}

void TCommLangForm::SetbMouseDownToMoveClient(bool value) {
  mouseDownToMoveClient_ = value;
  TMouseEvent handler;
  if (value) handler = [this](TControl&, TMouseButton, int, int) { MouseDownToMoveClient(); };
  if (!value) {
    for (TControl* c : dragTargets_) c->OnMouseDown = nullptr;
  }
  dragTargets_.clear();
  OnMouseDown = handler;
  for (const auto& component : Components()) {
    auto* c = component->AsControl();
    if (!c) continue;
    const std::wstring& cls = c->ClassName();
    const bool take = (cls == L"TImage" && !c->OnClick) || (cls == L"TPanel" && !c->OnMouseDown) ||
                      cls == L"TGroupBox" || (cls == L"TLabel" && !c->OnClick);
    if (!take) continue;
    c->OnMouseDown = handler;
    if (value) dragTargets_.push_back(c);
  }
}

}  // namespace ui
