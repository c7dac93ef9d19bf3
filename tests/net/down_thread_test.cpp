// Download worker on the scripted fake: file contents, outcome codes, progress notifications,
// resumption and clean-up.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "net/down_thread.h"
#include "net/http_fake.h"
#include "support/pump.h"

namespace fs = std::filesystem;

namespace {

using testsupport::PumpUntil;

std::string Pattern(std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct Download {
  std::vector<std::int64_t> begins;
  std::vector<std::int64_t> works;
  bool finished = false;
  std::int64_t code = 0;
};

class DownThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    net::fake::Reset();
    sys::InitGuiThread();
    dir_ = fs::path(::testing::TempDir()) /
           ("down_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    net::fake::Reset();
    fs::remove_all(dir_);
  }

  Download Run(const fs::path& file, const std::wstring& url = L"http://pkg.test/files/p.zip") {
    Download d;
    net::StartDownThread(
        url, file.wstring(), [&](net::TDownThread*, std::int64_t total) { d.begins.push_back(total); },
        [&](net::TDownThread*, std::int64_t count) { d.works.push_back(count); },
        [&](net::TDownThread* sender, std::int64_t code) {
          EXPECT_NE(sender, nullptr);
          d.finished = true;
          d.code = code;
        });
    EXPECT_TRUE(PumpUntil([&] { return d.finished; }));
    return d;
  }

  fs::path dir_;
};

TEST_F(DownThreadTest, StreamsTheBodyWithAnnouncedTotalAndCoarseProgress) {
  // Small bodies are notified every 64 KiB, large ones every hundredth.
  struct Case {
    std::size_t size;
    std::int64_t step;
  } cases[] = {{300 * 1024 + 17, 64 * 1024}, {10'000'000, 100'000}};
  for (const auto& c : cases) {
    net::fake::Reset();
    const std::string body = Pattern(c.size);
    net::fake::SetAnswer(L"/files/p.zip", {200, body});
    const auto file = dir_ / "p.zip";
    const Download d = Run(file);
    EXPECT_EQ(d.code, 200);
    EXPECT_EQ(ReadAll(file), body);
    EXPECT_EQ(d.begins, std::vector<std::int64_t>{static_cast<std::int64_t>(c.size)});
    ASSERT_FALSE(d.works.empty());
    EXPECT_EQ(d.works.back(), static_cast<std::int64_t>(c.size));
    // At least a step between notifications, except for the final count.
    for (std::size_t i = 0; i + 1 < d.works.size(); ++i) {
      const std::int64_t previous = i == 0 ? 0 : d.works[i - 1];
      EXPECT_GE(d.works[i] - previous, c.step) << c.size;
    }
    EXPECT_LE(d.works.size(), c.size / c.step + 1) << c.size;
  }
}

TEST_F(DownThreadTest, FailuresGiveMinusTwoAndLeaveNoFile) {
  net::fake::Answer unreachable;
  unreachable.unreachable = true;
  net::fake::Answer stalled{200, Pattern(200000)};
  stalled.breakAfter = 100000;
  stalled.stallAfterBreak = true;
  net::fake::Answer alwaysBreaks{200, Pattern(200000)};
  alwaysBreaks.breakAfter = 1000;
  alwaysBreaks.honourRange = false;  // every attempt starts over and breaks again
  struct Case {
    const char* name;
    net::fake::Answer answer;
  } cases[] = {
      {"404", {404, "missing"}},
      {"500", {500, "error"}},
      {"300 not followed", {300, "choose"}},
      {"no server", unreachable},
      {"stall", stalled},
      {"breaks on every attempt", alwaysBreaks},
  };
  for (const auto& c : cases) {
    net::fake::Reset();
    net::fake::SetAnswer(L"/files/p.zip", c.answer);
    const auto file = dir_ / "p.zip";
    const Download d = Run(file);
    EXPECT_EQ(d.code, net::kDownloadFailed) << c.name;
    EXPECT_FALSE(fs::exists(file)) << c.name;
  }
}

TEST_F(DownThreadTest, AStallIsNotResumed) {
  net::fake::Answer stalled{200, Pattern(200000)};
  stalled.breakAfter = 100000;
  stalled.stallAfterBreak = true;
  net::fake::SetAnswer(L"/files/p.zip", stalled);
  Run(dir_ / "p.zip");
  EXPECT_EQ(net::fake::Requests().size(), 1u);
}

TEST_F(DownThreadTest, ABrokenTransferIsResumedWithARangeRequest) {
  const std::string body = Pattern(500000);
  net::fake::Answer first{200, body};
  first.breakAfter = 123457;
  net::fake::Answer second{200, body};
  second.breakAfter = 300001;
  net::fake::SetAnswers(L"/files/p.zip", {first, second, {200, body}});
  const auto file = dir_ / "p.zip";
  const Download d = Run(file);
  EXPECT_EQ(d.code, 200);
  EXPECT_EQ(ReadAll(file), body);
  const auto requests = net::fake::Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].rangeFrom, 0);
  EXPECT_EQ(requests[1].rangeFrom, 123457);
  EXPECT_EQ(requests[2].rangeFrom, 300001);
  EXPECT_EQ(d.begins.size(), 1u);
  EXPECT_EQ(d.works.back(), 500000);
}

TEST_F(DownThreadTest, AServerThatIgnoresTheRangeIsReadFromTheStartAgain) {
  const std::string body = Pattern(200000);
  net::fake::Answer first{200, body};
  first.breakAfter = 150000;
  net::fake::Answer whole{200, body};
  whole.honourRange = false;
  net::fake::SetAnswers(L"/files/p.zip", {first, whole});
  const auto file = dir_ / "p.zip";
  const Download d = Run(file);
  EXPECT_EQ(d.code, 200);
  EXPECT_EQ(ReadAll(file), body);
}

TEST_F(DownThreadTest, GivesUpAfterThreeResumes) {
  const std::string body = Pattern(100000);
  net::fake::Answer breaks{200, body};
  breaks.breakAfter = 10;  // before the range shift; each resume breaks at once
  net::fake::SetAnswer(L"/files/p.zip", breaks);
  const Download d = Run(dir_ / "p.zip");
  EXPECT_EQ(d.code, net::kDownloadFailed);
  EXPECT_EQ(net::fake::Requests().size(), 1u + net::TDownThread::kResumeAttempts);
}

TEST_F(DownThreadTest, NoAnnouncedLengthAnnouncesZeroAndSucceeds) {
  net::fake::Answer a{200, Pattern(70000)};
  a.announceLength = false;
  net::fake::SetAnswer(L"/files/p.zip", a);
  const auto file = dir_ / "p.zip";
  const Download d = Run(file);
  EXPECT_EQ(d.code, 200);
  EXPECT_EQ(d.begins, std::vector<std::int64_t>{0});
  EXPECT_EQ(fs::file_size(file), 70000u);
}

TEST_F(DownThreadTest, EmptyBodyLeavesAnEmptyFileAndTruncatesAnOldOne) {
  const auto file = dir_ / "p.zip";
  std::ofstream(file, std::ios::binary) << std::string(5000, 'x');
  net::fake::SetAnswer(L"/files/p.zip", {200, ""});
  const Download d = Run(file);
  EXPECT_EQ(d.code, 200);
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(fs::file_size(file), 0u);
  EXPECT_EQ(d.begins, std::vector<std::int64_t>{0});
}

TEST_F(DownThreadTest, CreatesMissingFolders) {
  net::fake::SetAnswer(L"/files/p.zip", {200, "zip"});
  const auto file = dir_ / "a" / "b" / "c" / "p.zip";
  const Download d = Run(file);
  EXPECT_EQ(d.code, 200);
  EXPECT_EQ(ReadAll(file), "zip");
}

TEST_F(DownThreadTest, AFileThatCannotBeCreatedFailsWithoutARequest) {
  net::fake::SetAnswer(L"/files/p.zip", {200, "zip"});
  std::ofstream(dir_ / "plain") << "a file, not a folder";
  const Download d = Run(dir_ / "plain" / "p.zip");
  EXPECT_EQ(d.code, net::kDownloadFailed);
  EXPECT_TRUE(d.begins.empty());
  EXPECT_TRUE(net::fake::Requests().empty());
}

}  // namespace
