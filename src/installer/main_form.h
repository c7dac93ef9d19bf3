// TFrmCommInst: the behaviour of the main window in both run modes. It owns what its parts share
// (TFormState) and keeps the window's handlers: start-up (TStartUp) decides the run mode and
// prepares the window, the install sequence (TInstallSequence) obtains, extracts and registers the
// product and starts it, the uninstall sequence (TUninstallSequence) removes it again. The handlers
// themselves keep the page flow, the close button, the custom-install toggle, the percent label and
// the one path of a handler's errors. Every handler runs on the GUI thread and reaches the window
// only through MainView.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "installer/exit_codes.h"
#include "installer/form_state.h"
#include "installer/install_sequence.h"
#include "installer/main_view.h"
#include "installer/start_up.h"
#include "installer/uninstall_sequence.h"
#include "system/handler_errors.h"

namespace installer {

class TFrmCommInst {
 public:
  TFrmCommInst(MainView& view, TProcessContext context);
  ~TFrmCommInst();
  TFrmCommInst(const TFrmCommInst&) = delete;
  TFrmCommInst& operator=(const TFrmCommInst&) = delete;

  // Window events.
  void FormCreate();
  void FormShow();
  // Whether a close request (the window's own, Alt+F4, another program's, a shutdown or log-off)
  // may close the window: not while an install or uninstall runs, whose close button is disabled.
  bool FormCloseQuery() const { return !state_.FOperationRunning; }
  void FormClose();
  void FormDestroy();

  // Control events.
  void btnInstallClick();
  void tmrAutoInstTimer();
  void btnChangeInstallClick() { install_.changeInstallDir(); }
  void btnInstallExitClick() { install_.leaveFinished(); }
  void btnUninstallClick();
  void btnUninExitClick() { guarded([this] { uninstall_.leaveFinished(); }); }
  void imgbtnCloseClick();
  void toggleCustomInstall();  // mouse press on imgDown or imgUp
  void pbProgressChange() { state_.showPercent(); }

  // Download and extraction progress (GUI thread).
  void idhtp1WorkBegin(std::int64_t workCountMax) { install_.downloadBegun(workCountMax); }
  void idhtp1Work(std::int64_t workCount) { install_.downloadProgress(workCount); }
  void idhtp1WorkFinish(std::int64_t responseCode) { install_.downloadFinished(responseCode); }
  void unzipPercentDone(int percent) { install_.unzipPercentDone(percent); }

  // Operations.
  void writeInstallInfo() { install_.writeInstallInfo(); }
  void doUninstall() { uninstall_.doUninstall(); }
  std::wstring findInstallDrive() const { return install_.findInstallDrive(); }
  std::wstring getMainProgPath() const { return state_.getMainProgPath(); }
  std::wstring getNameFromExe() const { return state_.getNameFromExe(); }

  // State, for the entry routine and for tests.
  ExitCode exitCode() const { return state_.FExitCode; }
  bool quitRequested() const { return state_.quitPosted; }
  bool installMode() const { return state_.FbInstallMode; }
  bool autoInstall() const { return state_.FbAutoInst; }
  int installStatus() const { return state_.FInstallStatus; }
  int downloadStatus() const { return state_.FDownloadStatus; }
  const std::wstring& targetDir() const { return state_.FTargetDir; }
  int progress() const { return state_.FProgress; }
  int uninstallProgress() const { return state_.FUninstallProgress; }
  TConfigFile* config() const { return state_.FConfigFile.get(); }

 private:
  // Marks an install or uninstall as under way for its lifetime: close requests are ignored, and
  // a shutdown or log-off is held off with reason as the system's explanation.
  class OperationScope {
   public:
    OperationScope(TFormState& state, const std::wstring& reason);
    ~OperationScope();
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;

   private:
    TFormState& state_;
  };

  // Runs an install or uninstall sequence as the operation under way, its errors guarded.
  void runOperation(const std::wstring& reason, const std::function<void()>& sequence);
  bool guarded(const std::function<void()>& handler);  // false when the handler ended with an error
  void handlerFailed(const std::wstring& message);      // where every error of a handler ends

  TFormState state_;
  TStartUp startUp_{state_};
  TInstallSequence install_{state_};
  TUninstallSequence uninstall_{state_};
  sys::HandlerErrorSink previousErrorSink_;  // put back when the window's behaviour goes
};

}  // namespace installer
