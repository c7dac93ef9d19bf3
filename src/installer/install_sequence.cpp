// The install sequence of the main window.
#include "installer/install_sequence.h"

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

void TInstallSequence::waitingInfo(const std::wstring& text) {
  state_.view.SetText(Ctl::lblWaitingInfo, text);
  state_.view.ProcessMessages();
}

void TInstallSequence::moveProgress(int from, int to) {
  for (int value = from; value <= to; ++value) {
    state_.setProgress(value);
    state_.view.ProcessMessages();
    state_.view.Sleep(1);
  }
}

bool TInstallSequence::refuseInstallDir(const std::wstring& dir) {
  const InstallDirRefusal refusal = CheckInstallDir(dir, state_.FConfigFile->SoftId, RunsAsSystem(*state_.FConfigFile));
  if (refusal == InstallDirRefusal::kNone) return false;
  const std::wstring_view message = InstallDirRefusalMessage(refusal);
  if (state_.unattended) {
    state_.fail(FatalFailure::kInstallDirRefused, message);
  } else {
    // Nothing was written and the install page stays: the user may correct the folder.
    state_.view.ShowMessageDialog(std::wstring(message));
  }
  return true;
}

std::wstring TInstallSequence::findInstallDrive() const { return FindInstallDrive(state_.context.freeSpace); }

