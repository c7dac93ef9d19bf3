// API transport on the scripted fake: URL assembly, results, body decoding, worker requests.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>

#include "net/http_fake.h"
#include "net/http_utils.h"
#include "net/winhttp_setup.h"
#include "support/pump.h"
#include "system/worker_thread.h"

namespace {

using testsupport::PumpUntil;

TEST(BuildRequestUrl, QuestionMarkAndLeadingAmpersandRules) {
  struct Case {
    const wchar_t* url;
    const wchar_t* params;
    const wchar_t* expected;
  } cases[] = {
      {L"http://h/x", L"&a=1&b=2", L"http://h/x?a=1&b=2"},
      {L"http://h/x?", L"a=1", L"http://h/x?a=1"},
      {L"http://h/x?k=v", L"a=1", L"http://h/x?k=va=1"},  // appended without separator
      {L"http://h/x", L"", L"http://h/x?"},
      {L"http://h/x", L"&&a=1", L"http://h/x?&a=1"},       // only one "&" goes
  };
  for (const auto& c : cases) EXPECT_EQ(net::BuildRequestUrl(c.url, c.params), c.expected) << c.url << L" " << c.params;
}

TEST(EncodeQueryValue, UnreservedStayOthersArePercentEncodedUtf8) {
  struct Case {
    const wchar_t* value;
    const wchar_t* expected;
  } cases[] = {
      {L"brisklens_win", L"brisklens_win"},
      {L"1.0.3-beta~2", L"1.0.3-beta~2"},
      {L"3F2504E04F8911D39A0C0305E82C33016a", L"3F2504E04F8911D39A0C0305E82C33016a"},
      {L"a&b=c#d", L"a%26b%3Dc%23d"},
      {L"x y+z/", L"x%20y%2Bz%2F"},
      {L"\u4e2d", L"%E4%B8%AD"},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(net::EncodeQueryValue(c.value), c.expected) << c.value;
}

class HttpRequestTest : public ::testing::Test {
 protected:
  std::shared_ptr<net::fake::ScriptedTransport> http_ = std::make_shared<net::fake::ScriptedTransport>();
};

TEST_F(HttpRequestTest, ResultAndBodyByAnswer) {
  struct Case {
    const char* name;
    net::fake::Answer answer;
    bool result;
    std::wstring body;
  };
  net::fake::Answer unreachable;
  unreachable.unreachable = true;
  net::fake::Answer broken;
  broken.body = R"({"code":0})";
  broken.breakAfter = 4;
  net::fake::Answer timedOut = broken;
  timedOut.stallAfterBreak = true;
  // Answers around the 1 MiB bound, with and without an announced length.
  const std::string atBound(net::kMaxAnswerBytes, 'a');
  const std::string overBound(net::kMaxAnswerBytes + 1, 'a');
  net::fake::Answer overUnannounced{200, overBound};
  overUnannounced.announceLength = false;
  net::fake::Answer atUnannounced{200, atBound};
  atUnannounced.announceLength = false;
  net::fake::Answer hugeAnnounced{200, "{}"};
  hugeAnnounced.lengthShift = 4LL << 30;  // announces 4 GiB
  const Case cases[] = {
      {"200 with JSON", {200, R"({"code":0})"}, true, LR"({"code":0})"},
      {"204 without body", {204, ""}, true, L""},
      {"299 is still 2xx", {299, "x"}, true, L"x"},
      {"404", {404, "not found"}, false, L""},
      {"500", {500, "oops"}, false, L""},
      {"300 not followed", {300, "choose"}, false, L""},
      {"199", {199, "x"}, false, L""},
      {"nobody listens", unreachable, false, L""},
      {"body breaks off", broken, false, L""},
      {"body stalls", timedOut, false, L""},
      {"UTF-8 text", {200, "\xe4\xb8\x80\xe9\x94\xae\xe5\xae\x89\xe8\xa3\x85 ok"}, true, L"\u4e00\u952e\u5b89\u88c5 ok"},
      {"exactly 1 MiB", {200, atBound}, true, std::wstring(atBound.begin(), atBound.end())},
      {"exactly 1 MiB without a length", atUnannounced, true, std::wstring(atBound.begin(), atBound.end())},
      {"1 MiB and a byte", {200, overBound}, false, L""},
      {"1 MiB and a byte without a length", overUnannounced, false, L""},
      {"4 GiB announced", hugeAnnounced, false, L""},
  };
  for (const auto& c : cases) {
    http_->SetAnswer(L"/api/x", c.answer);
    std::wstring body = L"stale";
    EXPECT_EQ(net::HttpRequest(*http_, L"http://127.0.0.1:1/api/x", L"a=1", net::kMethodGet, 5000, body), c.result)
        << c.name;
    EXPECT_EQ(body, c.body) << c.name;
  }
}

TEST_F(HttpRequestTest, SendsAcceptJsonConnectTimeoutAndTlsByScheme) {
  http_->SetAnswer(L"/api/x", net::fake::Json("{}"));
  std::wstring body;
  net::HttpRequest(*http_, L"HTTPS://example.test/api/x", L"&a=1", net::kMethodGet, 5000, body);
  net::HttpRequest(*http_, L"http://example.test/api/x", L"a=2", net::kMethodGet, 1234, body);
  const auto requests = http_->Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].url, L"HTTPS://example.test/api/x?a=1");
  EXPECT_TRUE(requests[0].tls);
  EXPECT_TRUE(requests[0].acceptJson);
  EXPECT_EQ(requests[0].connectTimeoutMs, 5000);
  EXPECT_FALSE(requests[1].tls);
  EXPECT_EQ(requests[1].connectTimeoutMs, 1234);
}

