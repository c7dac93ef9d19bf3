// The uninstall sequence of the main window.
#include "installer/uninstall_sequence.h"

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

void TUninstallSequence::moveUninstallProgress(int from, int to, int sleepMs) {
  for (int value = from; value <= to; ++value) {
    state_.FUninstallProgress = value;
    state_.view.SetPosition(Ctl::pbUninstall, value);
    state_.view.ProcessMessages();
    state_.view.Sleep(sleepMs);
  }
  state_.view.Sleep(100);
}

void TUninstallSequence::uninstall() {
  state_.FTargetDir = state_.ownFolder();
  state_.view.ShowPage(Page::tbUninProcess);
  state_.view.Sleep(100);
  moveUninstallProgress(0, 30, 3);
  doUninstall();
  moveUninstallProgress(31, 80, 3);
  moveUninstallProgress(80, 100, 5);
  state_.view.ShowPage(Page::tbUninFinish);
  state_.FExitCode = ExitCode::kUninstalled;
}

void TUninstallSequence::doUninstall() {
  const TConfigFile& config = *state_.FConfigFile;
  // Only this product's own install is ever emptied.
  if (!IsOwnInstallDir(state_.FTargetDir, config.SoftId)) return;

  // The registration, start-up entry, service, running program, links and settings belong to the
  // registered install; when that lies in another folder they stay with it.
  const std::wstring registered = sys::GetRegisteredInstallDir(config.SoftId);
  const bool ownsRegistration = registered.empty() || sys::SameFolder(registered, state_.FTargetDir);
  if (ownsRegistration) {
    const std::wstring version = sys::GetInstalledVersion(config.SoftId);
    if (!version.empty()) state_.api->ReportUninstall(version);
    TMessagePacer pace(state_.view);
    RunRegistrationSteps(UninstallRegistrationSteps(), state_.registrationContext(pace));
  }
  state_.view.ProcessMessages();

  // Settings are emptied only in a folder of the user's own below the application-data folders.
  const bool settings = ownsRegistration && !config.ConfigPathForUinstall.empty() &&
                        IsUserSettingsFolder(config.ConfigPathForUinstall);
  // Deleting thousands of files takes a while on a slow disk; the window answers meanwhile.
  sys::RunBesideGuiThread([&] {
    if (settings) sys::EmptyFolder(config.ConfigPathForUinstall, true);
    // Products whose identifier names "print" keep the subfolders of their install folder unless
    // the folder holds "soft.conf". The marker goes last, so that a killed uninstall may run again.
    const bool withSubfolders =
        sys::FileExists(state_.FTargetDir + L"\\soft.conf") || config.SoftId.find(L"print") == std::wstring::npos;
    sys::EmptyFolder(state_.FTargetDir, withSubfolders, kInstallMarkerName);
    sys::RemoveEntry(state_.FTargetDir + L"\\" + kInstallMarkerName);
    sys::RemoveFolder(state_.FTargetDir);
  });
}

void TUninstallSequence::leaveFinished() {
  const TConfigFile& config = *state_.FConfigFile;
  if (!config.OpenWebsiteAfterUninstall.empty()) {
    sys::OpenWebPage(ExpandWebAddress(config.OpenWebsiteAfterUninstall, config.Version));
  }
  state_.view.CloseWindow();
  sys::SelfDeleteAfterExit(state_.context.exeDir + state_.context.exeFileName);
}

}  // namespace installer
