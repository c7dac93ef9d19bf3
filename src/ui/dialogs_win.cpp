// The dialogs shown modally over the program's windows.
#include "ui/dialogs.h"
#include "ui/form_window_win.h"

namespace ui {

namespace {

int ShowModally(TForm& form) {
  TFormWindow window(form);
  return window.ShowModal();
}

}  // namespace

void ShowMessageDialog(const std::wstring& msg) {
  TFrmMsgBox box(msg, ResourceSkins());
  ShowModally(box);
}

bool ShowConfirmDialog(const std::wstring& msg, bool btnYesDefault) {
  TFrmConfirmbox box(msg, btnYesDefault, ResourceSkins());
  return ShowModally(box) == mrOk;
}

int ShowCheckIfInstallDialog(const std::wstring& msg) {
  TFrmCheckIfInstall box(msg, ResourceSkins());
  return ShowModally(box);
}

}  // namespace ui
