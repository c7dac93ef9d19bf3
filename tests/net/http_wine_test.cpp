// HTTP transport on WinHTTP against the development server.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <thread>
#include <vector>

#include "net/http_transport.h"
#include "net/http_utils.h"
#include "common/text.h"
#include "support/devserver.h"
#include "support/pump.h"
#include "system/worker_thread.h"

namespace {

using testsupport::DevServerControl;
using testsupport::DevServerLog;
using testsupport::DevServerUrl;

class HttpWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = DevServerUrl();
    ASSERT_FALSE(base_.empty()) << "run through tools/devserver/with-devserver";
    ASSERT_NE(DevServerControl(L"reset"), L"");
  }
  std::wstring Port() const { return base_.substr(base_.rfind(L':') + 1); }
  std::wstring base_;
};

TEST_F(HttpWineTest, StatusDecidesResultAndBody) {
  struct Case {
    const wchar_t* path;
    bool result;
    std::wstring body;
  } cases[] = {
      {L"/test/status/200", true, L"status 200\n"},
      {L"/test/status/204", true, L""},
      {L"/test/status/404", false, L""},
      {L"/test/status/500", false, L""},
      {L"/test/status/300", false, L""},
  };
  for (const auto& c : cases) {
    std::wstring body = L"stale";
    EXPECT_EQ(net::HttpRequest(*net::SystemHttpTransport(), base_ + c.path, L"", net::kMethodGet, 5000, body), c.result) << c.path;
    EXPECT_EQ(body, c.body) << c.path;
  }
}

TEST_F(HttpWineTest, NonAsciiUtf8BodyComesBackIntact) {
  std::wstring body;
  ASSERT_TRUE(net::HttpRequest(*net::SystemHttpTransport(), base_ + L"/test/utf8", L"", net::kMethodGet, 5000, body));
  EXPECT_EQ(body, L"\u4e00\u952e\u5b89\u88c5 ok \u2713 \U0001D11E");
}

TEST_F(HttpWineTest, RedirectToAnotherHostNameIsFollowed) {
  std::wstring body;
  const std::wstring target = L"http://localhost:" + Port() + L"/test/utf8";
  ASSERT_TRUE(net::HttpRequest(*net::SystemHttpTransport(), base_ + L"/test/redirect", L"to=" + net::EncodeQueryValue(target), net::kMethodGet,
                               5000, body));
  EXPECT_EQ(body.substr(0, 4), L"\u4e00\u952e\u5b89\u88c5");
}

TEST_F(HttpWineTest, SendsTheQueryExactlyAcceptsJsonAndNamesNoAgent) {
  std::wstring body;
  ASSERT_TRUE(net::HttpRequest(*net::SystemHttpTransport(), base_ + L"/api/report/install", L"&soft_id=a_b&curr_ver=1.0&proc=&kid=7",
                               net::kMethodGet, 5000, body));
  ASSERT_TRUE(net::HttpRequest(*net::SystemHttpTransport(), base_ + L"/test/headers", L"", net::kMethodGet, 5000, body));
  EXPECT_NE(body.find(L"Accept: application/json"), std::wstring::npos) << body;
  EXPECT_EQ(body.find(L"User-Agent"), std::wstring::npos) << body;
  const auto log = DevServerLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], L"/api/report/install?soft_id=a_b&curr_ver=1.0&proc=&kid=7");
}

TEST_F(HttpWineTest, ARangeWithIfRangeGoesOutAndResponseHeadersComeBack) {
  net::HttpGetOptions options;
  auto whole = net::SystemHttpTransport()->OpenGet(base_ + L"/blob/5000", options);
  ASSERT_TRUE(whole);
  const std::wstring etag = whole->Header(L"ETag");
  EXPECT_EQ(etag, L"\"blob-5000\"");
  EXPECT_EQ(whole->Header(L"etag"), etag);  // names in any letter case
  EXPECT_EQ(whole->Header(L"No-Such-Header"), L"");
  EXPECT_FALSE(whole->Header(L"Last-Modified").empty());

  options.rangeFrom = 1000;
  options.ifRange = etag;
  auto rest = net::SystemHttpTransport()->OpenGet(base_ + L"/blob/5000", options);
  ASSERT_TRUE(rest);
  EXPECT_EQ(rest->Status(), 206);
  EXPECT_EQ(rest->Header(L"Content-Range"), L"bytes 1000-4999/5000");
  EXPECT_EQ(rest->ContentLength(), 4000);

  options.ifRange = L"\"old\"";
  auto changed = net::SystemHttpTransport()->OpenGet(base_ + L"/blob/5000", options);
  ASSERT_TRUE(changed);
  EXPECT_EQ(changed->Status(), 200);
  EXPECT_EQ(changed->ContentLength(), 5000);

  options.rangeFrom = 0;  // If-Range goes out only with a range
  auto echo = net::SystemHttpTransport()->OpenGet(base_ + L"/test/headers", options);
  ASSERT_TRUE(echo);
  std::string headers(4096, '\0');
  headers.resize(static_cast<std::size_t>(echo->Read(reinterpret_cast<std::uint8_t*>(headers.data()), headers.size())));
  EXPECT_EQ(headers.find("If-Range"), std::string::npos) << headers;
  EXPECT_EQ(headers.find("Range"), std::string::npos) << headers;
}

