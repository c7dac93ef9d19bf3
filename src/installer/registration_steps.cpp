#include "installer/registration_steps.h"

#include <optional>

#include "common/strings.h"
#include "installer/companion.h"
#include "installer/config_file.h"
#include "installer/install_rules.h"
#include "system/associations.h"
#include "system/files.h"
#include "system/gui_thread.h"
#include "system/processes.h"
#include "system/services.h"
#include "system/shortcuts.h"
#include "system/startup_entry.h"
#include "system/uninstall_registration.h"
#include "system/uninstaller_copy.h"

namespace installer {
namespace {

constexpr wchar_t kServiceNameMissing[] = L"服务名未填";

// Names of the steps that an install step and its undoing share.
constexpr wchar_t kDesktopShortcut[] = L"desktop shortcut";
constexpr wchar_t kStartMenuShortcut[] = L"start-menu shortcut";
constexpr wchar_t kUninstallerShortcut[] = L"uninstaller's start-menu shortcut and folder";
constexpr wchar_t kStartup[] = L"start-up entry or service";
constexpr wchar_t kUninstallRegistration[] = L"uninstall registration";

std::wstring InFolder(const TRegistrationContext& c, const std::wstring& name) { return c.targetDir + L"\\" + name; }

std::wstring Uninstaller(const TRegistrationContext& c) { return InFolder(c, kUninstallerName); }

// The install.

void CreateDesktopLink(const TRegistrationContext& c) {
  std::wstring linkPath;
  sys::CreateDesktopShortcut(c.mainProg, L"", c.config.ShortcutName, linkPath);
}

void CreateStartMenuLink(const TRegistrationContext& c) {
  sys::CreateStartMenuShortcut(c.mainProg, c.config.ProgramDirName, c.config.ShortcutName);
}

void CopyUninstaller(const TRegistrationContext& c) { sys::WriteUninstallerCopy(c.installerPath, Uninstaller(c)); }

void CreateUninstallerLink(const TRegistrationContext& c) {
  sys::CreateStartMenuShortcut(Uninstaller(c), c.config.ProgramDirName, kUninstallShortcutName);
}

// A "config.dat" beside the installer goes with the product.
void CopyConfigDat(const TRegistrationContext& c) {
  const std::wstring source = c.installerDir + L"config.dat";
  if (sys::FileExists(source)) sys::CopyFileTo(source, InFolder(c, L"config.dat"));
}

void AssociateExtensions(const TRegistrationContext& c) {
  for (const std::wstring& ext : c.config.AssociatedExts) {
    if (!IsAssociableExt(ext)) continue;
    const std::wstring className = ext.substr(1) + L"File";
    sys::AssociateFileExt(ext, className, className, c.mainProg, L"");
    c.pace.Step();
  }
}

void RegisterProtocol(const TRegistrationContext& c) {
  if (c.config.ProtocalRootKeyName.empty()) return;
  // Registration is best effort: a registry error here does not stop the install.
  try {
    sys::RegisterUrlProtocol(c.config.ProtocalRootKeyName, c.config.Protocalname, c.mainProg);
  } catch (const common::EGeneralError&) {
  }
}

void RegisterDlls(const TRegistrationContext& c) {
  for (const std::wstring* dll : {&c.config.RegDllName, &c.config.RegDllName2, &c.config.RegDllName3}) {
    if (dll->empty()) continue;
    c.view.ShellOpen(sys::SystemProgramPath(L"regsvr32.exe"), L"/s-  \"" + InFolder(c, *dll) + L"\"", L"",
                     sys::kSwHide, false);
    c.pace.Step();
  }
}

// The product's start with Windows: its Run value, or its service.
void SetStartup(const TRegistrationContext& c, bool on) {
  const TConfigFile& config = c.config;
  if (!config.RunAtStartup) return;
  if (!config.StartupByService) {
    sys::SetRunAtStartup(config.SoftId, on, c.mainProg);
    return;
  }
  if (config.ServiceName.empty()) c.view.ShowMessageBox(kServiceNameMissing);
  // The service manager may keep a caller waiting half a minute; the window answers meanwhile.
  sys::RunBesideGuiThread([&] {
    if (on) {
      sys::InstallService(config.ServiceName, config.ServiceDisplayName,
                          sys::ProgramFolder(c.mainProg) + L"\\" + config.ServiceExeFileName);
      sys::StartServiceByName(config.ServiceName);
    } else {
      sys::StopServiceByName(config.ServiceName);
      sys::RemoveService(config.ServiceName);
    }
  });
}

void InstallStartup(const TRegistrationContext& c) { SetStartup(c, true); }

void StartCompanion(const TRegistrationContext& c) {
  if (const std::optional<std::wstring> companion = CompanionFileFor(c.config.SoftId)) {
    const std::wstring program = InFolder(c, *companion);
    c.view.ShellOpen(program, L"asso", sys::ProgramFolder(program), sys::kSwShowNormal, true);
  }
}

void WriteRegistration(const TRegistrationContext& c) {
  sys::WriteUninstallInfo(c.config.SoftId, c.config.ShortcutName, c.mainProg, c.targetDir, c.config.Version, L" ");
}

void RunAfterInstallBatches(const TRegistrationContext& c) {
  for (const std::wstring* bat : {&c.config.AfterInstBat1, &c.config.AfterInstBat2}) {
    if (bat->empty()) continue;
    sys::RunHiddenThroughCommandInterpreter(InFolder(c, *bat));
    c.pace.Step();
  }
}

// The uninstall.

void DeleteRegistration(const TRegistrationContext& c) { sys::DeleteUninstallInfo(c.config.SoftId); }

void RemoveStartup(const TRegistrationContext& c) { SetStartup(c, false); }

void EndMainProgram(const TRegistrationContext& c) { sys::KillProcessByName(c.config.MainProg); }

void DeleteDesktopLink(const TRegistrationContext& c) { sys::DeleteDesktopShortcut(c.mainProg, c.config.ShortcutName); }

void DeleteStartMenuLink(const TRegistrationContext& c) {
  sys::DeleteStartMenuShortcut(c.mainProg, c.config.ProgramDirName, c.config.ShortcutName);
}

// An uninstalled product leaves no dead link behind, nor an empty folder.
void DeleteUninstallerLink(const TRegistrationContext& c) {
  const std::wstring link = sys::StartMenuShortcutPath(Uninstaller(c), c.config.ProgramDirName, kUninstallShortcutName);
  sys::DeleteStartMenuShortcut(Uninstaller(c), c.config.ProgramDirName, kUninstallShortcutName);
  sys::RemoveFolder(link.substr(0, link.find_last_of(L"\\/")));
}

constexpr TRegistrationStep kInstallSteps[] = {
    {kDesktopShortcut, CreateDesktopLink, kDesktopShortcut},
    {kStartMenuShortcut, CreateStartMenuLink, kStartMenuShortcut},
    {L"uninstaller", CopyUninstaller},  // a file of the install folder: goes with it
    {kUninstallerShortcut, CreateUninstallerLink, kUninstallerShortcut},
    {L"config.dat", CopyConfigDat},  // a file of the install folder: goes with it
    // Associations, the protocol and registered DLLs stay: another program may have taken them
    // over since, and the uninstaller cannot tell.
    {L"file associations", AssociateExtensions},
    {L"URL protocol", RegisterProtocol},
    {L"DLL registrations", RegisterDlls},
    {kStartup, InstallStartup, kStartup},
    {L"companion program", StartCompanion},  // started once; nothing of it is registered
    {kUninstallRegistration, WriteRegistration, kUninstallRegistration},
    {L"after-install batch files", RunAfterInstallBatches},  // run once; what they do is their own
};

// The registration first, so that a product half taken apart is no longer offered as installed.
constexpr TRegistrationStep kUninstallSteps[] = {
    {kUninstallRegistration, DeleteRegistration},
    {kStartup, RemoveStartup},
    {L"running main program", EndMainProgram},  // before its links go, so that none is in use
    {kDesktopShortcut, DeleteDesktopLink},
    {kStartMenuShortcut, DeleteStartMenuLink},
    {kUninstallerShortcut, DeleteUninstallerLink},
};

}  // namespace

std::span<const TRegistrationStep> InstallRegistrationSteps() { return kInstallSteps; }

std::span<const TRegistrationStep> UninstallRegistrationSteps() { return kUninstallSteps; }

void RunRegistrationSteps(std::span<const TRegistrationStep> steps, const TRegistrationContext& context) {
  for (const TRegistrationStep& step : steps) {
    step.run(context);
    context.pace.Step();
  }
}

}  // namespace installer
