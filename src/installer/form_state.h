// What the parts of the main window's behaviour share: the window, the running process, the
// product's configuration, settings and server, the install folder, progress and the outcome.
// TFrmCommInst owns it; start-up, the install sequence and the uninstall sequence work on it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "installer/exit_codes.h"
#include "installer/fail_reasons.h"
#include "installer/install_rules.h"
#include "installer/main_view.h"
#include "installer/registration_steps.h"

namespace net {
class HttpTransport;
class TAPI;
}

namespace sys {
class ProductInstance;
}

namespace installer {

class TConfigFile;
class TMessagePacer;
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

struct TFormState {
  TFormState(MainView& view, TProcessContext context);
  ~TFormState();
  TFormState(const TFormState&) = delete;
  TFormState& operator=(const TFormState&) = delete;

  // Ends the run with code once the window's messages are done.
  void quit(ExitCode code);
  void setProgress(int value);
  void showPercent();  // lblPercentNum from FProgress
  // Blocking, as the user is told only once the server has it; the window answers meanwhile.
  void reportInstallFail(const std::wstring& reason, int errorNumber);
  // Reports the failure, tells the user (message, when given, instead of the reason's own) and quits.
  void fail(FatalFailure failure, std::wstring_view message = {});
  std::wstring getMainProgPath() const;
  std::wstring getNameFromExe() const;
  std::wstring ownFolder() const;  // the running executable's folder, without trailing separator
  // What the registration steps of either sequence work on.
  TRegistrationContext registrationContext(TMessagePacer& pace) const;

  MainView& view;
  TProcessContext context;

  std::unique_ptr<TConfigFile> FConfigFile;
  std::unique_ptr<sys::ProductInstance> instance;
  std::unique_ptr<TRegSoftInfo> settings;
  std::unique_ptr<net::TAPI> api;
  bool FbInstallMode = true;
  bool FImgDown = false;
  bool FbAutoInst = false;
  std::wstring FTargetDir;
  std::int32_t FDownloadStatus = kDownloadRequested;
  std::int32_t FInstallStatus = kInstallNothingDone;
  bool FOperationRunning = false;
  int FProgress = 0;
  int FUninstallProgress = 0;
  bool quitPosted = false;
  bool unattended = false;  // the install runs from tmrAutoInst
  ExitCode FExitCode = ExitCode::kCancelled;
};

}  // namespace installer
