// The shared state of the main window's behaviour and what every part of it does with it.
#include "installer/form_state.h"

#include <utility>

#include "common/strings.h"
#include "installer/config_file.h"
#include "installer/reg_soft_info.h"
#include "installer/run_mode.h"
#include "net/api.h"
#include "system/files.h"
#include "system/gui_thread.h"
#include "system/processes.h"
#include "system/resources.h"
#include "system/single_instance.h"

namespace installer {

namespace {

constexpr wchar_t kFileType[] = L"file";

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

TFormState::TFormState(MainView& view, TProcessContext context) : view(view), context(std::move(context)) {}

TFormState::~TFormState() = default;

void TFormState::quit(ExitCode code) {
  FExitCode = code;
  quitPosted = true;
  view.PostQuit();
}

void TFormState::setProgress(int value) {
  if (value == FProgress) return;
  FProgress = value;
  view.SetPosition(Ctl::pbProgress, value);
  showPercent();
}

void TFormState::showPercent() { view.SetText(Ctl::lblPercentNum, common::DecimalText(FProgress) + L"%"); }

void TFormState::reportInstallFail(const std::wstring& reason, int errorNumber) {
  sys::RunBesideGuiThread([&] { api->ReportInstallFail(reason, errorNumber); });
}

void TFormState::fail(FatalFailure failure, std::wstring_view message) {
  const FailReason& reason = ReasonOf(failure);
  reportInstallFail(std::wstring(reason.reason), reason.errorNumber);
  const std::wstring text(message.empty() ? reason.message : message);
  if (reason.kind == MessageKind::kMessageBox) {
    view.ShowMessageBox(text);
  } else {
    view.ShowMessageDialog(text);
  }
  quit(reason.exitCode);
}

std::wstring TFormState::getMainProgPath() const {
  return FTargetDir + FConfigFile->MainProgPath + FConfigFile->MainProg;
}

std::wstring TFormState::getNameFromExe() const {
  return FConfigFile ? installer::getNameFromExe(*FConfigFile) : std::wstring();
}

std::wstring TFormState::ownFolder() const {
  const std::wstring& exeDir = context.exeDir;
  return exeDir.substr(0, exeDir.find_last_not_of(L"\\/") + 1);
}

TRegistrationContext TFormState::registrationContext(TMessagePacer& pace) const {
  return {*FConfigFile, FTargetDir, getMainProgPath(), context.exeDir, context.exeDir + context.exeFileName,
          view, pace};
}

}  // namespace installer
