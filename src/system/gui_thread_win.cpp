// GUI-thread hand-off through a message-only window owned by the GUI thread.
#include "system/gui_thread.h"

#include <windows.h>

namespace sys {
namespace {

constexpr UINT kRunCall = WM_APP + 0x2C1;
constexpr wchar_t kClassName[] = L"InstallerGuiHandOff";

HWND g_window = nullptr;
DWORD g_guiThreadId = 0;

void RunGuarded(const std::function<void()>& call) {
  try {
    call();
  } catch (...) {
  }
}

LRESULT CALLBACK HandOffProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kRunCall) {
    RunGuarded(*reinterpret_cast<const std::function<void()>*>(lParam));
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool DispatchPending() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

// Sleeps until a message or hand-off arrives or timeoutMs has passed. QS_ALLINPUT includes
// QS_SENDMESSAGE, so a waiting hand-off wakes the thread for the look that serves it.
// MWMO_INPUTAVAILABLE: a message that is in the queue already but was seen by an
// earlier look (a PeekMessage without PM_REMOVE, a GetQueueStatus of a control) ends the wait
// too; without it the thread would sleep on with input waiting.
void WaitForInput(DWORD timeoutMs) {
  MsgWaitForMultipleObjectsEx(0, nullptr, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

}  // namespace

void InitGuiThread() {
  if (g_window) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = HandOffProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);
  g_window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  g_guiThreadId = GetCurrentThreadId();
}

void RunOnGuiThread(const std::function<void()>& call) {
  // Without the window (never initialised, or it could not be created) there is no GUI thread to
  // hand to; running on the caller is the only way the call still happens.
  if (!g_window || GetCurrentThreadId() == g_guiThreadId) {
    RunGuarded(call);
    return;
  }
  SendMessageW(g_window, kRunCall, 0, reinterpret_cast<LPARAM>(&call));
}

std::optional<int> RunMessageLoop(const std::function<bool()>& done) {
  // One message at a time, as GetMessage would give them, but done() is asked again after a
  // hand-off too, which GetMessage serves without returning.
  MSG msg{};
  while (!done()) {
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    } else if (!done()) {  // the look may have served a hand-off that ended the loop
      WaitForInput(INFINITE);
    }
  }
  return std::nullopt;
}

bool ProcessPendingMessages() { return DispatchPending(); }

bool WaitAndProcessMessages(unsigned timeoutMs) {
  WaitForInput(timeoutMs);
  return DispatchPending();
}

}  // namespace sys
