// TFrmCommInst: the behaviour of the main window in both run modes. Start-up decides the run mode
// and prepares the window; the install operation obtains, extracts and registers the product and
// starts it; the uninstall operation removes it again; the controller keeps the page flow, the
// close button, the custom-install toggle and the percent label. Every handler runs on the GUI
// thread and reaches the window only through MainView.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "installer/exit_codes.h"
#include "installer/fail_reasons.h"
#include "installer/install_rules.h"
#include "installer/main_view.h"
#include "installer/registration_steps.h"
#include "system/handler_errors.h"

namespace net {
class HttpTransport;
class TAPI;
struct DownloadInfo;
}

namespace sys {
class ProductInstance;
}

namespace installer {

class TConfigFile;
class TRegSoftInfo;

// FInstallStatus values.
inline constexpr int kInstallNothingDone = 0;
inline constexpr int kInstallUnderWay = 1;  // also after a failure
inline constexpr int kInstalled = 2;

// FDownloadStatus values.
inline constexpr int kDownloadRequested = 0;
inline constexpr int kDownloadBegun = 1;
inline constexpr int kDownloadDone = 2;
inline constexpr int kDownloadFailed = -1;


// The files embedded in the executable as resources of type "file".
struct TEmbeddedFiles {
  std::function<bool(const std::wstring& name)> exists;
  std::function<std::string(const std::wstring& name)> bytes;  // the resource's bytes
  // Writes the resource to destination; true when a file exists there afterwards, false when it
  // could not be written (never raises: the install reports that as "CreateResFile").
  std::function<bool(const std::wstring& name, const std::wstring& destination)> extract;
};

// What the running process tells the window: where it runs from, under which name, with which
// arguments, what it carries inside, how much room the drives have, and the way to the servers.
struct TProcessContext {
  std::wstring exeDir;  // with its trailing separator
  std::wstring exeFileName;
  std::vector<std::wstring> arguments;  // after the program's own path
  TEmbeddedFiles resources;
  FreeSpaceQuery freeSpace;
  std::shared_ptr<net::HttpTransport> http;  // API requests and the package download

  // The context of this process, from the system, with the given transport.
  static TProcessContext Current(std::vector<std::wstring> arguments, std::shared_ptr<net::HttpTransport> http);
};

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
  bool FormCloseQuery() const { return !FOperationRunning; }
  void FormClose();
  void FormDestroy();

  // Control events.
  void btnInstallClick();
  void tmrAutoInstTimer();
  void btnChangeInstallClick();
  void btnInstallExitClick();
  void btnUninstallClick();
  void btnUninExitClick();
  void imgbtnCloseClick();
  void toggleCustomInstall();  // mouse press on imgDown or imgUp
  void pbProgressChange();

  // Download and extraction progress (GUI thread).
  void idhtp1WorkBegin(std::int64_t workCountMax);
  void idhtp1Work(std::int64_t workCount);
  void idhtp1WorkFinish(std::int64_t responseCode);
  void unzipPercentDone(int percent);

  // Operations.
  void writeInstallInfo();
  void doUninstall();
  std::wstring findInstallDrive() const;
  std::wstring getMainProgPath() const;
  std::wstring getNameFromExe() const;

  // State, for the entry routine and for tests.
  ExitCode exitCode() const { return FExitCode; }
  bool quitRequested() const { return quitPosted_; }
  bool installMode() const { return FbInstallMode; }
  bool autoInstall() const { return FbAutoInst; }
  int installStatus() const { return FInstallStatus; }
  int downloadStatus() const { return FDownloadStatus; }
  const std::wstring& targetDir() const { return FTargetDir; }
  int progress() const { return FProgress; }
  int uninstallProgress() const { return FUninstallProgress; }
  TConfigFile* config() const { return FConfigFile.get(); }

 private:
  // Marks an install or uninstall as under way for its lifetime: close requests are ignored, and
  // a shutdown or log-off is held off with reason as the system's explanation.
  class OperationScope {
   public:
    OperationScope(TFrmCommInst& form, const std::wstring& reason);
    ~OperationScope();
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;

   private:
    TFrmCommInst& form_;
  };

  void startUp();
  bool claimProduct(const std::wstring& softId);  // false when another run has the product
  void reportInstallFail(const std::wstring& reason, int errorNumber);
  void install();
  // What the accepted lookup announced for the package now in packageFile; nothing when the
  // download failed (reported and told).
  std::optional<net::DownloadInfo> downloadPackage(const std::wstring& packageFile);
  void startInstalledProgram();
  void uninstall();
  // Reports the failure, tells the user (message, when given, instead of the reason's own) and quits.
  void fail(FatalFailure failure, std::wstring_view message = {});
  // When dir may not receive the product: says why and, unattended, fails; true then.
  bool refuseInstallDir(const std::wstring& dir);
  std::wstring ownFolder() const;  // the running executable's folder, without trailing separator
  void quit(ExitCode code);
  // What the registration steps of either sequence work on.
  TRegistrationContext registrationContext(TMessagePacer& pace) const;
  void setProgress(int value);
  void moveProgress(int from, int to);
  void moveUninstallProgress(int from, int to, int sleepMs);
  void waitingInfo(const std::wstring& text);
  bool guarded(const std::function<void()>& handler);  // false when the handler ended with an error
  void handlerFailed(const std::wstring& message);      // where every error of a handler ends

  MainView& view_;
  TProcessContext context_;

  std::unique_ptr<TConfigFile> FConfigFile;
  bool FbInstallMode = true;
  bool FImgDown = false;
  std::wstring FTargetDir;
  std::int64_t FTmpWorkCountMax = 0;
  bool FbAutoInst = false;
  std::int32_t FDownloadStatus = kDownloadRequested;
  std::int32_t FInstallStatus = kInstallNothingDone;

  std::unique_ptr<sys::ProductInstance> instance_;
  bool FOperationRunning = false;
  std::unique_ptr<TRegSoftInfo> settings_;
  std::unique_ptr<net::TAPI> api_;
  int FProgress = 0;
  int FUninstallProgress = 0;
  bool quitPosted_ = false;
  bool unattended_ = false;  // the install runs from tmrAutoInst
  ExitCode FExitCode = ExitCode::kCancelled;
  sys::HandlerErrorSink previousErrorSink_;  // put back when the window's behaviour goes
};

}  // namespace installer