void TInstallSequence::install() {
  const TConfigFile& config = *state_.FConfigFile;
  // The folder that will receive the product (the typed one, or the replacement when its drive is
  // too full) is checked before anything is shown or written.
  std::wstring& targetDir = state_.FTargetDir;
  targetDir = state_.view.Text(Ctl::edtPath);
  while (targetDir.size() > 3 && (targetDir.back() == L'\\' || targetDir.back() == L'/')) targetDir.pop_back();
  const std::optional<std::wstring> dir = ChooseInstallDir(targetDir, config.ProgramDirName, state_.context.freeSpace);
  if (dir && refuseInstallDir(*dir)) return;

  // The bar is designed at 10 beside a label reading "0%": both show the operation's own start
  // from the page's first paint.
  state_.view.SetPosition(Ctl::pbProgress, state_.FProgress);
  state_.showPercent();
  state_.view.ShowPage(Page::tbProcess);
  state_.view.ProcessMessages();
  state_.view.SetText(Ctl::lblWaitingInfo, L"正在读取安装包信息...");
  moveProgress(0, 10);

  if (!dir) {
    state_.view.ShowMessageDialog(L"当前分区空间不足，剩余空间小于150M! 请重新选择另一分区安装");
    state_.quit(ExitCode::kNotEnoughSpace);
    return;
  }
  state_.FTargetDir = *dir;
  sys::ForceDirectories(state_.FTargetDir);
  // A product whose program runs as SYSTEM gets a folder that only administrators may change
  // before anything of it is in there.
  if (RunsAsSystem(config) && !sys::ProtectServiceFolder(state_.FTargetDir)) {
    state_.fail(FatalFailure::kInstallDirRefused, InstallDirRefusalMessage(InstallDirRefusal::kNotProtectable));
    return;
  }
  // The marker goes in before any other file, so that an install killed half way may run again.
  WriteInstallMarker(state_.FTargetDir, config.SoftId);

  state_.api->ReportInstall();
  state_.FInstallStatus = kInstallUnderWay;

  waitingInfo(L"正在检测安装环境...");
  waitingInfo(L"开始安装...");

  // The package lives in a folder of its own for this run, out of reach of programs without
  // administrator rights, and is removed with it however the install ends. What killed runs left
  // goes first.
  const std::wstring prefix = RunFolderPrefix(config.SoftId);
  sys::RunFolder::RemoveAbandoned(prefix);
  const std::unique_ptr<sys::RunFolder> runFolder = sys::RunFolder::Create(prefix);
  if (!runFolder) {
    state_.fail(state_.context.resources.exists(L"zipfile") ? FatalFailure::kCreateResFile
                                                             : FatalFailure::kDownloadZipFail);
    return;
  }
  const std::wstring zipFile = runFolder->NewFilePath(L".zip");
  // A package carried inside the installer came with it; a downloaded one comes with what the
  // server announced for it.
  std::optional<net::DownloadInfo> download;
  if (state_.context.resources.exists(L"zipfile")) {
    if (!state_.context.resources.extract(L"zipfile", zipFile)) {
      state_.fail(FatalFailure::kCreateResFile);
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
    state_.fail(FatalFailure::kDownloadZipFail);
    return;
  }

  // Only a file of the user's settings, and through no link: the path comes from the product's
  // configuration with the user's folders put in, and the installer deletes with administrator rights.
  if (!config.ConfigFileDeletedBeforeInstall.empty() && IsUserSettingsFolder(config.ConfigFileDeletedBeforeInstall)) {
    sys::RemoveEntry(config.ConfigFileDeletedBeforeInstall);
  }

  state_.setProgress(80);
  state_.view.ProcessMessages();

  if (!package) {
    state_.fail(FatalFailure::kZipFileNotExist);
    return;
  }
  // The window answers by the clock between the blocks the extraction reads, however large the
  // package or slow the disk; the bar alone would move only every 6.7 % of the package.
  TMessagePacer pace(state_.view);
  SealedZipInput archive(*package);
  if (!zip::UnzipPackage(
          archive, state_.FTargetDir, common::DecodeStoredString(kStoredPackagePassword),
          [this](int percent) { unzipPercentDone(percent); }, [&pace] { pace.Step(); })) {
    state_.fail(FatalFailure::kUnzipFailed);
    return;
  }

  state_.view.SetText(Ctl::lblWaitingInfo, L"正在写入注册信息...");
  writeInstallInfo();

  moveProgress(95, 100);
  state_.setProgress(100);

  state_.FInstallStatus = kInstalled;
  state_.FExitCode = ExitCode::kInstalled;
  state_.view.ShowPage(Page::tbFinish);

  startInstalledProgram();
}

std::optional<net::DownloadInfo> TInstallSequence::downloadPackage(const std::wstring& zipFile) {
  TConfigFile& config = *state_.FConfigFile;
  waitingInfo(L"联网检查配置信息...");

  std::optional<net::DownloadInfo> info;  // the last answer the server accepted
  // The lookup may wait half a minute for the server; the window answers meanwhile.
  const auto lookUp = [&] {
    std::optional<net::DownloadInfo> answer;
    sys::RunBesideGuiThread([&] { answer = state_.api->GetSoftDownloadInfo(); });
    const bool accepted = answer.has_value();
    if (accepted) info = std::move(answer);
    return accepted;
  };
  if (lookUp()) {
    while (info->url.empty() && state_.view.AskYesNo(L"警告", L"网络连接异常，是否尝试重连？")) lookUp();
    if (info->url.empty()) {
      state_.fail(FatalFailure::kGetSoftDownloadInfo);
      return std::nullopt;
    }
    config.Version = info->version;
  }
  waitingInfo(L"开始安装...");
  state_.FDownloadStatus = kDownloadRequested;
  if (!info) {
    state_.fail(FatalFailure::kUrlEmpty);
    return std::nullopt;
  }
  if (!state_.api->AllowsPackageUrl(info->url)) {
    state_.fail(FatalFailure::kDownloadZipFail);
    return std::nullopt;
  }

  net::StartDownThread(
      state_.context.http, info->url, zipFile, [this](net::TDownThread*, std::int64_t total) { downloadBegun(total); },
      [this](net::TDownThread*, std::int64_t count) { downloadProgress(count); },
      [this](net::TDownThread*, std::int64_t code) { downloadFinished(code); });
  while (state_.FDownloadStatus != kDownloadDone && state_.FDownloadStatus != kDownloadFailed) {
    state_.view.WaitForMessages(50);
  }

  if (state_.FDownloadStatus == kDownloadFailed) {
    state_.fail(FatalFailure::kDownloadZipFail);
    return std::nullopt;
  }
  return info;
}

void TInstallSequence::downloadBegun(std::int64_t workCountMax) {
  FTmpWorkCountMax = workCountMax;
  state_.FDownloadStatus = kDownloadBegun;
}

void TInstallSequence::downloadProgress(std::int64_t workCount) {
  state_.setProgress(DownloadBarPosition(workCount, FTmpWorkCountMax));
}

void TInstallSequence::downloadFinished(std::int64_t responseCode) {
  state_.FDownloadStatus = (responseCode < 0 || responseCode > 300) ? kDownloadFailed : kDownloadDone;
}

void TInstallSequence::unzipPercentDone(int percent) { state_.setProgress(UnzipBarPosition(percent)); }

void TInstallSequence::writeInstallInfo() {
  // Some steps start programs or wait for the shell; the window answers between them.
  TMessagePacer pace(state_.view);
  RunRegistrationSteps(InstallRegistrationSteps(), state_.registrationContext(pace));
}

void TInstallSequence::startInstalledProgram() {
  const TConfigFile& config = *state_.FConfigFile;
  const std::wstring mainProg = state_.getMainProgPath();
  const std::wstring argument = state_.getNameFromExe();

  if (config.RunAsAdmin) {
    if (sys::StartProgramWithArgs(mainProg, argument, L"")) return;
    state_.reportInstallFail(L"run_exe_failed", 0);  // the error number is the start's result: no process
    while (state_.view.ShowConfirmDialog(kRunFailed, true)) {
      if (sys::StartProgramWithArgs(mainProg, argument, L"")) return;
    }
    return;
  }

  // When the desktop user's token cannot be had, the start has failed.
  if (const std::uint32_t error = sys::StartAsDesktopUser(mainProg); error != 0) {
    state_.reportInstallFail(L"run_exe_failed", static_cast<int>(error));
    state_.view.ShowMessageDialog(kRunFailed);
  }
}

void TInstallSequence::changeInstallDir() {
  const std::optional<std::wstring> folder = state_.view.BrowseForFolder(L"请选择软件安装目录");
  if (!folder) return;
  const std::wstring& name = state_.FConfigFile->ProgramDirName;
  const bool separated = !folder->empty() && folder->back() == L'\\';
  state_.view.SetText(Ctl::edtPath, separated ? *folder + name : *folder + L"\\" + name);
}

void TInstallSequence::leaveFinished() {
  const TConfigFile& config = *state_.FConfigFile;
  if (!config.OpenWebsiteAfterInstall.empty()) {
    sys::OpenWebPage(ExpandWebAddress(config.OpenWebsiteAfterInstall, config.Version, config.FromSource));
  }
  state_.view.CloseWindow();
}

}  // namespace installer
