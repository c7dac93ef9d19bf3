// The uninstall operation of the main window: the timed progress, the removal steps, and leaving
// the finished uninstaller.
#include "installer/main_form.h"

#include "common/strings.h"
#include "installer/config_file.h"
#include "installer/install_folder.h"
#include "installer/install_rules.h"
#include "installer/message_pacer.h"
#include "installer/registration_steps.h"
#include "net/api.h"
#include "system/files.h"
#include "system/gui_thread.h"
#include "system/processes.h"
#include "system/uninstall_registration.h"

namespace installer {

namespace {

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

void TFrmCommInst::btnUninstallClick() {
  if (FOperationRunning) return;
  UninstallCloseLock lock(view_);
  OperationScope operation(*this, L"正在卸载…");
  guarded([this] { uninstall(); });
}

void TFrmCommInst::moveUninstallProgress(int from, int to, int sleepMs) {
  for (int value = from; value <= to; ++value) {
    FUninstallProgress = value;
    view_.SetPosition(Ctl::pbUninstall, value);
    view_.ProcessMessages();
    view_.Sleep(sleepMs);
  }
  view_.Sleep(100);
}

std::wstring TFrmCommInst::ownFolder() const {
  const std::wstring& exeDir = context_.exeDir;
  return exeDir.substr(0, exeDir.find_last_not_of(L"\\/") + 1);
}

void TFrmCommInst::uninstall() {
  FTargetDir = ownFolder();
  view_.ShowPage(Page::tbUninProcess);
  view_.Sleep(100);
  moveUninstallProgress(0, 30, 3);
  doUninstall();
  moveUninstallProgress(31, 80, 3);
  moveUninstallProgress(80, 100, 5);
  view_.ShowPage(Page::tbUninFinish);
  FExitCode = ExitCode::kUninstalled;
}

void TFrmCommInst::doUninstall() {
  const TConfigFile& config = *FConfigFile;
  // Only this product's own install is ever emptied.
  if (!IsOwnInstallDir(FTargetDir, config.SoftId)) return;

  // The registration, start-up entry, service, running program, links and settings belong to the
  // registered install; when that lies in another folder they stay with it.
  const std::wstring registered = sys::GetRegisteredInstallDir(config.SoftId);
  const bool ownsRegistration = registered.empty() || sys::SameFolder(registered, FTargetDir);
  if (ownsRegistration) {
    const std::wstring version = sys::GetInstalledVersion(config.SoftId);
    if (!version.empty()) api_->ReportUninstall(version);
    TMessagePacer pace(view_);
    RunRegistrationSteps(UninstallRegistrationSteps(), registrationContext(pace));
  }
  view_.ProcessMessages();

  // Settings are emptied only in a folder of the user's own below the application-data folders.
  const bool settings = ownsRegistration && !config.ConfigPathForUinstall.empty() &&
                        IsUserSettingsFolder(config.ConfigPathForUinstall);
  // Deleting thousands of files takes a while on a slow disk; the window answers meanwhile.
  sys::RunBesideGuiThread([&] {
    if (settings) sys::EmptyFolder(config.ConfigPathForUinstall, true);
    // Products whose identifier names "print" keep the subfolders of their install folder unless
    // the folder holds "soft.conf". The marker goes last, so that a killed uninstall may run again.
    const bool withSubfolders =
        sys::FileExists(FTargetDir + L"\\soft.conf") || config.SoftId.find(L"print") == std::wstring::npos;
    sys::EmptyFolder(FTargetDir, withSubfolders, kInstallMarkerName);
    sys::RemoveEntry(FTargetDir + L"\\" + kInstallMarkerName);
    sys::RemoveFolder(FTargetDir);
  });
}

void TFrmCommInst::btnUninExitClick() {
  guarded([this] {
    const TConfigFile& config = *FConfigFile;
    if (!config.OpenWebsiteAfterUninstall.empty()) {
      sys::OpenWebPage(ExpandWebAddress(config.OpenWebsiteAfterUninstall, config.Version));
    }
    view_.CloseWindow();
    sys::SelfDeleteAfterExit(context_.exeDir + context_.exeFileName);
  });
}

}  // namespace installer
