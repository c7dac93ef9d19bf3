#include <windows.h>

#include "system/gui_thread.h"
#include "system/services.h"
#include "system/win_handle.h"

namespace sys {

namespace {

constexpr DWORD kStopWaitStepMs = 1000;
constexpr DWORD kStopWaitLimitMs = 30000;

win::ServiceHandle OpenManager() {
  return win::ServiceHandle(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

win::ServiceHandle OpenFullService(const win::ServiceHandle& manager, std::wstring_view name) {
  return win::ServiceHandle(OpenServiceW(manager.Get(), std::wstring(name).c_str(), SERVICE_ALL_ACCESS));
}

}  // namespace

bool ServiceExists(std::wstring_view name) {
  win::ServiceHandle manager(OpenSCManagerW(nullptr, L"ServicesActive", SC_MANAGER_CONNECT));
  if (!manager) return false;
  const win::ServiceHandle service(OpenServiceW(manager.Get(), std::wstring(name).c_str(), SERVICE_QUERY_STATUS));
  manager.Reset();
  return static_cast<bool>(service);
}

bool InstallService(std::wstring_view name, std::wstring_view displayName, std::wstring_view binaryPath) {
  const win::ServiceHandle manager = OpenManager();
  if (ServiceExists(name)) {
    const win::ServiceHandle service = OpenFullService(manager, name);
    return service && ChangeServiceConfigW(service.Get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                           ServiceCommandLine(binaryPath).c_str(), nullptr, nullptr, nullptr, nullptr,
                                           nullptr, nullptr);
  }
  if (!manager) return false;
  const win::ServiceHandle service(CreateServiceW(
      manager.Get(), std::wstring(name).c_str(), std::wstring(displayName).c_str(), SERVICE_ALL_ACCESS,
      SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, ServiceCommandLine(binaryPath).c_str(),
      nullptr, nullptr, L"\0", nullptr, nullptr));
  return static_cast<bool>(service);
}

bool StartServiceByName(std::wstring_view name) {
  const win::ServiceHandle manager = OpenManager();
  if (!manager) return false;
  const win::ServiceHandle service = OpenFullService(manager, name);
  ChangeServiceConfigW(service.Get(), SERVICE_NO_CHANGE, SERVICE_AUTO_START, SERVICE_NO_CHANGE, nullptr, nullptr,
                       nullptr, nullptr, nullptr, nullptr, nullptr);
  if (!service) return false;
  return StartServiceW(service.Get(), 0, nullptr) != FALSE;
}

bool StopServiceByName(std::wstring_view name) {
  const win::ServiceHandle manager = OpenManager();
  const win::ServiceHandle service = OpenFullService(manager, name);
  SERVICE_STATUS status{};
  if (!ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) return false;
  Sleep(kStopWaitStepMs);
  for (DWORD waited = kStopWaitStepMs;; waited += kStopWaitStepMs) {
    if (!QueryServiceStatus(service.Get(), &status)) break;
    ProcessPendingMessages();
    if (status.dwCurrentState != SERVICE_STOP_PENDING) break;
    if (waited >= kStopWaitLimitMs) return false;
    Sleep(kStopWaitStepMs);
  }
  return status.dwCurrentState == SERVICE_STOPPED;
}

void RemoveService(std::wstring_view name) {
  const win::ServiceHandle manager = OpenManager();
  if (!manager) return;
  const win::ServiceHandle service = OpenFullService(manager, name);
  SERVICE_STATUS status{};
  ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);
  DeleteService(service.Get());
}

}  // namespace sys