// The user's Internet settings name a manual proxy (here the development server, which answers
// absolute-form requests too): a request to a host that does not exist goes through it. Before
// Windows 8.1 WinHTTP ignores these settings unless the program reads them; this prefix reports
// Windows 7.
TEST_F(HttpWineTest, TheUsersManualProxyIsUsed) {
  const std::string proxy = "127.0.0.1:" + common::WideToUtf8(Port());
  std::vector<BYTE> blob;
  auto dword = [&blob](DWORD v) {
    for (int i = 0; i < 4; ++i) blob.push_back(static_cast<BYTE>(v >> (8 * i)));
  };
  dword(0x46);  // the settings' format
  dword(1);     // change counter
  dword(0x3);   // direct, and a manual proxy
  dword(static_cast<DWORD>(proxy.size()));
  blob.insert(blob.end(), proxy.begin(), proxy.end());
  dword(0);     // no bypass list
  dword(0);     // no configuration script
  const wchar_t* kConnections = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kConnections, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  std::vector<BYTE> saved(4096);
  DWORD savedSize = static_cast<DWORD>(saved.size());
  const bool hadSettings = RegQueryValueExW(key, L"DefaultConnectionSettings", nullptr, nullptr, saved.data(),
                                            &savedSize) == ERROR_SUCCESS;
  RegSetValueExW(key, L"DefaultConnectionSettings", 0, REG_BINARY, blob.data(), static_cast<DWORD>(blob.size()));

  std::wstring body;
  const bool proxied = net::HttpRequest(*net::SystemHttpTransport(), L"http://proxied.invalid/test/status/200", L"", net::kMethodGet, 5000, body);

  if (hadSettings) {
    RegSetValueExW(key, L"DefaultConnectionSettings", 0, REG_BINARY, saved.data(), savedSize);
  } else {
    RegDeleteValueW(key, L"DefaultConnectionSettings");
  }
  RegCloseKey(key);
  EXPECT_TRUE(proxied);
  const auto log = DevServerLog();
  ASSERT_EQ(log.size(), 1u);
  // The absolute form that a proxy receives (with or without the default port).
  EXPECT_TRUE(log[0].starts_with(L"http://proxied.invalid") && log[0].ends_with(L"/test/status/200?")) << log[0];
}

TEST_F(HttpWineTest, UnreachablePortFailsWithinTheConnectTimeout) {
  // Port 1 on loopback: nothing listens there.
  const auto start = std::chrono::steady_clock::now();
  std::wstring body = L"stale";
  EXPECT_FALSE(net::HttpRequest(*net::SystemHttpTransport(), L"http://127.0.0.1:1/api/x", L"", net::kMethodGet, 5000, body));
  EXPECT_EQ(body, L"");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
}

TEST_F(HttpWineTest, UpperCaseHttpsSchemeSpeaksTlsAndFailsAgainstPlainHttp) {
  std::wstring body;
  const std::wstring rest = base_.substr(4);  // "://127.0.0.1:PORT"
  EXPECT_TRUE(net::HttpRequest(*net::SystemHttpTransport(), L"http" + rest + L"/test/status/200", L"", net::kMethodGet, 5000, body));
  EXPECT_FALSE(net::HttpRequest(*net::SystemHttpTransport(), L"HTTPS" + rest + L"/test/status/200", L"", net::kMethodGet, 5000, body));
  EXPECT_FALSE(net::HttpRequest(*net::SystemHttpTransport(), L"https" + rest + L"/test/status/200", L"", net::kMethodGet, 5000, body));
  // The plain request reached the handler; the TLS attempts did not (they never made a valid request).
  EXPECT_EQ(DevServerLog().size(), 1u);
}

TEST_F(HttpWineTest, WorkerWithoutCallbackCompletesAndFreesItself) {
  sys::InitGuiThread();
  const int before = sys::WorkerThread::LiveCount();
  std::wstring body = L"untouched";
  EXPECT_TRUE(net::HttpGet(net::SystemHttpTransport(), base_ + L"/api/report/preinstall", L"soft_id=x", body, true));
  EXPECT_EQ(body, L"untouched");
  EXPECT_TRUE(testsupport::PumpUntil([&] { return sys::WorkerThread::LiveCount() == before; }));
  EXPECT_EQ(DevServerLog(), std::vector<std::wstring>{L"/api/report/preinstall?soft_id=x"});
}

TEST_F(HttpWineTest, WorkerCallbackRunsOnTheGuiThread) {
  sys::InitGuiThread();
  bool done = false, success = false;
  std::wstring got;
  const auto gui = std::this_thread::get_id();
  std::thread::id ranOn;
  net::StartHttpThread(net::SystemHttpTransport(), base_ + L"/test/status/200", L"", net::kMethodGet, 5000,
                       [&](net::THttpThread*, const std::wstring& body, bool ok) {
                         done = true;
                         success = ok;
                         got = body;
                         ranOn = std::this_thread::get_id();
                       });
  ASSERT_TRUE(testsupport::PumpUntil([&] { return done; }));
  EXPECT_TRUE(success);
  EXPECT_EQ(got, L"status 200\n");
  EXPECT_EQ(ranOn, gui);
}

}  // namespace
