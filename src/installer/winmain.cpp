// Entry routine of the installer: the main window and its behaviour, the message loop, and the
// exit code of the outcome.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "installer/exit_codes.h"
#include "installer/main_form.h"
#include "installer/main_window_win.h"
#include "net/http_transport.h"
#include "system/dll_search.h"
#include "system/gui_thread.h"
#include "system/win_handle.h"

// The runtime's default terminate handler prints the demangled type of an uncaught exception to a
// console that a GUI program does not have, and pulls the whole demangler into the executable
// (about 80 KB). Every handler here catches its errors, so a terminate is a plain abort.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace {

// The command-line arguments after the program's own path.
std::vector<std::wstring> Arguments() {
  int count = 0;
  const sys::win::LocalPointer<wchar_t*> argv(CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<std::wstring> arguments;
  for (int i = 1; argv && i < count; ++i) arguments.emplace_back(argv.Get()[i]);
  return arguments;
}

class ComScope {
 public:
  ComScope() : ok_(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ComScope() {
    if (ok_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool ok_;
};

// The window's events reach the behaviour's handlers.
void Attach(installer::TMainWindow& window, installer::TFrmCommInst& behaviour) {
  ui::TMainForm& form = window.Form();
  form.btnInstall->OnClick = [&behaviour](ui::TControl&) { behaviour.btnInstallClick(); };
  form.btnChangeInstall->OnClick = [&behaviour](ui::TControl&) { behaviour.btnChangeInstallClick(); };
  form.btnInstallExit->OnClick = [&behaviour](ui::TControl&) { behaviour.btnInstallExitClick(); };
  form.btnUninstall->OnClick = [&behaviour](ui::TControl&) { behaviour.btnUninstallClick(); };
  form.btnUninExit->OnClick = [&behaviour](ui::TControl&) { behaviour.btnUninExitClick(); };
  form.imgbtnClose->OnClick = [&behaviour](ui::TControl&) { behaviour.imgbtnCloseClick(); };
  form.tmrAutoInst->OnTimer = [&behaviour](ui::TTimer&) { behaviour.tmrAutoInstTimer(); };
  // Dragging takes the mouse-down of every image without a click handler, the arrows included,
  // so the custom-install toggle is attached after it.
  form.SetbMouseDownToMoveClient(true);
  const auto toggle = [&behaviour](ui::TControl&, ui::TMouseButton, int, int) { behaviour.toggleCustomInstall(); };
  form.imgDown->OnMouseDown = toggle;
  form.imgUp->OnMouseDown = toggle;
  window.OnCloseQuery = [&behaviour] { return behaviour.FormCloseQuery(); };
  window.OnClose = [&behaviour] { behaviour.FormClose(); };
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  sys::RestrictDllSearchToSystem32();
  sys::ProtectDelayLoadedDlls(installer::ToInt(installer::ExitCode::kUnexpectedError));
  ComScope com;
  sys::InitGuiThread();

  installer::TMainWindow window;
  if (!window.Handle()) return installer::ToInt(installer::ExitCode::kUnexpectedError);
  installer::TFrmCommInst behaviour(window,
                                    installer::TProcessContext::Current(Arguments(), net::SystemHttpTransport()));
  Attach(window, behaviour);
  behaviour.FormCreate();
  if (!behaviour.quitRequested()) {
    window.ShowAtStart(show);
    behaviour.FormShow();
  }

  sys::RunMessageLoop([] { return false; });
  behaviour.FormDestroy();
  return installer::ToInt(behaviour.exitCode());
}
