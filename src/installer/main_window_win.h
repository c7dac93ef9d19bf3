// The Win32 main window: the skinned layout of ui::TMainForm in a borderless window, offered to
// the behaviour through MainView. The controller attaches its handlers to the controls' event
// hooks (Form().btnInstall->OnClick and so on) and to OnClose.
#pragma once

#include <windows.h>

#include <functional>

#include "installer/main_view.h"
#include "ui/form_window_win.h"
#include "ui/main_form.h"

namespace installer {

class TMainWindow : public MainView {
 public:
  TMainWindow();
  ui::TMainForm& Form() { return form_; }
  HWND Handle() const { return window_.Handle(); }
  // Shows the window unless HideAtStart was asked for.
  void ShowAtStart(int showCommand);

  // Asked on every close request (close button, finish buttons, WM_CLOSE from Alt+F4, the taskbar
  // or another program) and on a shutdown or log-off: false refuses it.
  std::function<bool()> OnCloseQuery;
  // A close request that was granted: the window stops taking input, OnClose runs, then the
  // window is destroyed and the message loop ends.
  std::function<void()> OnClose;

  void SetTitle(const std::wstring& text) override;
  void SetFolderRowOpen(bool open) override;
  void HideAtStart() override { hiddenAtStart_ = true; }
  void BringToFront() override;
  void CloseWindow() override;
  void PostQuit() override;
  void ProcessMessages() override;
  void WaitForMessages(int timeoutMs) override;
  void Sleep(int milliseconds) override;
  void SetAutoInstallTimer(bool enabled) override;
  void BlockSessionEnd(const std::wstring& reason) override;
  void AllowSessionEnd() override;
  void ApplySkin(SkinSlot slot, const std::wstring& resourceName) override;
  void HideTabs() override;
  void ShowProductTexts(const ui::TProductTexts& texts) override;
  void ShowPage(Page page) override;
  void SetText(Ctl control, const std::wstring& text) override;
  std::wstring Text(Ctl control) override;
  void SetVisible(Ctl control, bool visible) override;
  void SetEnabled(Ctl control, bool enabled) override;
  void SetPosition(Ctl bar, int value) override;
  void ShowMessageDialog(const std::wstring& text) override;
  bool ShowConfirmDialog(const std::wstring& text, bool yesDefault) override;
  int ShowCheckIfInstalled(const std::wstring& text) override;
  void ShowMessageBox(const std::wstring& text) override;
  bool AskYesNo(const std::wstring& caption, const std::wstring& text) override;
  std::optional<std::wstring> BrowseForFolder(const std::wstring& title) override;
  std::intptr_t ShellOpen(const std::wstring& file, const std::wstring& parameters, const std::wstring& directory,
                          int showCmd, bool ownedByWindow) override;

 private:
  ui::TControl& Control(Ctl control);

  ui::TMainForm form_;
  ui::TFormWindow window_;
  bool hiddenAtStart_ = false;
  bool closing_ = false;
};

}  // namespace installer
