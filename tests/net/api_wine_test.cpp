// API client over WinHTTP against the development server: lookup answers and the exact reports.
#include <gtest/gtest.h>

#include "net/api.h"
#include "net/http_transport.h"
#include "support/devserver.h"
#include "support/pump.h"
#include "system/worker_thread.h"

namespace {

using testsupport::DevServerControl;
using testsupport::DevServerLog;
using testsupport::DevServerUrl;

class ApiWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(DevServerUrl().empty()) << "run through tools/devserver/with-devserver";
    ASSERT_NE(DevServerControl(L"reset"), L"");
  }
};

TEST_F(ApiWineTest, LookupAnswers) {
  const std::wstring package = DevServerUrl() + L"/files/package.zip";
  struct Case {
    const wchar_t* settings;
    bool result;
    std::wstring url, ver;
  } cases[] = {
      {L"lookup=ok&ver=2.5.1", true, package, L"2.5.1"},
      {L"lookup=empty_url", true, L"", L"1.0.0"},
      {L"lookup=no_data", true, L"", L""},
      {L"lookup=ok&code=0", true, package, L"1.0.0"},
      {L"lookup=code1", false, L"keep", L"keep"},
      {L"lookup=ok&code=2", false, L"keep", L"keep"},
      {L"lookup=not_json", false, L"keep", L"keep"},
      {L"lookup=status500", false, L"keep", L"keep"},
  };
  for (const auto& c : cases) {
    DevServerControl(L"reset");
    ASSERT_NE(DevServerControl(L"set", c.settings), L"") << c.settings;
    net::TAPI api(net::SystemHttpTransport(), L"web1", L"brisklens_win", L"1.0", L"42",
                  net::TAPI::getGlobalGUID(L"brisklens_win"), DevServerUrl());
    const std::optional<net::DownloadInfo> info = api.GetSoftDownloadInfo();
    EXPECT_EQ(info.has_value(), c.result) << c.settings;
    // "keep": nothing came back.
    const net::DownloadInfo got = info.value_or(net::DownloadInfo{L"keep", L"keep", L"", L""});
    EXPECT_EQ(got.url, c.url) << c.settings;
    EXPECT_EQ(got.version, c.ver) << c.settings;
  }
}

TEST_F(ApiWineTest, ReportsReachTheServerWithTheirExactQueries) {
  DevServerControl(L"set", L"sha256=00ff&ver=3.0");
  net::TAPI api(net::SystemHttpTransport(), L"web1", L"brisklens_win", L"1.0", L"42",
                net::TAPI::getGlobalGUID(L"brisklens_win"), DevServerUrl());
  const std::wstring id = L"soft_id=brisklens_win&curr_ver=%V&source=web1&device_code=" + api.Guid();
  api.ReportPreInstall();
  ASSERT_TRUE(testsupport::PumpUntil([] { return sys::WorkerThread::LiveCount() == 0; }));
  const std::optional<net::DownloadInfo> info = api.GetSoftDownloadInfo();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->sha256, L"00ff");
  api.ReportInstallFail(L"unzip_failed", 0);
  api.ReportInstallEnd();
  auto v = [&](const wchar_t* version) { return common::ReplaceAll(id, L"%V", version, true); };
  EXPECT_EQ(DevServerLog(), (std::vector<std::wstring>{
                                L"/api/report/preinstall?" + v(L"1.0") + L"&kid=42",
                                L"/api/config/soft_down?soft_id=brisklens_win&source=web1",
                                L"/api/report/install_fail?" + v(L"3.0") + L"&reason=unzip_failed&err=0&proc=&kid=42",
                                L"/api/report/event?" + v(L"3.0") + L"&event_id=install_end&kid=42",
                            }));
}

}  // namespace
