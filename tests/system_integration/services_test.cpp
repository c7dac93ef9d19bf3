#include "system/services.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_folder.h"
#include "support/wait_until.h"

namespace {

struct Config {
  std::wstring binaryPath, displayName;
  DWORD startType = 0, serviceType = 0;
};

Config QueryConfig(const std::wstring& name) {
  Config config;
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = OpenServiceW(manager, name.c_str(), SERVICE_QUERY_CONFIG);
  DWORD needed = 0;
  QueryServiceConfigW(service, nullptr, 0, &needed);
  std::vector<unsigned char> buffer(needed + 16);
  auto* data = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (QueryServiceConfigW(service, data, static_cast<DWORD>(buffer.size()), &needed)) {
    config = {data->lpBinaryPathName, data->lpDisplayName, data->dwStartType, data->dwServiceType};
  }
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return config;
}

DWORD CurrentState(const std::wstring& name) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = OpenServiceW(manager, name.c_str(), SERVICE_QUERY_STATUS);
  SERVICE_STATUS status{};
  QueryServiceStatus(service, &status);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return status.dwCurrentState;
}

void SetStartType(const std::wstring& name, DWORD startType) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = OpenServiceW(manager, name.c_str(), SERVICE_CHANGE_CONFIG);
  ChangeServiceConfigW(service, SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
}

TEST(Services, InstallStartStopRemoveARealService) {
  test_support::TempFolder root(L"service test");
  const std::wstring binary = root / L"svc probe.exe";
  ASSERT_TRUE(CopyFileW(SERVICE_PROBE_EXE, binary.c_str(), FALSE));
  const std::wstring name = L"OrvatteProbe" + std::to_wstring(GetCurrentProcessId());
  ASSERT_FALSE(sys::ServiceExists(name));

  ASSERT_TRUE(sys::InstallService(name, L"Orvatte 测试服务", binary));
  EXPECT_TRUE(sys::ServiceExists(name));
  Config config = QueryConfig(name);
  EXPECT_EQ(config.binaryPath, L"\"" + binary + L"\"");  // quoted: the path holds spaces
  EXPECT_EQ(config.displayName, L"Orvatte 测试服务");
  EXPECT_EQ(config.startType, static_cast<DWORD>(SERVICE_AUTO_START));
  EXPECT_EQ(config.serviceType & SERVICE_WIN32_OWN_PROCESS, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));

  // A second install points the existing service at its program and keeps the rest of it; the
  // start makes it automatic again.
  const std::wstring moved = root / L"moved\\svc probe.exe";
  std::filesystem::create_directories(test_support::FsPath(root / L"moved"));
  ASSERT_TRUE(CopyFileW(SERVICE_PROBE_EXE, moved.c_str(), FALSE));
  EXPECT_TRUE(sys::InstallService(name, L"Other", moved));
  SetStartType(name, SERVICE_DEMAND_START);
  config = QueryConfig(name);
  EXPECT_EQ(config.binaryPath, L"\"" + moved + L"\"");
  EXPECT_EQ(config.displayName, L"Orvatte 测试服务");

  EXPECT_TRUE(sys::StartServiceByName(name));
  EXPECT_EQ(QueryConfig(name).startType, static_cast<DWORD>(SERVICE_AUTO_START));
  EXPECT_TRUE(test_support::WaitUntil([&] { return CurrentState(name) == SERVICE_RUNNING; }));

  // The probe reports "stop pending" for two seconds, so the stop has to wait for it.
  const auto before = std::chrono::steady_clock::now();
  EXPECT_TRUE(sys::StopServiceByName(name));
  EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
  EXPECT_EQ(CurrentState(name), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_FALSE(sys::StopServiceByName(name));  // not running any more

  sys::RemoveService(name);
  EXPECT_TRUE(test_support::WaitUntil([&] { return !sys::ServiceExists(name); }));
}

TEST(Services, MissingServiceFailsQuietly) {
  const std::wstring name = L"OrvatteNoSuchService";
  EXPECT_FALSE(sys::ServiceExists(name));
  EXPECT_FALSE(sys::StartServiceByName(name));
  EXPECT_FALSE(sys::StopServiceByName(name));
  sys::RemoveService(name);
  EXPECT_FALSE(sys::InstallService(L"", L"", L""));
}

}  // namespace
