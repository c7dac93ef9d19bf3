// The install operation of the main window: free space, package (embedded or downloaded),
// extraction, registration, finish page and the start of the installed program.
#include "installer/main_form.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "common/stored_string.h"
#include "common/strings.h"
#include "installer/config_file.h"
#include "installer/file_digest.h"
#include "installer/install_folder.h"
#include "installer/install_rules.h"
#include "installer/message_pacer.h"
#include "installer/package_password.h"
#include "installer/registration_steps.h"
#include "net/api.h"
#include "net/down_thread.h"
#include "system/files.h"
#include "system/folder_access.h"
#include "system/gui_thread.h"
#include "system/processes.h"
#include "system/run_folder.h"
#include "zip/unzip_package.h"
#include "zip/zip_stream.h"

namespace installer {

namespace {

constexpr wchar_t kRunFailed[] = L"软件启动失败，可能是杀毒软件拦截所致！请先暂停杀毒软件再继续。是否重试？";

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

// The ZIP reader's view of the sealed package: the bytes that were checked are the bytes extracted.
class SealedZipInput : public zip::ZipInput {
 public:
  explicit SealedZipInput(sys::SealedFile& file) : file_(file) {}
  std::uint64_t Size() const override { return file_.Size(); }
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override { return file_.ReadAt(offset, out); }

