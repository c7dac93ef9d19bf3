// MainView on the skinned Win32 window.
#include "installer/main_window_win.h"

#include <shlobj.h>

#include "system/files.h"
#include "system/gui_thread.h"
#include "system/message_box.h"
#include "system/processes.h"
#include "system/win_handle.h"
#include "ui/dialogs.h"
#include "ui/png.h"

namespace installer {

TMainWindow::TMainWindow() : form_(ui::ResourceSkins()), window_(form_) {
  window_.QuitOnDestroy = true;
  window_.OnCloseRequest = [this] {
    if (closing_ || (OnCloseQuery && !OnCloseQuery())) return;
    closing_ = true;
    // Nothing can be clicked in it any more; it still serves its messages while OnClose sends
    // what it sends. (Hiding it instead costs two seconds under Wine without a window manager.)
    EnableWindow(window_.Handle(), FALSE);
    if (OnClose) OnClose();
    DestroyWindow(window_.Handle());
  };
  window_.OnQueryEndSession = [this] { return !OnCloseQuery || OnCloseQuery(); };
  window_.Create(nullptr, true);
  sys::SetApplicationWindow(window_.Handle(), L"Install");  // until the behaviour sets its title
}

void TMainWindow::ShowAtStart(int showCommand) {
  if (!hiddenAtStart_) window_.Show(showCommand);
}

ui::TControl& TMainWindow::Control(Ctl control) {
  switch (control) {
    case Ctl::imgbtnClose: return *form_.imgbtnClose;
    case Ctl::btnInstall: return *form_.btnInstall;
    case Ctl::lblWaitingInfo: return *form_.lblWaitingInfo;
    case Ctl::lblPercentNum: return *form_.lblPercentNum;
    case Ctl::edtPath: return *form_.edtPath;
    case Ctl::pbProgress: return *form_.pbProgress;
    case Ctl::pbUninstall: return *form_.pbUninstall;
  }
  return form_;
}

void TMainWindow::SetTitle(const std::wstring& text) {
  form_.SetCaption(text);
  sys::SetApplicationWindow(window_.Handle(), text);  // owner and caption of the system's message boxes
}

void TMainWindow::SetFolderRowOpen(bool open) { form_.SetFolderRowOpen(open); }

void TMainWindow::BringToFront() { SetForegroundWindow(window_.Handle()); }

void TMainWindow::CloseWindow() { PostMessageW(window_.Handle(), WM_CLOSE, 0, 0); }

void TMainWindow::PostQuit() { PostQuitMessage(0); }

void TMainWindow::ProcessMessages() { sys::ProcessPendingMessages(); }

void TMainWindow::WaitForMessages(int timeoutMs) { sys::WaitAndProcessMessages(static_cast<unsigned>(timeoutMs)); }

void TMainWindow::Sleep(int milliseconds) { ::Sleep(static_cast<DWORD>(milliseconds)); }

void TMainWindow::SetAutoInstallTimer(bool enabled) { form_.tmrAutoInst->SetEnabled(enabled); }

void TMainWindow::BlockSessionEnd(const std::wstring& reason) {
  ShutdownBlockReasonCreate(window_.Handle(), reason.c_str());
}

void TMainWindow::AllowSessionEnd() { ShutdownBlockReasonDestroy(window_.Handle()); }

void TMainWindow::ApplySkin(SkinSlot slot, const std::wstring& resourceName) {
  ui::TPicture picture;
  ui::LoadPngResourceToPicture(picture, resourceName, L"FILE");
  ui::TTextImageButton* large[] = {form_.btnInstall, form_.btnInstallExit, form_.btnUninstall, form_.btnUninExit};
  switch (slot) {
    case SkinSlot::imgMain: form_.imgMain->SetPicture(picture); break;
    case SkinSlot::imgLogo: form_.imgLogo->SetPicture(picture); break;
    case SkinSlot::imgMiniLogo: form_.imgMiniLogo->SetPicture(picture); break;
    case SkinSlot::ButtonsBitmap:
      for (auto* b : large) b->SetBitmap(picture);
      break;
    case SkinSlot::ButtonsBitmapOver:
      for (auto* b : large) b->SetBitmapOver(picture);
      break;
    case SkinSlot::ButtonsBitmapDown:
      for (auto* b : large) b->SetBitmapDown(picture);
      break;
  }
}

void TMainWindow::HideTabs() {
  for (ui::TTabSheet* page : form_.cnMain->Pages()) {
    page->SetCaption(L"");
    page->TabVisible = false;
  }
}

void TMainWindow::ShowProductTexts(const ui::TProductTexts& texts) { form_.ShowProductTexts(texts); }

void TMainWindow::ShowPage(Page page) {
  ui::TTabSheet* pages[] = {form_.tbInstall,   form_.tbProcess,     form_.tbFinish,
                            form_.tbUninstall, form_.tbUninProcess, form_.tbUninFinish};
  form_.cnMain->SetActivePage(pages[static_cast<int>(page)]);
}

void TMainWindow::SetText(Ctl control, const std::wstring& text) {
  if (control == Ctl::edtPath) {
    form_.edtPath->SetText(text);
  } else {
    Control(control).SetCaption(text);
  }
}

std::wstring TMainWindow::Text(Ctl control) {
  return control == Ctl::edtPath ? form_.edtPath->Text() : Control(control).Caption();
}

void TMainWindow::SetVisible(Ctl control, bool visible) { Control(control).SetVisible(visible); }

void TMainWindow::SetEnabled(Ctl control, bool enabled) { Control(control).SetEnabled(enabled); }

void TMainWindow::SetPosition(Ctl bar, int value) {
  switch (bar) {
    case Ctl::pbProgress: form_.pbProgress->SetPosition(value); break;
    case Ctl::pbUninstall: form_.pbUninstall->SetPosition(value); break;
    default: break;
  }
}

void TMainWindow::ShowMessageDialog(const std::wstring& text) { ui::ShowMessageDialog(text); }

bool TMainWindow::ShowConfirmDialog(const std::wstring& text, bool yesDefault) {
  return ui::ShowConfirmDialog(text, yesDefault);
}

int TMainWindow::ShowCheckIfInstalled(const std::wstring& text) { return ui::ShowCheckIfInstallDialog(text); }

// The standard box, owned by the window while it exists.
void TMainWindow::ShowMessageBox(const std::wstring& text) {
  sys::ShowMessageBox(window_.Handle(), text, sys::ApplicationTitle(), sys::mb::kOk);
}

bool TMainWindow::AskYesNo(const std::wstring& caption, const std::wstring& text) {
  return sys::AskYesNo(window_.Handle(), caption, text);
}

std::optional<std::wstring> TMainWindow::BrowseForFolder(const std::wstring& title) {
  BROWSEINFOW info{};
  info.hwndOwner = window_.Handle();
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  const sys::win::CoTaskPointer<ITEMIDLIST> chosen(SHBrowseForFolderW(&info));
  if (!chosen) return std::nullopt;
  wchar_t path[MAX_PATH] = {};
  if (!SHGetPathFromIDListW(chosen.Get(), path)) return std::nullopt;
  return std::wstring(path);
}

std::intptr_t TMainWindow::ShellOpen(const std::wstring& file, const std::wstring& parameters,
                                     const std::wstring& directory, int showCmd, bool ownedByWindow) {
  return sys::ShellOpen(ownedByWindow ? window_.Handle() : nullptr, file, parameters, directory, showCmd);
}

}  // namespace installer
