// The main window's handlers: start-up, close and destroy, the page flow around both sequences,
// the close button, the custom-install toggle, and the one path of a handler's errors.
#include "installer/main_form.h"

#include <utility>

#include "installer/config_file.h"
#include "installer/reg_soft_info.h"
#include "net/api.h"
#include "system/gui_thread.h"
#include "system/single_instance.h"

namespace installer {

namespace {

// Restores the close button and btnInstall however the install operation ends.
class InstallButtonsLock {
 public:
  explicit InstallButtonsLock(MainView& view) : view_(view) {
    view_.SetVisible(Ctl::imgbtnClose, false);
    view_.SetEnabled(Ctl::imgbtnClose, false);
    view_.SetEnabled(Ctl::btnInstall, false);
  }
  ~InstallButtonsLock() {
    view_.SetEnabled(Ctl::imgbtnClose, true);
    view_.SetEnabled(Ctl::btnInstall, true);
    view_.SetVisible(Ctl::imgbtnClose, true);
  }
  InstallButtonsLock(const InstallButtonsLock&) = delete;
  InstallButtonsLock& operator=(const InstallButtonsLock&) = delete;

 private:
  MainView& view_;
};

// Re-enables the close button however the uninstall operation ends.
class UninstallCloseLock {
 public:
  explicit UninstallCloseLock(MainView& view) : view_(view) { view_.SetEnabled(Ctl::imgbtnClose, false); }
  ~UninstallCloseLock() { view_.SetEnabled(Ctl::imgbtnClose, true); }
  UninstallCloseLock(const UninstallCloseLock&) = delete;
  UninstallCloseLock& operator=(const UninstallCloseLock&) = delete;

 private:
  MainView& view_;
};

}  // namespace

TFrmCommInst::TFrmCommInst(MainView& view, TProcessContext context)
    : state_(view, std::move(context)),
      previousErrorSink_(sys::SetHandlerErrorSink([this](const std::wstring& message) { handlerFailed(message); })) {}

TFrmCommInst::~TFrmCommInst() {
  FormDestroy();
  sys::SetHandlerErrorSink(std::move(previousErrorSink_));
}

// An error that escapes a handler ends the handler and goes the way of every error that reaches
// a window procedure.
bool TFrmCommInst::guarded(const std::function<void()>& handler) {
  try {
    handler();
    return true;
  } catch (...) {
    sys::ReportHandlerError();
    return false;
  }
}

// The outcome is an unexpected error unless one was decided already; the user is told in the
// standard message box.
void TFrmCommInst::handlerFailed(const std::wstring& message) {
  if (state_.FExitCode == ExitCode::kCancelled) state_.FExitCode = ExitCode::kUnexpectedError;
  state_.view.ShowMessageBox(message);
}

void TFrmCommInst::FormCreate() {
  // A window that start-up could not prepare is never shown.
  if (!guarded([this] { startUp_.run(); })) {
    state_.view.HideAtStart();
    state_.quit(ExitCode::kUnexpectedError);
  }
}

void TFrmCommInst::FormShow() { state_.view.BringToFront(); }

void TFrmCommInst::FormClose() {
  // The window is going: nothing may start an install in it any more.
  state_.view.SetAutoInstallTimer(false);
  if (state_.FbInstallMode && state_.api) sys::RunBesideGuiThread([this] { state_.api->ReportInstallEnd(); });
}

void TFrmCommInst::FormDestroy() {
  state_.settings.reset();
  state_.api.reset();
  state_.FConfigFile.reset();
  // Last: nothing of this run overlaps a later one.
  state_.instance.reset();
}

TFrmCommInst::OperationScope::OperationScope(TFormState& state, const std::wstring& reason) : state_(state) {
  state_.FOperationRunning = true;
  state_.view.BlockSessionEnd(reason);
}

TFrmCommInst::OperationScope::~OperationScope() {
  state_.view.AllowSessionEnd();
  state_.FOperationRunning = false;
}

void TFrmCommInst::runOperation(const std::wstring& reason, const std::function<void()>& sequence) {
  OperationScope operation(state_, reason);
  guarded(sequence);
}

void TFrmCommInst::btnInstallClick() {
  // The auto-install timer may fire while the window processes messages during an install the
  // user started; there is only ever one install.
  if (state_.FOperationRunning) return;
  InstallButtonsLock lock(state_.view);
  runOperation(L"正在安装…", [this] { install_.install(); });
}

void TFrmCommInst::tmrAutoInstTimer() {
  state_.view.SetAutoInstallTimer(false);
  state_.unattended = true;
  btnInstallClick();
  state_.view.CloseWindow();
}

void TFrmCommInst::btnUninstallClick() {
  if (state_.FOperationRunning) return;
  UninstallCloseLock lock(state_.view);
  runOperation(L"正在卸载…", [this] { uninstall_.uninstall(); });
}

void TFrmCommInst::toggleCustomInstall() {
  state_.FImgDown = !state_.FImgDown;
  state_.view.SetFolderRowOpen(state_.FImgDown);
}

void TFrmCommInst::imgbtnCloseClick() {
  guarded([this] {
    if (!state_.FbInstallMode) {
      state_.view.CloseWindow();
    } else if (state_.FInstallStatus == kInstalled) {
      btnInstallExitClick();
    } else if (state_.view.ShowConfirmDialog(L"您确定要退出安装程序吗?", false)) {
      state_.view.CloseWindow();
    }
  });
}

}  // namespace installer