 private:
  sys::SealedFile& file_;
};

}  // namespace

void TFrmCommInst::btnInstallClick() {
  // The auto-install timer may fire while the window processes messages during an install the
  // user started; there is only ever one install.
  if (FOperationRunning) return;
  InstallButtonsLock lock(view_);
  OperationScope operation(*this, L"正在安装…");
  guarded([this] { install(); });
}

void TFrmCommInst::tmrAutoInstTimer() {
  view_.SetAutoInstallTimer(false);
  unattended_ = true;
  btnInstallClick();
  view_.CloseWindow();
}

void TFrmCommInst::waitingInfo(const std::wstring& text) {
  view_.SetText(Ctl::lblWaitingInfo, text);
  view_.ProcessMessages();
}

void TFrmCommInst::moveProgress(int from, int to) {
  for (int value = from; value <= to; ++value) {
    setProgress(value);
    view_.ProcessMessages();
    view_.Sleep(1);
  }
}

// Blocking, as the user is told only once the server has it; the window answers meanwhile.
void TFrmCommInst::reportInstallFail(const std::wstring& reason, int errorNumber) {
  sys::RunBesideGuiThread([&] { api_->ReportInstallFail(reason, errorNumber); });
}

void TFrmCommInst::fail(FatalFailure failure, std::wstring_view message) {
  const FailReason& reason = ReasonOf(failure);
  reportInstallFail(std::wstring(reason.reason), reason.errorNumber);
  const std::wstring text(message.empty() ? reason.message : message);
  if (reason.kind == MessageKind::kMessageBox) {
    view_.ShowMessageBox(text);
  } else {
    view_.ShowMessageDialog(text);
  }
  quit(reason.exitCode);
}

bool TFrmCommInst::refuseInstallDir(const std::wstring& dir) {
  const InstallDirRefusal refusal = CheckInstallDir(dir, FConfigFile->SoftId, RunsAsSystem(*FConfigFile));
  if (refusal == InstallDirRefusal::kNone) return false;
  const std::wstring_view message = InstallDirRefusalMessage(refusal);
  if (unattended_) {
    fail(FatalFailure::kInstallDirRefused, message);
  } else {
    // Nothing was written and the install page stays: the user may correct the folder.
    view_.ShowMessageDialog(std::wstring(message));
  }
  return true;
}

std::wstring TFrmCommInst::findInstallDrive() const { return FindInstallDrive(context_.freeSpace); }

void TFrmCommInst::install() {
  const TConfigFile& config = *FConfigFile;
  // The folder that will receive the product (the typed one, or the replacement when its drive is
  // too full) is checked before anything is shown or written.
  FTargetDir = view_.Text(Ctl::edtPath);
  while (FTargetDir.size() > 3 && (FTargetDir.back() == L'\\' || FTargetDir.back() == L'/')) FTargetDir.pop_back();
  const std::optional<std::wstring> dir = ChooseInstallDir(FTargetDir, config.ProgramDirName, context_.freeSpace);
  if (dir && refuseInstallDir(*dir)) return;

  // The bar is designed at 10 beside a label reading "0%": both show the operation's own start
  // from the page's first paint.
  view_.SetPosition(Ctl::pbProgress, FProgress);
  pbProgressChange();
  view_.ShowPage(Page::tbProcess);
  view_.ProcessMessages();
  view_.SetText(Ctl::lblWaitingInfo, L"正在读取安装包信息...");
  moveProgress(0, 10);

  if (!dir) {
    view_.ShowMessageDialog(L"当前分区空间不足，剩余空间小于150M! 请重新选择另一分区安装");
    quit(ExitCode::kNotEnoughSpace);
    return;
  }
  FTargetDir = *dir;
  sys::ForceDirectories(FTargetDir);
  // A product whose program runs as SYSTEM gets a folder that only administrators may change
  // before anything of it is in there.
  if (RunsAsSystem(config) && !sys::ProtectServiceFolder(FTargetDir)) {
    fail(FatalFailure::kInstallDirRefused, InstallDirRefusalMessage(InstallDirRefusal::kNotProtectable));
    return;
  }
  // The marker goes in before any other file, so that an install killed half way may run again.
  WriteInstallMarker(FTargetDir, config.SoftId);

  api_->ReportInstall();
  FInstallStatus = kInstallUnderWay;

  waitingInfo(L"正在检测安装环境...");
  waitingInfo(L"开始安装...");

  // The package lives in a folder of its own for this run, out of reach of programs without
  // administrator rights, and is removed with it however the install ends. What killed runs left
  // goes first.
  const std::wstring prefix = RunFolderPrefix(config.SoftId);
  sys::RunFolder::RemoveAbandoned(prefix);
  const std::unique_ptr<sys::RunFolder> runFolder = sys::RunFolder::Create(prefix);
  if (!runFolder) {
    fail(context_.resources.exists(L"zipfile") ? FatalFailure::kCreateResFile : FatalFailure::kDownloadZipFail);
    return;
  }
  const std::wstring zipFile = runFolder->NewFilePath(L".zip");
  // A package carried inside the installer came with it; a downloaded one comes with what the
  // server announced for it.
  std::optional<net::DownloadInfo> download;
  if (context_.resources.exists(L"zipfile")) {
    if (!context_.resources.extract(L"zipfile", zipFile)) {
      fail(FatalFailure::kCreateResFile);
      return;
    }
  } else {
    download = downloadPackage(zipFile);
    if (!download) return;
  }

  // From here on the package is read through one handle that keeps every writer out: the bytes
  // checked are the bytes extracted.
  const std::unique_ptr<sys::SealedFile> package = sys::SealedFile::Open(zipFile);
  // A downloaded package that does not match the digest the server announced, or that does not
  // carry the maker's signature when the product has the maker's key, is not installed (an
  // embedded one came with the installer). Hashing a large package takes seconds on a slow disk;
  // the window answers meanwhile.
  const std::wstring packageKey = config.PackageKey;
  bool matches = true;
  if (download && (!download->sha256.empty() || !packageKey.empty())) {
    sys::RunBesideGuiThread(
        [&] { matches = PackageFileMatches(package.get(), download->sha256, packageKey, download->sig); });
  }
  if (!matches) {
    fail(FatalFailure::kDownloadZipFail);
    return;
  }

  if (!config.ConfigFileDeletedBeforeInstall.empty()) sys::DeleteFileForce(config.ConfigFileDeletedBeforeInstall);

  setProgress(80);
  view_.ProcessMessages();

  if (!package) {
    fail(FatalFailure::kZipFileNotExist);
    return;
  }
  // The window answers by the clock between the blocks the extraction reads, however large the
  // package or slow the disk; the bar alone would move only every 6.7 % of the package.
  TMessagePacer pace(view_);
  SealedZipInput archive(*package);
  if (!zip::UnzipPackage(
          archive, FTargetDir, common::DecodeStoredString(kStoredPackagePassword),
          [this](int percent) { unzipPercentDone(percent); }, [&pace] { pace.Step(); })) {
    fail(FatalFailure::kUnzipFailed);
    return;
  }

  view_.SetText(Ctl::lblWaitingInfo, L"正在写入注册信息...");
  writeInstallInfo();

  moveProgress(95, 100);
  setProgress(100);

  FInstallStatus = kInstalled;
  FExitCode = ExitCode::kInstalled;
  view_.ShowPage(Page::tbFinish);

  startInstalledProgram();
}

std::optional<net::DownloadInfo> TFrmCommInst::downloadPackage(const std::wstring& zipFile) {
  TConfigFile& config = *FConfigFile;
  waitingInfo(L"联网检查配置信息...");

  std::optional<net::DownloadInfo> info;  // the last answer the server accepted
  // The lookup may wait half a minute for the server; the window answers meanwhile.
  const auto lookUp = [&] {
    std::optional<net::DownloadInfo> answer;
    sys::RunBesideGuiThread([&] { answer = api_->GetSoftDownloadInfo(); });
    const bool accepted = answer.has_value();
    if (accepted) info = std::move(answer);
    return accepted;
  };
  if (lookUp()) {
    while (info->url.empty() && view_.AskYesNo(L"警告", L"网络连接异常，是否尝试重连？")) lookUp();
    if (info->url.empty()) {
      fail(FatalFailure::kGetSoftDownloadInfo);
      return std::nullopt;
    }
    config.Version = info->version;
  }
  waitingInfo(L"开始安装...");
  FDownloadStatus = kDownloadRequested;
  if (!info) {
    fail(FatalFailure::kUrlEmpty);
    return std::nullopt;
  }
  if (!api_->AllowsPackageUrl(info->url)) {
    fail(FatalFailure::kDownloadZipFail);
    return std::nullopt;
  }

  net::StartDownThread(
      context_.http, info->url, zipFile, [this](net::TDownThread*, std::int64_t total) { idhtp1WorkBegin(total); },
      [this](net::TDownThread*, std::int64_t count) { idhtp1Work(count); },
      [this](net::TDownThread*, std::int64_t code) { idhtp1WorkFinish(code); });
  while (FDownloadStatus != kDownloadDone && FDownloadStatus != kDownloadFailed) view_.WaitForMessages(50);

  if (FDownloadStatus == kDownloadFailed) {
    fail(FatalFailure::kDownloadZipFail);
    return std::nullopt;
  }
  return info;
}

void TFrmCommInst::idhtp1WorkBegin(std::int64_t workCountMax) {
  FTmpWorkCountMax = workCountMax;
  FDownloadStatus = kDownloadBegun;
}

void TFrmCommInst::idhtp1Work(std::int64_t workCount) { setProgress(DownloadBarPosition(workCount, FTmpWorkCountMax)); }

void TFrmCommInst::idhtp1WorkFinish(std::int64_t responseCode) {
  FDownloadStatus = (responseCode < 0 || responseCode > 300) ? kDownloadFailed : kDownloadDone;
}

void TFrmCommInst::unzipPercentDone(int percent) { setProgress(UnzipBarPosition(percent)); }

void TFrmCommInst::writeInstallInfo() {
  // Some steps start programs or wait for the shell; the window answers between them.
  TMessagePacer pace(view_);
  RunRegistrationSteps(InstallRegistrationSteps(), registrationContext(pace));
}

void TFrmCommInst::startInstalledProgram() {
  const TConfigFile& config = *FConfigFile;
  const std::wstring mainProg = getMainProgPath();
  const std::wstring argument = getNameFromExe();

  if (config.RunAsAdmin) {
    if (sys::StartProgramWithArgs(mainProg, argument, L"")) return;
    reportInstallFail(L"run_exe_failed", 0);  // the error number is the start's result: no process
    while (view_.ShowConfirmDialog(kRunFailed, true)) {
      if (sys::StartProgramWithArgs(mainProg, argument, L"")) return;
    }
    return;
  }

  std::uint32_t error = 0;
  // Quoted, so that a folder with blanks cannot make the system start another program; started in
  // its own folder, as StartProgramWithArgs does, so that it finds its files by relative path.
  // When the desktop user's token cannot be had, the program is not started at all rather than
  // elevated through the shell: the start has failed.
  const std::wstring folder = sys::ProgramFolder(mainProg);
  sys::RunAsDesktopUser(L"\"" + mainProg + L"\"", false, error, true, folder, false);
  if (error != 0) {
    reportInstallFail(L"run_exe_failed", static_cast<int>(error));
    view_.ShowMessageDialog(kRunFailed);
  }
}

void TFrmCommInst::btnChangeInstallClick() {
  const std::optional<std::wstring> folder = view_.BrowseForFolder(L"请选择软件安装目录");
  if (!folder) return;
  const std::wstring& name = FConfigFile->ProgramDirName;
  view_.SetText(Ctl::edtPath, (!folder->empty() && folder->back() == L'\\') ? *folder + name : *folder + L"\\" + name);
}

void TFrmCommInst::btnInstallExitClick() {
  const TConfigFile& config = *FConfigFile;
  if (!config.OpenWebsiteAfterInstall.empty()) {
    sys::OpenWebPage(ExpandWebAddress(config.OpenWebsiteAfterInstall, config.Version, config.FromSource));
  }
  view_.CloseWindow();
}

}  // namespace installer
