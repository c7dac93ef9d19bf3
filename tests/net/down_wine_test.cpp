// Download worker on WinHTTP against the development server.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "net/down_thread.h"
#include "net/http_transport.h"
#include "support/devserver.h"
#include "support/pump.h"
#include "system/file_io.h"

namespace fs = std::filesystem;

namespace {

using testsupport::DevServerControl;
using testsupport::DevServerLog;
using testsupport::DevServerUrl;

struct Outcome {
  std::vector<std::int64_t> begins;
  std::int64_t lastWork = -1;
  bool finished = false;
  std::int64_t code = 0;

  net::TOnWorkBeginEvent OnBegin() {
    return [this](net::TDownThread*, std::int64_t total) { begins.push_back(total); };
  }
  net::TOnWorkEvent OnWork() {
    return [this](net::TDownThread*, std::int64_t count) { lastWork = count; };
  }
  net::TOnDownFinishEvent OnFinish() {
    return [this](net::TDownThread*, std::int64_t responseCode) {
      finished = true;
      code = responseCode;
    };
  }
};

bool IsBlob(const fs::path& file, std::uint64_t size) {
  std::ifstream in(file, std::ios::binary);
  std::string data{std::istreambuf_iterator<char>(in), {}};
  if (data.size() != size) return false;
  for (std::uint64_t i = 0; i < size; ++i)
    if (static_cast<std::uint8_t>(data[i]) != testsupport::BlobByte(i)) return false;
  return true;
}

class DownWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = DevServerUrl();
    ASSERT_FALSE(base_.empty()) << "run through tools/devserver/with-devserver";
    ASSERT_NE(DevServerControl(L"reset"), L"");
    sys::InitGuiThread();
    dir_ = fs::temp_directory_path() / "down_wine_test";
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Set(const std::wstring& params) { ASSERT_NE(DevServerControl(L"set", params), L""); }

  Outcome Run(net::TDownThread* thread, const std::wstring& url, const fs::path& file) {
    Outcome o;
    thread->SetOnWorkBegin(o.OnBegin());
    thread->SetOnWork(o.OnWork());
    thread->SetOnFinish(o.OnFinish());
    thread->SetURL(url);
    thread->SetFileName(file.wstring());
    sys::ForceDirectories(file.parent_path().wstring());
    thread->Resume();
    EXPECT_TRUE(testsupport::PumpUntil([&] { return o.finished; }, 60000));
    return o;
  }

  Outcome Run(const std::wstring& url, const fs::path& file) {
    Outcome o;
    net::StartDownThread(net::SystemHttpTransport(), url, file.wstring(), o.OnBegin(), o.OnWork(), o.OnFinish());
    EXPECT_TRUE(testsupport::PumpUntil([&] { return o.finished; }, 60000));
    return o;
  }

  std::wstring base_;
  fs::path dir_;
};

TEST_F(DownWineTest, DownloadsIntoANewFolderTree) {
  const auto file = dir_ / L"a" / L"b" / L"\u5b89\u88c5" / L"p.zip";
  const Outcome o = Run(base_ + L"/blob/300000", file);
  EXPECT_EQ(o.code, 200);
  EXPECT_EQ(o.begins, std::vector<std::int64_t>{300000});
  EXPECT_EQ(o.lastWork, 300000);
  EXPECT_TRUE(IsBlob(file, 300000));
}

TEST_F(DownWineTest, ErrorStatusesGiveMinusTwoAndNoFile) {
  for (const wchar_t* status : {L"404", L"500", L"300", L"301"}) {
    Set(std::wstring(L"pkg_status=") + status);
    const auto file = dir_ / L"p.zip";
    const Outcome o = Run(base_ + L"/blob/1000", file);
    EXPECT_EQ(o.code, net::kDownloadFailed) << status;
    EXPECT_FALSE(fs::exists(file)) << status;
  }
}

TEST_F(DownWineTest, ServerBehavioursThatStillDeliverTheWholeBody) {
  struct Case {
    const wchar_t* settings;
    std::uint64_t size;
    std::size_t requests;              // as the server saw them
    std::vector<std::int64_t> begins;  // work begin's totals: one for each body started from byte 0
  } cases[] = {
      {L"drop_at=100000&drop_times=2", 1000000, 3, {1000000}},  // resumed twice with a range
      {L"redirect_host=localhost", 70000, 2, {70000}},
      {L"no_length=1", 150000, 1, {0}},
      // Resumes that must not continue the first body: each starts over from byte 0.
      {L"drop_at=100000&no_validators=1", 1000000, 2, {1000000, 1000000}},
      {L"drop_at=100000&etag_changes=1", 1000000, 2, {1000000, 1000000}},  // the server's 200
      {L"drop_at=100000&etag_changes=1&ignore_if_range=1", 1000000, 3, {1000000, 1000000}},
      {L"drop_at=100000&range_from_zero=1", 1000000, 3, {1000000, 1000000}},
      {L"drop_at=100000&wrong_total=1", 1000000, 3, {1000000, 1000000}},
      // Bytes beyond the announced length are not part of the body.
      {L"extra_bytes=5000", 150000, 1, {150000}},
  };
  for (const auto& c : cases) {
    DevServerControl(L"reset");
    Set(c.settings);
    const auto file = dir_ / L"p.zip";
    const Outcome o = Run(base_ + L"/blob/" + std::to_wstring(c.size), file);
    EXPECT_EQ(o.code, 200) << c.settings;
    EXPECT_TRUE(IsBlob(file, c.size)) << c.settings;
    EXPECT_EQ(DevServerLog().size(), c.requests) << c.settings;
    EXPECT_EQ(o.begins, c.begins) << c.settings;
  }
}

TEST_F(DownWineTest, AResumeRefusedEveryTimeFailsWithinTheRetryBudget) {
  Set(L"drop_at=100000&drop_times=10&range_from_zero=1");
  const auto file = dir_ / L"p.zip";
  const Outcome o = Run(base_ + L"/blob/1000000", file);
  EXPECT_EQ(o.code, net::kDownloadFailed);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(DevServerLog().size(), 1u + net::TDownThread::kResumeAttempts);
}

TEST_F(DownWineTest, AStallEndsTheTransfer) {
  Set(L"stall_at=5000&stall_seconds=15");
  auto* thread = new net::TDownThread(true, net::SystemHttpTransport());
  thread->SetStallTimeoutMs(1500);
  const auto file = dir_ / L"p.zip";
  const Outcome o = Run(thread, base_ + L"/blob/100000", file);
  EXPECT_EQ(o.code, net::kDownloadFailed);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(DevServerLog().size(), 1u);
}

TEST_F(DownWineTest, UnreachableServerGivesMinusTwo) {
  const auto file = dir_ / L"p.zip";
  const Outcome o = Run(L"http://127.0.0.1:1/p.zip", file);
  EXPECT_EQ(o.code, net::kDownloadFailed);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_TRUE(o.begins.empty());
}

}  // namespace
