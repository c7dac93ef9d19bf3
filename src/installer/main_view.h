// What the main window's behaviour (TFrmCommInst) needs of the window: its controls, its dialogs
// and message boxes, and the message pump. The Win32 window implements it; host tests drive the
// whole behaviour through a recording implementation.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ui/product_texts.h"

namespace installer {

// The controls that the behaviour touches, by their names in the window.
enum class Ctl {
  imgbtnClose,
  btnInstall,
  lblWaitingInfo,
  lblPercentNum,
  edtPath,
  pbProgress,
  pbUninstall,
};

// Pages of the page control cnMain, in their two one-way flows.
enum class Page { tbInstall, tbProcess, tbFinish, tbUninstall, tbUninProcess, tbUninFinish };

// Where a skin image resource goes: the three images, and the pictures of the window's four large
// buttons (btnInstall, btnInstallExit, btnUninstall, btnUninExit) in their three states.
enum class SkinSlot { imgMain, imgLogo, imgMiniLogo, ButtonsBitmap, ButtonsBitmapOver, ButtonsBitmapDown };

// Modal result of the already-installed dialog that means "打开软件".
inline constexpr int kOpenInstalledResult = 1;

class MainView {
 public:
  virtual ~MainView() = default;

  // The window.
  virtual void SetTitle(const std::wstring& text) = 0;  // application title and window caption
  // The target-folder row uncovered (the window at its expanded height, the up arrow showing, no
  // selection left in the path) or covered (collapsed, the down arrow showing).
  virtual void SetFolderRowOpen(bool open) = 0;
  virtual void HideAtStart() = 0;    // the message loop starts without showing the window
  virtual void BringToFront() = 0;   // set-foreground-window on the window's handle
  virtual void CloseWindow() = 0;    // closes the window: runs FormClose, then ends the program
  virtual void PostQuit() = 0;       // ends the message loop without closing the window
  virtual void ProcessMessages() = 0;  // runs pending messages and hand-offs from worker threads
  virtual void WaitForMessages(int timeoutMs) = 0;  // waits for one to arrive, then as ProcessMessages
  virtual void Sleep(int milliseconds) = 0;
  virtual void SetAutoInstallTimer(bool enabled) = 0;  // tmrAutoInst, 100 ms
  // Holds off a shutdown or log-off (the system shows reason meanwhile) until AllowSessionEnd.
  virtual void BlockSessionEnd(const std::wstring& reason) = 0;
  virtual void AllowSessionEnd() = 0;

  // Controls.
  virtual void ApplySkin(SkinSlot slot, const std::wstring& resourceName) = 0;
  virtual void HideTabs() = 0;  // clears every page's caption and hides its tab
  // The product's texts in the header, placed there as the layout wants them (once, at start-up).
  virtual void ShowProductTexts(const ui::TProductTexts& texts) = 0;
  virtual void ShowPage(Page page) = 0;
  virtual void SetText(Ctl control, const std::wstring& text) = 0;
  virtual std::wstring Text(Ctl control) = 0;
  virtual void SetVisible(Ctl control, bool visible) = 0;
  virtual void SetEnabled(Ctl control, bool enabled) = 0;
  virtual void SetPosition(Ctl bar, int value) = 0;  // progress bars

  // Dialogs and message boxes, each modal.
  virtual void ShowMessageDialog(const std::wstring& text) = 0;
  virtual bool ShowConfirmDialog(const std::wstring& text, bool yesDefault) = 0;  // true for "是"
  virtual int ShowCheckIfInstalled(const std::wstring& text) = 0;                // its modal result
  virtual void ShowMessageBox(const std::wstring& text) = 0;  // standard box, application title as caption
  virtual bool AskYesNo(const std::wstring& caption, const std::wstring& text) = 0;  // system Yes/No box
  virtual std::optional<std::wstring> BrowseForFolder(const std::wstring& title) = 0;  // nothing when cancelled
  // Opens file through the shell ("open") with parameters, in the working folder directory (none
  // when empty) and the show state (SW_ value), owned by the window when ownedByWindow; the shell's
  // result (above 32 on success).
  virtual std::intptr_t ShellOpen(const std::wstring& file, const std::wstring& parameters,
                                  const std::wstring& directory, int showCmd, bool ownedByWindow) = 0;
};

}  // namespace installer
