// The three skinned modal dialogs: message (one button), confirmation (yes/no with a highlighted
// default) and the already-installed question. Modal result 1 is the affirmative button; 2 the
// other one, the close button or Escape. ShowMessageDialog and ShowConfirmDialog (dialogs_win.cpp)
// show them on Windows.
#pragma once

#include <string>

#include "ui/comm_form.h"
#include "ui/img_btn_ex.h"
#include "ui/layout.h"
#include "ui/skin.h"
#include "ui/text_image_button.h"

namespace ui {

// Background, caption, icon, message and close button shared by the three dialogs.
class TSkinDialog : public TCommLangForm {
 public:
  TImage* imgMain = nullptr;
  TLabel* lblCaption = nullptr;
  TImage* imgIcon = nullptr;
  TLabel* lblMsg = nullptr;
  TImgBtnEx* imgbtnClose = nullptr;

 protected:
  struct TDesign {
    const wchar_t* className;
    const wchar_t* name;
    const wchar_t* title;
    int width, height;
    TBox caption;
    int captionFont;
    TColor captionColor;
    TBox icon;
    TBox message;
    int messageFont;
    bool closeSprite;  // the close button changes its picture on hover and press
  };
  TSkinDialog(const TDesign& design, const TSkinSource& skins);
  // Edge lines and the close button, which lie above every other control.
  void AddFrame(const TSkinSource& skins, bool closeSprite);
  // Normal, hover and pressed pictures of a highlighted or a plain button.
  static void SkinButton(TTextImageButton& button, const TSkinSource& skins, bool highlighted);
};

class TFrmMsgBox : public TSkinDialog {
 public:
  TFrmMsgBox(const std::wstring& msg, const TSkinSource& skins);
  TTextImageButton* btnOK = nullptr;
};

// Two-button dialogs: "btnYes" gives 1, "btnNo" gives 2.
class TQuestionDialog : public TSkinDialog {
 public:
  TTextImageButton* btnYes = nullptr;
  TTextImageButton* btnNo = nullptr;

 protected:
  struct TButtons {
    TBox yes, no;
    const wchar_t* yesCaption;
    const wchar_t* noCaption;
    int font;
  };
  TQuestionDialog(const TDesign& design, const TButtons& buttons, const TSkinSource& skins);
};

class TFrmConfirmbox : public TQuestionDialog {
 public:
  TFrmConfirmbox(const std::wstring& msg, bool btnYesDefault, const TSkinSource& skins);
  bool FBtnYesDefault = false;
};

class TFrmCheckIfInstall : public TQuestionDialog {
 public:
  TFrmCheckIfInstall(const std::wstring& msg, const TSkinSource& skins);
};

// Modal dialogs on Windows. Each raises common::EGeneralError when a skin resource is missing.
void ShowMessageDialog(const std::wstring& msg);
// True exactly when the user chose "是".
bool ShowConfirmDialog(const std::wstring& msg, bool btnYesDefault);
// 1: open the installed software; 2: reinstall (also the close button and Escape).
int ShowCheckIfInstallDialog(const std::wstring& msg);

}  // namespace ui
