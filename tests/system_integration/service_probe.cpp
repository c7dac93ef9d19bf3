// A minimal Windows service for the service tests: it runs until it is asked to stop, then
// reports "stop pending" for about two seconds before it reports "stopped".
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopRequested = nullptr;

void Report(DWORD state, DWORD waitHint) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  status.dwWaitHint = waitHint;
  SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP) {
    Report(SERVICE_STOP_PENDING, 5000);
    SetEvent(stopRequested);
  }
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  statusHandle = RegisterServiceCtrlHandlerExW(L"", Control, nullptr);
  Report(SERVICE_RUNNING, 0);
  WaitForSingleObject(stopRequested, INFINITE);
  Sleep(2000);
  Report(SERVICE_STOPPED, 0);
}

}  // namespace

int wmain() {
  stopRequested = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  wchar_t name[] = L"";
  SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
