// Start-up of the main window.
#include "installer/start_up.h"

#include <memory>

#include "installer/config_file.h"
#include "installer/install_folder.h"
#include "installer/install_rules.h"
#include "installer/reg_soft_info.h"
#include "installer/run_mode.h"
#include "net/api.h"
#include "system/files.h"
#include "system/folder_access.h"
#include "system/processes.h"
#include "system/single_instance.h"
#include "system/uninstall_registration.h"

namespace installer {

namespace {

constexpr wchar_t kRunningHere[] = L"此软件的安装或卸载正在进行，请等它完成。";
constexpr wchar_t kRunningInOtherSession[] = L"此软件正在另一位用户的会话中安装或卸载，请稍后再试。";

struct SkinResource {
  const wchar_t* name;
  SkinSlot slot;
};
constexpr SkinResource kSkins[] = {
    {L"bgpic", SkinSlot::imgMain},
    {L"logo", SkinSlot::imgLogo},
    {L"minilogo", SkinSlot::imgMiniLogo},
    {L"btninst01", SkinSlot::ButtonsBitmap},
    {L"btninst02", SkinSlot::ButtonsBitmapOver},
    {L"btninst03", SkinSlot::ButtonsBitmapDown},
};

}  // namespace

void TStartUp::run() {
  const std::vector<std::wstring>& arguments = state_.context.arguments;
  const std::wstring firstArgument = arguments.empty() ? std::wstring() : arguments.front();
  prepareWindow(firstArgument);
  if (!loadProduct()) return;
  if (state_.FbInstallMode ? !prepareInstall(firstArgument) : !prepareUninstall()) return;

  sys::KillProcessByName(state_.FConfigFile->MainProg);
  showProduct();
  if (state_.FbAutoInst) state_.view.SetAutoInstallTimer(true);
}

void TStartUp::prepareWindow(const std::wstring& firstArgument) {
  MainView& view = state_.view;
  view.SetTitle(L"Install");
  state_.FImgDown = false;
  view.SetFolderRowOpen(false);
  state_.FInstallStatus = kInstallNothingDone;
  state_.FbAutoInst = IsHiddenAutoInstallArgument(firstArgument);

  for (const SkinResource& skin : kSkins) {
    if (state_.context.resources.exists(skin.name)) view.ApplySkin(skin.slot, skin.name);
  }
}

bool TStartUp::loadProduct() {
  const TProcessContext& context = state_.context;
  std::string configBytes;
  if (context.resources.exists(L"configfile")) configBytes = context.resources.bytes(L"configfile");

  state_.FbInstallMode = IsInstallModeName(context.exeFileName);
  // The unattended run installs; an uninstaller started so would only wait unseen for ever.
  if (!state_.FbInstallMode) state_.FbAutoInst = false;
  if (state_.FbAutoInst) state_.view.HideAtStart();

  state_.FConfigFile =
      std::make_unique<TConfigFile>(configBytes, state_.FbInstallMode,
                                    TConfigContext{context.exeFileName, sys::GetAppDataDir, sys::GetLocalAppDataDir});
  TConfigFile& config = *state_.FConfigFile;
  // A document that is not a JSON object counts as an empty configuration: nothing could be
  // installed from it.
  if (!config.isUsable()) {
    state_.FConfigFile.reset();
    state_.view.ShowMessageDialog(L"config data is empty");
    state_.quit(ExitCode::kConfigEmpty);
    return false;
  }
  // Before anything is written, created, ended or reported.
  if (!claimProduct(config.SoftId)) {
    state_.FConfigFile.reset();
    return false;
  }
  config.syncSourceWithRegistry();

  state_.settings = std::make_unique<TRegSoftInfo>(sys::RegRoot::CurrentUser, L"SOFTWARE\\" + config.SoftId);
  state_.api = std::make_unique<net::TAPI>(context.http, config.FromSource, config.SoftId, config.Version,
                                           config.FromKeywordID, net::TAPI::getGlobalGUID(config.SoftId));
  return true;
}

// One run per product: a later one shows the user the run that is under way and ends.
bool TStartUp::claimProduct(const std::wstring& softId) {
  state_.instance = std::make_unique<sys::ProductInstance>(softId);
  switch (state_.instance->Claim()) {
    case sys::InstanceClaim::kClaimed:
      return true;
    case sys::InstanceClaim::kRunningHere:
      // A run without a window (unattended) cannot be shown; it is named instead.
      if (!sys::BringRunningInstanceToFront(softId)) state_.view.ShowMessageDialog(kRunningHere);
      break;
    case sys::InstanceClaim::kRunningElsewhere:
      state_.view.ShowMessageDialog(kRunningInOtherSession);
      break;
  }
  state_.instance.reset();
  state_.view.HideAtStart();
  state_.quit(ExitCode::kAlreadyRunning);
  return false;
}

bool TStartUp::prepareInstall(const std::wstring& firstArgument) {
  const TConfigFile& config = *state_.FConfigFile;
  MainView& view = state_.view;
  if (!config.XPSupported && !sys::IsVistaOrLater()) {
    view.ShowMessageDialog(L"当前版本只支持Win7及以上的版本, XP系统无法兼容!");
    view.HideAtStart();
    state_.quit(ExitCode::kWindowsTooOld);
    return false;
  }
  const std::wstring installed = sys::GetInstalledExePath(config.SoftId);
  if (!installed.empty() &&
      view.ShowCheckIfInstalled(L"检测到计算机中已存在此软件，是否为您更新到最新版本？") == kOpenInstalledResult) {
    // With the rights the install gives the product: it lies in a folder the user can change.
    if (config.RunAsAdmin) {
      sys::RunProgram(installed, sys::kSwShowNormal, sys::ProgramFolder(installed));
    } else {
      sys::StartAsDesktopUser(installed);
    }
    view.HideAtStart();
    state_.quit(ExitCode::kOpenedInstalled);
    return false;
  }
  if (config.isValidSourceFound()) view.SetAutoInstallTimer(true);
  if (IsShownAutoInstallArgument(firstArgument)) view.SetAutoInstallTimer(true);

  view.ShowPage(Page::tbInstall);
  // A product whose program runs as SYSTEM goes where only administrators may change anything.
  const std::wstring defaultDir =
      (RunsAsSystem(config) ? sys::GetProgramFilesDir() : sys::GetLocalAppDataDir()) + L"\\" + config.ProgramDirName;
  view.SetText(Ctl::edtPath, defaultDir);
  sys::ForceDirectories(defaultDir);
  state_.api->ReportPreInstall();
  return true;
}

bool TStartUp::prepareUninstall() {
  // A copy of the uninstaller elsewhere must not touch that folder nor the install it names.
  if (!IsOwnInstallDir(state_.ownFolder(), state_.FConfigFile->SoftId)) {
    state_.view.HideAtStart();
    state_.view.ShowMessageDialog(L"此文件夹中没有安装本软件，无需卸载。");
    state_.quit(ExitCode::kNothingInstalledHere);
    return false;
  }
  state_.view.ShowPage(Page::tbUninstall);
  return true;
}

void TStartUp::showProduct() {
  TConfigFile& config = *state_.FConfigFile;
  MainView& view = state_.view;
  view.SetTitle(config.Title);
  // A name carried by the executable's name stands in for the product's name, on the shortcuts too.
  const std::wstring name = state_.getNameFromExe();
  if (!name.empty()) config.ShortcutName = name;
  view.HideTabs();
  view.ShowProductTexts({config.Title, config.Version, config.Description, config.BigTitle, name});
}

}  // namespace installer
