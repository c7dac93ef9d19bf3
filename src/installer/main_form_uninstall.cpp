// The uninstall operation of the main window: the timed progress, the removal steps, and leaving
// the finished uninstaller.
#include "installer/main_form.h"

#include "common/strings.h"
#include "installer/config_file.h"
#include "installer/install_rules.h"
#include "net/api.h"
#include "system/files.h"
#include "system/gui_thread.h"
#include "system/processes.h"
#include "system/services.h"
#include "system/shortcuts.h"
#include "system/startup_entry.h"
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

void TFrmCommInst::uninstall() {
  const std::wstring& exeDir = context_.exeDir;
  FTargetDir = exeDir.substr(0, exeDir.find_last_not_of(L"\\/") + 1);
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
  const std::wstring mainProg = getMainProgPath();

  const std::wstring version = sys::GetInstalledVersion(config.SoftId);
  if (!version.empty()) api_->ReportUninstall(version);
  sys::DeleteUninstallInfo(config.SoftId);

  if (config.RunAtStartup) {
    if (config.StartupByService) {
      if (config.ServiceName.empty()) view_.ShowMessageBox(L"服务名未填");
      // Stopping a service may take half a minute; the window answers meanwhile.
      sys::RunBesideGuiThread([&] {
        sys::StopServiceByName(config.ServiceName);
        sys::RemoveService(config.ServiceName);
      });
    } else {
      sys::SetRunAtStartup(config.SoftId, false, mainProg);
    }
  }

  sys::KillProcessByName(config.MainProg);

  sys::DeleteDesktopShortcut(mainProg, config.ShortcutName);
  sys::DeleteStartMenuShortcut(mainProg, config.ProgramDirName, config.ShortcutName);
  removeStartMenuEntries();
  view_.ProcessMessages();

  // Deleting thousands of files takes a while on a slow disk; the window answers meanwhile.
  sys::RunBesideGuiThread([&] {
    if (!config.ConfigPathForUinstall.empty() && sys::DirectoryExists(config.ConfigPathForUinstall)) {
      sys::EmptyFolder(config.ConfigPathForUinstall, true);
    }
    // Products whose identifier names "print" keep the subfolders of their install folder unless
    // the folder holds "soft.conf".
    const bool withSubfolders =
        sys::FileExists(FTargetDir + L"\\soft.conf") || config.SoftId.find(L"print") == std::wstring::npos;
    sys::EmptyFolder(FTargetDir, withSubfolders);
    sys::RemoveFolder(FTargetDir);
  });
}

// The installation also put the uninstaller's own link "卸载软件" into the product's start-menu
// folder; an uninstalled product should leave no dead link behind, nor an empty folder.
void TFrmCommInst::removeStartMenuEntries() {
  const TConfigFile& config = *FConfigFile;
  const std::wstring uninstaller = FTargetDir + L"\\" + kUninstallerName;
  const std::wstring link = sys::StartMenuShortcutPath(uninstaller, config.ProgramDirName, kUninstallShortcutName);
  sys::DeleteStartMenuShortcut(uninstaller, config.ProgramDirName, kUninstallShortcutName);
  sys::RemoveFolder(link.substr(0, link.find_last_of(L"\\/")));
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