TEST_F(HttpRequestTest, OnlyGetIsSupported) {
  http_->SetAnswer(L"/api/x", net::fake::Json("{}"));
  std::wstring body;
  EXPECT_FALSE(net::HttpRequest(*http_, L"http://h/api/x", L"", 2, 5000, body));
  EXPECT_TRUE(http_->Requests().empty());
}

TEST_F(HttpRequestTest, BlockingHttpGetReturnsTheAnswer) {
  http_->SetAnswer(L"/api/x", net::fake::Json(R"({"code":1})"));
  std::wstring body;
  EXPECT_TRUE(net::HttpGet(http_, L"http://h/api/x", L"a=1", body, false));
  EXPECT_EQ(body, LR"({"code":1})");
  ASSERT_EQ(http_->Requests().size(), 1u);
  EXPECT_EQ(http_->Requests()[0].connectTimeoutMs, net::kConnectTimeoutMs);
}

TEST_F(HttpRequestTest, HttpGetOnAWorkerReturnsAtOnceAndTheWorkerFreesItself) {
  sys::InitGuiThread();
  const int before = sys::WorkerThread::LiveCount();
  net::fake::Answer unreachable;
  unreachable.unreachable = true;
  http_->SetAnswer(L"/api/report/install", unreachable);
  std::wstring body = L"untouched";
  EXPECT_TRUE(net::HttpGet(http_, L"http://h/api/report/install", L"a=1", body, true));
  EXPECT_EQ(body, L"untouched");
  EXPECT_TRUE(PumpUntil([&] { return sys::WorkerThread::LiveCount() == before; }));
  EXPECT_EQ(http_->RequestsTo(L"/api/report/install").size(), 1u);
}

TEST_F(HttpRequestTest, WorkerCompletionRunsOnTheGuiThreadWithBodyAndResult) {
  sys::InitGuiThread();
  http_->SetAnswer(L"/ok", net::fake::Json("fine"));
  http_->SetAnswer(L"/bad", {500, "no"});
  struct Outcome {
    bool done = false;
    std::wstring body;
    bool success = false;
    std::thread::id thread;
  } ok, bad;
  auto into = [](Outcome& o) {
    return [&o](net::THttpThread* sender, const std::wstring& body, bool success) {
      EXPECT_NE(sender, nullptr);
      o = {true, body, success, std::this_thread::get_id()};
    };
  };
  net::StartHttpThread(http_, L"http://h/ok", L"", net::kMethodGet, 5000, into(ok));
  net::StartHttpThread(http_, L"http://h/bad", L"", net::kMethodGet, 5000, into(bad));
  EXPECT_TRUE(PumpUntil([&] { return ok.done && bad.done; }));
  EXPECT_TRUE(ok.success);
  EXPECT_EQ(ok.body, L"fine");
  EXPECT_EQ(ok.thread, std::this_thread::get_id());
  EXPECT_FALSE(bad.success);
  EXPECT_EQ(bad.body, L"");
}

// A request that throws on the worker still reports, failed and empty, on the GUI thread.
TEST_F(HttpRequestTest, AWorkerWhoseRequestThrowsStillFinishes) {
  sys::InitGuiThread();
  class Throwing final : public net::HttpTransport {
    std::unique_ptr<net::HttpStream> OpenGet(const std::wstring&, const net::HttpGetOptions&) override {
      throw std::runtime_error("transport broke");
    }
  };
  bool done = false;
  bool success = true;
  std::wstring body = L"untouched";
  net::StartHttpThread(std::make_shared<Throwing>(), L"http://h/ok", L"", net::kMethodGet, 5000,
                       [&](net::THttpThread*, const std::wstring& b, bool s) {
                         done = true;
                         body = b;
                         success = s;
                       });
  EXPECT_TRUE(PumpUntil([&] { return done; }));
  EXPECT_FALSE(success);
  EXPECT_EQ(body, L"");
}

TEST(WinHttpSetup, TheBranchFollowsTheWindowsVersion) {
  struct Case {
    unsigned major, minor;
    bool automaticProxy, enableTls12;
  } cases[] = {
      {6, 0, false, true},   // Vista
      {6, 1, false, true},   // 7
      {6, 2, false, true},   // 8.0
      {6, 3, true, false},   // 8.1
      {10, 0, true, false},  // 10 and 11
      {5, 1, false, true},
  };
  for (const auto& c : cases) {
    const net::WinHttpSetup setup = net::WinHttpSetupFor(c.major, c.minor);
    EXPECT_EQ(setup.automaticProxy, c.automaticProxy) << c.major << "." << c.minor;
    EXPECT_EQ(setup.enableTls12, c.enableTls12) << c.major << "." << c.minor;
  }
}

}  // namespace
