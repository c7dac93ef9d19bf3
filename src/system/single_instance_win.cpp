// Named mutexes in the global namespace (one run per product on the machine) and in the session's
// own (to tell a run on this desktop from one on another user's), and a message-only window by
// which a later run in this session finds the thread whose window it brings forward.
#include "system/single_instance.h"

#include <windows.h>

#include "system/win_handle.h"

namespace sys {
namespace {

constexpr wchar_t kFinderClass[] = L"WebInstallerInstance";

HWND CreateFinder(const std::wstring& name) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kFinderClass;
  RegisterClassExW(&wc);  // fails harmlessly when registered already
  return CreateWindowExW(0, kFinderClass, name.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

// The shown top-level windows of a thread, first in z-order: the first one that takes input (a
// modal dialog disables the windows below it), else the first one at all.
struct ShownWindows {
  HWND takingInput = nullptr;
  HWND any = nullptr;
};

BOOL CALLBACK CollectShown(HWND hwnd, LPARAM param) {
  auto& found = *reinterpret_cast<ShownWindows*>(param);
  if (!IsWindowVisible(hwnd)) return TRUE;
  if (!found.any) found.any = hwnd;
  if (!found.takingInput && IsWindowEnabled(hwnd)) found.takingInput = hwnd;
  return TRUE;
}

// A named mutex; taken tells whether it existed before (or exists and may not be opened by us).
win::Handle CreateNamedMutex(const std::wstring& name, bool& taken) {
  SetLastError(ERROR_SUCCESS);
  win::Handle mutex(CreateMutexW(nullptr, FALSE, name.c_str()));
  const DWORD error = GetLastError();
  taken = error == ERROR_ALREADY_EXISTS || (!mutex && error == ERROR_ACCESS_DENIED);
  return mutex;
}

}  // namespace

struct ProductInstance::Held {
  win::Handle session;
  win::Handle global;
  win::Window finder;
};

ProductInstance::ProductInstance(std::wstring_view productId) : held_(std::make_unique<Held>()) {
  const std::wstring name = InstanceName(productId);
  // The session's mutex first: a run that finds the global one taken then also finds the session's
  // one taken when both belong to a run on this desktop.
  bool sessionTaken = false;
  bool globalTaken = false;
  held_->session = CreateNamedMutex(L"Local\\" + name, sessionTaken);
  held_->global = CreateNamedMutex(L"Global\\" + name, globalTaken);
  if (!globalTaken) {
    // Also when the system would not create the mutex at all: a run that cannot be protected
    // still installs, as it did before there was a claim.
    held_->finder = win::Window(CreateFinder(name));
    return;
  }
  claim_ = sessionTaken ? InstanceClaim::kRunningHere : InstanceClaim::kRunningElsewhere;
  held_.reset();
}

ProductInstance::~ProductInstance() = default;

bool BringRunningInstanceToFront(std::wstring_view productId) {
  const std::wstring name = InstanceName(productId);
  const HWND finder = FindWindowExW(HWND_MESSAGE, nullptr, kFinderClass, name.c_str());
  if (!finder) return false;
  ShownWindows shown;
  EnumThreadWindows(GetWindowThreadProcessId(finder, nullptr), CollectShown, reinterpret_cast<LPARAM>(&shown));
  const HWND target = shown.takingInput ? shown.takingInput : shown.any;
  if (!target) return false;
  if (IsIconic(target)) ShowWindow(target, SW_RESTORE);
  BringWindowToTop(target);
  SetForegroundWindow(target);
  return true;
}

}  // namespace sys
