// Start-up, close and destroy of the main window, and the controller: page flow, close button,
// custom-install toggle and percent label.
#include "installer/main_form.h"

#include <utility>

#include "common/strings.h"
#include "installer/config_file.h"
#include "installer/install_folder.h"
#include "installer/install_rules.h"
#include "installer/reg_soft_info.h"
#include "installer/run_mode.h"
#include "net/api.h"
#include "system/files.h"
#include "system/folder_access.h"
#include "system/gui_thread.h"
#include "system/processes.h"
#include "system/resources.h"
#include "system/single_instance.h"
#include "system/uninstall_registration.h"

namespace installer {

namespace {

constexpr wchar_t kFileType[] = L"file";
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

TProcessContext TProcessContext::Current(std::vector<std::wstring> arguments,
                                         std::shared_ptr<net::HttpTransport> http) {
  TEmbeddedFiles resources{
      [](const std::wstring& name) { return sys::ResourceExists(name, kFileType); },
      [](const std::wstring& name) {
        const std::vector<std::uint8_t> bytes = sys::LoadResourceBytes(name, kFileType);
        return std::string(bytes.begin(), bytes.end());
      },
      [](const std::wstring& name, const std::wstring& destination) {
        // A destination that cannot be replaced (a folder of that name, a file held open) must
        // not leave an old file there to be installed instead.
        try {
          return sys::ExtractResourceToFile(name, kFileType, destination);
        } catch (const common::EGeneralError&) {
          return false;
        }
      }};
  return {sys::GetExeDir(), sys::GetExeFileName(), std::move(arguments), std::move(resources),
          [](const std::wstring& drive, std::int64_t& freeMB) {
            std::int32_t mb = 0;
            const bool known = sys::GetDiskFreeMB(drive, mb);
            freeMB = mb;
            return known;
          },
          std::move(http)};
}

TFrmCommInst::TFrmCommInst(MainView& view, TProcessContext context)
    : view_(view),
      context_(std::move(context)),
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
  if (FExitCode == ExitCode::kCancelled) FExitCode = ExitCode::kUnexpectedError;
  view_.ShowMessageBox(message);
}

void TFrmCommInst::quit(ExitCode code) {
  FExitCode = code;
  quitPosted_ = true;
  view_.PostQuit();
}

void TFrmCommInst::FormCreate() {
  // A window that start-up could not prepare is never shown.
  if (!guarded([this] { startUp(); })) {
    view_.HideAtStart();
    quit(ExitCode::kUnexpectedError);
  }
}

void TFrmCommInst::startUp() {
  view_.SetTitle(L"Install");
  FImgDown = false;
  view_.SetFolderRowOpen(false);
  FbAutoInst = false;
  FInstallStatus = kInstallNothingDone;

  const std::wstring firstArgument = context_.arguments.empty() ? std::wstring() : context_.arguments.front();
  FbAutoInst = IsHiddenAutoInstallArgument(firstArgument);

  for (const SkinResource& skin : kSkins) {
    if (context_.resources.exists(skin.name)) view_.ApplySkin(skin.slot, skin.name);
  }

  std::string configBytes;
  if (context_.resources.exists(L"configfile")) configBytes = context_.resources.bytes(L"configfile");

  FbInstallMode = IsInstallModeName(context_.exeFileName);
  // The unattended run installs; an uninstaller started so would only wait unseen for ever.
  if (!FbInstallMode) FbAutoInst = false;
  if (FbAutoInst) view_.HideAtStart();

  FConfigFile = std::make_unique<TConfigFile>(
      configBytes, FbInstallMode, TConfigContext{context_.exeFileName, sys::GetAppDataDir, sys::GetLocalAppDataDir});
  TConfigFile& config = *FConfigFile;
  // A document that is not a JSON object counts as an empty configuration: nothing could be
  // installed from it.
  if (!config.isUsable()) {
    FConfigFile.reset();
    view_.ShowMessageDialog(L"config data is empty");
    quit(ExitCode::kConfigEmpty);
    return;
  }
  // Before anything is written, created, ended or reported.
  if (!claimProduct(config.SoftId)) {
    FConfigFile.reset();
    return;
  }
  config.syncSourceWithRegistry();

  settings_ = std::make_unique<TRegSoftInfo>(sys::RegRoot::CurrentUser, L"SOFTWARE\\" + config.SoftId);
  api_ = std::make_unique<net::TAPI>(context_.http, config.FromSource, config.SoftId, config.Version,
                                     config.FromKeywordID, net::TAPI::getGlobalGUID(config.SoftId));

  if (FbInstallMode) {
    if (!config.XPSupported && !sys::IsVistaOrLater()) {
      view_.ShowMessageDialog(L"当前版本只支持Win7及以上的版本, XP系统无法兼容!");
      view_.HideAtStart();
      quit(ExitCode::kWindowsTooOld);
      return;
    }
    const std::wstring installed = sys::GetInstalledExePath(config.SoftId);
    if (!installed.empty() &&
        view_.ShowCheckIfInstalled(L"检测到计算机中已存在此软件，是否为您更新到最新版本？") == kOpenInstalledResult) {
      sys::RunProgram(installed, sys::kSwShowNormal, sys::ProgramFolder(installed));
      view_.HideAtStart();
      quit(ExitCode::kOpenedInstalled);
      return;
    }
    if (config.isValidSourceFound()) view_.SetAutoInstallTimer(true);
    if (IsShownAutoInstallArgument(firstArgument)) view_.SetAutoInstallTimer(true);

    view_.ShowPage(Page::tbInstall);
    // A product whose program runs as SYSTEM goes where only administrators may change anything.
    const std::wstring defaultDir =
        (RunsAsSystem(config) ? sys::GetProgramFilesDir() : sys::GetLocalAppDataDir()) + L"\\" + config.ProgramDirName;
    view_.SetText(Ctl::edtPath, defaultDir);
    sys::ForceDirectories(defaultDir);
    api_->ReportPreInstall();
  } else {
    // A copy of the uninstaller elsewhere must not touch that folder nor the install it names.
    if (!IsOwnInstallDir(ownFolder(), config.SoftId)) {
      view_.HideAtStart();
      view_.ShowMessageDialog(L"此文件夹中没有安装本软件，无需卸载。");
      quit(ExitCode::kNothingInstalledHere);
      return;
    }
    view_.ShowPage(Page::tbUninstall);
  }

  sys::KillProcessByName(config.MainProg);

  view_.SetTitle(config.Title);
  // A name carried by the executable's name stands in for the product's name, on the shortcuts too.
  const std::wstring name = getNameFromExe();
  if (!name.empty()) config.ShortcutName = name;
  view_.HideTabs();
  view_.ShowProductTexts({config.Title, config.Version, config.Description, config.BigTitle, name});

  if (FbAutoInst) view_.SetAutoInstallTimer(true);
}

// One run per product: a later one shows the user the run that is under way and ends.
bool TFrmCommInst::claimProduct(const std::wstring& softId) {
  instance_ = std::make_unique<sys::ProductInstance>(softId);
  switch (instance_->Claim()) {
    case sys::InstanceClaim::kClaimed:
      return true;
    case sys::InstanceClaim::kRunningHere:
      // A run without a window (unattended) cannot be shown; it is named instead.
      if (!sys::BringRunningInstanceToFront(softId)) view_.ShowMessageDialog(kRunningHere);
      break;
    case sys::InstanceClaim::kRunningElsewhere:
      view_.ShowMessageDialog(kRunningInOtherSession);
      break;
  }
  instance_.reset();
  view_.HideAtStart();
  quit(ExitCode::kAlreadyRunning);
  return false;
}

void TFrmCommInst::FormShow() { view_.BringToFront(); }

void TFrmCommInst::FormClose() {
  // The window is going: nothing may start an install in it any more.
  view_.SetAutoInstallTimer(false);
  if (FbInstallMode && api_) sys::RunBesideGuiThread([this] { api_->ReportInstallEnd(); });
}

void TFrmCommInst::FormDestroy() {
  settings_.reset();
  api_.reset();
  FConfigFile.reset();
  // Last: nothing of this run overlaps a later one.
  instance_.reset();
}

TFrmCommInst::OperationScope::OperationScope(TFrmCommInst& form, const std::wstring& reason) : form_(form) {
  form_.FOperationRunning = true;
  form_.view_.BlockSessionEnd(reason);
}

TFrmCommInst::OperationScope::~OperationScope() {
  form_.view_.AllowSessionEnd();
  form_.FOperationRunning = false;
}

std::wstring TFrmCommInst::getNameFromExe() const {
  return FConfigFile ? installer::getNameFromExe(*FConfigFile) : std::wstring();
}

std::wstring TFrmCommInst::getMainProgPath() const {
  return FTargetDir + FConfigFile->MainProgPath + FConfigFile->MainProg;
}

TRegistrationContext TFrmCommInst::registrationContext(TMessagePacer& pace) const {
  return {*FConfigFile, FTargetDir, getMainProgPath(), context_.exeDir, context_.exeDir + context_.exeFileName,
          view_, pace};
}

void TFrmCommInst::toggleCustomInstall() {
  FImgDown = !FImgDown;
  view_.SetFolderRowOpen(FImgDown);
}

void TFrmCommInst::imgbtnCloseClick() {
  guarded([this] {
    if (!FbInstallMode) {
      view_.CloseWindow();
    } else if (FInstallStatus == kInstalled) {
      btnInstallExitClick();
    } else if (view_.ShowConfirmDialog(L"您确定要退出安装程序吗?", false)) {
      view_.CloseWindow();
    }
  });
}

void TFrmCommInst::setProgress(int value) {
  if (value == FProgress) return;
  FProgress = value;
  view_.SetPosition(Ctl::pbProgress, value);
  pbProgressChange();
}

void TFrmCommInst::pbProgressChange() { view_.SetText(Ctl::lblPercentNum, common::DecimalText(FProgress) + L"%"); }

}  // namespace installer
