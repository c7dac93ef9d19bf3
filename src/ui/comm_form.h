// Bases of every skinned window. TCommForm: centred, language font, Escape closes it (a modal
// form with the cancel result). TCommLangForm: also translated once when built, and moved by a
// press on its empty surface, background images, panels, group boxes and labels.
#pragma once

#include <string>
#include <vector>

#include "ui/control.h"
#include "ui/language.h"
#include "ui/trans_lang.h"

namespace ui {

class TCommForm : public TForm {
 public:
  using TForm::TForm;

  // Form-level key handling (Escape closes) and the given font. Every window is centred on the
  // screen when it is created.
  void initSettingManual(const std::wstring& fontName, int fontSize);
  // Closes the form on Escape (27) and consumes the key; other keys pass.
  static void EscapeKeyPress(TForm& form, wchar_t& key);
};

class TCommLangForm : public TCommForm {
 public:
  TLanguage FLang = TLanguage::Lang_EN;
  std::wstring FVer;

  bool bMouseDownToMoveClient() const { return mouseDownToMoveClient_; }
  // Switches drag-to-move on or off for the form and the exact classes TImage (without a click
  // handler), TPanel (without a mouse-down handler), TGroupBox and TLabel (without a click
  // handler) among its components. Image buttons, edits and page controls keep their behaviour.
  void SetbMouseDownToMoveClient(bool value);
  // Lets the system move the window with the pointer, whichever button was pressed.
  void MouseDownToMoveClient();

  void TranslateManually(const TLangTextSource& source = LoadLangResource);
  virtual void DoAfterFormTranslate() {}

 protected:
  using TCommForm::TCommForm;
  // The construction the dialogs run once their controls exist: language font, Escape,
  // translation, drag-to-move.
  void CreateCommLang(bool mouseDownToMoveClient, const TLangTextSource& source = LoadLangResource);

 private:
  bool mouseDownToMoveClient_ = false;
  std::vector<TControl*> dragTargets_;
};

}  // namespace ui
