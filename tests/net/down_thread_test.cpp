// Download worker on the scripted fake: file contents, outcome codes, progress notifications,
// resumption and clean-up.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

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
    sys::InitGuiThread();
    dir_ = fs::path(::testing::TempDir()) /
           ("down_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  Download Run(const fs::path& file, const std::wstring& url = L"http://pkg.test/files/p.zip") {
    Download d;
    net::StartDownThread(
        transport_, url, file.wstring(), [&](net::TDownThread*, std::int64_t total) { d.begins.push_back(total); },
        [&](net::TDownThread*, std::int64_t count) { d.works.push_back(count); },
        [&](net::TDownThread* sender, std::int64_t code) {
          EXPECT_NE(sender, nullptr);
          d.finished = true;
          d.code = code;
        });
    EXPECT_TRUE(PumpUntil([&] { return d.finished; }));
    return d;
  }

  std::shared_ptr<net::fake::ScriptedTransport> http_ = std::make_shared<net::fake::ScriptedTransport>();
  std::shared_ptr<net::HttpTransport> transport_ = http_;  // what the worker is given
  fs::path dir_;
};

TEST_F(DownThreadTest, StreamsTheBodyWithAnnouncedTotalAndCoarseProgress) {
  // Small bodies are notified every 64 KiB, large ones every hundredth.
  struct Case {
    std::size_t size;
    std::int64_t step;
  } cases[] = {{300 * 1024 + 17, 64 * 1024}, {10'000'000, 100'000}};
  for (const auto& c : cases) {
    http_->Reset();
    const std::string body = Pattern(c.size);
    http_->SetAnswer(L"/files/p.zip", {200, body});
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
    http_->Reset();
    http_->SetAnswer(L"/files/p.zip", c.answer);
    const auto file = dir_ / "p.zip";
    const Download d = Run(file);
    EXPECT_EQ(d.code, net::kDownloadFailed) << c.name;
    EXPECT_FALSE(fs::exists(file)) << c.name;
  }
}

// The script's transport until it has answered `answered` requests; then every request throws.
class TransportThatThrows final : public net::HttpTransport {
 public:
  TransportThatThrows(std::shared_ptr<net::HttpTransport> inner, int answered)
      : inner_(std::move(inner)), answered_(answered) {}
  std::unique_ptr<net::HttpStream> OpenGet(const std::wstring& url, const net::HttpGetOptions& options) override {
    if (answered_-- <= 0) throw std::runtime_error("transport broke");
    return inner_->OpenGet(url, options);
  }

 private:
  std::shared_ptr<net::HttpTransport> inner_;
  int answered_;
};

// A worker whose transfer throws still finishes, failed, and leaves no file: the install waits for
// the finish. Whether it throws at the first request or at the resume of a broken body.
TEST_F(DownThreadTest, ATransferThatThrowsFinishesFailedAndLeavesNoFile) {
  http_->SetAnswer(L"/files/p.zip", {.status = 200, .body = Pattern(300'000), .breakAfter = 100'000});
  for (const int answered : {0, 1}) {
    transport_ = std::make_shared<TransportThatThrows>(http_, answered);
    const auto file = dir_ / "p.zip";
    const Download d = Run(file);
    EXPECT_TRUE(d.finished) << answered;
    EXPECT_EQ(d.code, net::kDownloadFailed) << answered;
    EXPECT_FALSE(fs::exists(file)) << answered;
  }
}

TEST_F(DownThreadTest, AStallIsNotResumed) {
  net::fake::Answer stalled{200, Pattern(200000)};
  stalled.breakAfter = 100000;
  stalled.stallAfterBreak = true;
  http_->SetAnswer(L"/files/p.zip", stalled);
  Run(dir_ / "p.zip");
  EXPECT_EQ(http_->Requests().size(), 1u);
}

TEST_F(DownThreadTest, ABrokenTransferIsResumedWithARangeRequest) {
  const std::string body = Pattern(500000);
  net::fake::Answer whole{200, body};
  whole.headers = {{L"ETag", L"\"v1\""}};
  net::fake::Answer first = whole;
  first.breakAfter = 123457;
  net::fake::Answer second = whole;
  second.breakAfter = 300001;
  http_->SetAnswers(L"/files/p.zip", {first, second, whole});
  const auto file = dir_ / "p.zip";
  const Download d = Run(file);
  EXPECT_EQ(d.code, 200);
  EXPECT_EQ(ReadAll(file), body);
  const auto requests = http_->Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].rangeFrom, 0);
  EXPECT_EQ(requests[1].rangeFrom, 123457);
  EXPECT_EQ(requests[2].rangeFrom, 300001);
  EXPECT_EQ(requests[2].ifRange, L"\"v1\"");
  EXPECT_EQ(d.begins.size(), 1u);
  EXPECT_EQ(d.works.back(), 500000);
}

// Two versions of one package, the same size: a resumed download must give exactly one of them.
struct ResumeCase {
  const char* name;
  std::vector<net::fake::Answer> answers;
  std::int64_t code;
  const std::string* content;                // nullptr: no file is left
  std::vector<std::int64_t> ranges;          // rangeFrom of each request, in order
  std::wstring resumeValidator;              // If-Range of the second request
};

TEST_F(DownThreadTest, AResumeContinuesOnlyTheSameBodyFromTheExactByte) {
  using net::fake::Answer;
  const std::string v1 = Pattern(300000);
  std::string v2 = v1;
  for (std::size_t i = 150000; i < v2.size(); ++i) v2[i] = static_cast<char>(v2[i] ^ 0x5A);
  const std::wstring kLastModified = L"Sun, 06 Nov 1994 08:49:37 GMT";
  auto version = [](const std::string& body, std::vector<std::pair<std::wstring, std::wstring>> headers) {
    Answer a{200, body};
    a.headers = std::move(headers);
    return a;
  };
  auto broken = [](Answer a, std::int64_t at) {
    a.breakAfter = at;
    return a;
  };
  auto partial = [](const std::string& body, std::int64_t from, const std::wstring& range,
                    std::vector<std::pair<std::wstring, std::wstring>> headers) {
    Answer a{206, body.substr(static_cast<std::size_t>(from))};
    a.honourRange = false;
    a.headers = std::move(headers);
    a.headers.emplace_back(L"Content-Range", range);
    return a;
  };
  const Answer a1 = version(v1, {{L"ETag", L"\"a\""}});
  const Answer b1 = version(v2, {{L"ETag", L"\"b\""}});
  Answer b1IgnoresIfRange = b1;
  b1IgnoresIfRange.honourIfRange = false;
  const Answer dated = version(v1, {{L"Last-Modified", kLastModified}, {L"Date", L"Mon, 07 Nov 1994 08:49:37 GMT"}});
  const Answer sameSecond = version(v1, {{L"Last-Modified", kLastModified}, {L"Date", kLastModified}});
  const Answer weak = version(v1, {{L"ETag", L"W/\"a\""},
                                   {L"Last-Modified", kLastModified},
                                   {L"Date", L"Mon, 07 Nov 1994 08:49:37 GMT"}});
  const Answer plain = version(v1, {});
  Answer longer = a1;
  longer.lengthShift = -10;  // announces 10 bytes fewer than it sends
  Answer shorter = a1;
  shorter.lengthShift = 10;  // announces 10 bytes more, then ends without an error
  Answer noLength = plain;
  noLength.announceLength = false;
  Answer noLengthUnbroken = noLength;
  noLengthUnbroken.breakAfter = -1;
  const Answer fromZero = partial(v1, 0, L"bytes 0-299999/300000", {{L"ETag", L"\"a\""}});
  const Answer wrongTotal = partial(v1, 100000, L"bytes 100000-299999/400000", {{L"ETag", L"\"a\""}});
  const Answer unknownTotal = partial(v1, 100000, L"bytes 100000-299999/*", {{L"ETag", L"\"a\""}});
  Answer wrongLength = partial(v1, 100000, L"bytes 100000-299999/300000", {{L"ETag", L"\"a\""}});
  wrongLength.lengthShift = 1;
  const Answer otherTag = partial(v2, 100000, L"bytes 100000-299999/300000", {{L"ETag", L"\"b\""}});
  Answer firstIsPartial = partial(v1, 0, L"bytes 0-299999/300000", {{L"ETag", L"\"a\""}});

  const std::int64_t ok = 200, failed = net::kDownloadFailed;
  const ResumeCase cases[] = {
      {"strong ETag: resumed with If-Range", {broken(a1, 100000), a1}, ok, &v1, {0, 100000}, L"\"a\""},
      {"Last-Modified a day before Date: resumed with it", {broken(dated, 100000), dated}, ok, &v1, {0, 100000},
       kLastModified},
      {"Last-Modified in the second of Date is weak: started again", {broken(sameSecond, 100000), sameSecond}, ok,
       &v1, {0, 0}, L""},
      {"weak ETag, even beside a strong date: started again", {broken(weak, 100000), weak}, ok, &v1, {0, 0}, L""},
      {"no validator: started again", {broken(plain, 100000), plain}, ok, &v1, {0, 0}, L""},
      {"changed on the server: its 200 replaces the part", {broken(a1, 100000), b1}, ok, &v2, {0, 100000}, L"\"a\""},
      {"changed, If-Range ignored: the other tag's 206 is refused", {broken(a1, 100000), b1IgnoresIfRange, b1}, ok,
       &v2, {0, 100000, 0}, L"\"a\""},
      {"206 with another ETag", {broken(a1, 100000), otherTag, a1}, ok, &v1, {0, 100000, 0}, L"\"a\""},
      {"206 from byte 0 instead of the offset", {broken(a1, 100000), fromZero, a1}, ok, &v1, {0, 100000, 0}, L"\"a\""},
      {"206 with another total", {broken(a1, 100000), wrongTotal, a1}, ok, &v1, {0, 100000, 0}, L"\"a\""},
      {"206 with an unknown total", {broken(a1, 100000), unknownTotal, a1}, ok, &v1, {0, 100000, 0}, L"\"a\""},
      {"206 whose length disagrees with its range", {broken(a1, 100000), wrongLength, a1}, ok, &v1, {0, 100000, 0},
       L"\"a\""},
      {"206 to a request without a range", {firstIsPartial}, failed, nullptr, {0}, L""},
      {"more bytes than announced: started again", {longer, a1}, ok, &v1, {0, 0}, L""},
      {"more bytes than announced on every attempt", {longer}, failed, nullptr, {0, 0, 0, 0}, L""},
      {"fewer bytes than announced on every attempt", {shorter}, failed, nullptr, {0, 300000, 300000, 300000},
       L"\"a\""},
      {"refused on every resume", {broken(a1, 100000), fromZero, broken(a1, 100000), fromZero}, failed, nullptr,
       {0, 100000, 0, 100000}, L"\"a\""},
      {"no length: a break is not resumed", {broken(noLength, 100000), noLengthUnbroken}, ok, &v1, {0, 0}, L""},
  };
  for (const auto& c : cases) {
    http_->Reset();
    http_->SetAnswers(L"/files/p.zip", c.answers);
    const auto file = dir_ / "p.zip";
    const Download d = Run(file);
    EXPECT_EQ(d.code, c.code) << c.name;
    if (c.content) {
      EXPECT_TRUE(ReadAll(file) == *c.content) << c.name;
      ASSERT_FALSE(d.works.empty()) << c.name;
      EXPECT_EQ(d.works.back(), static_cast<std::int64_t>(c.content->size())) << c.name;
    } else {
      EXPECT_FALSE(fs::exists(file)) << c.name;
    }
    std::vector<std::int64_t> ranges;
    for (const auto& r : http_->Requests()) ranges.push_back(r.rangeFrom);
    EXPECT_EQ(ranges, c.ranges) << c.name;
    const auto requests = http_->Requests();
    if (requests.size() > 1) {
      EXPECT_EQ(requests[1].ifRange, c.resumeValidator) << c.name;
    }
  }
}

TEST_F(DownThreadTest, AServerThatIgnoresTheRangeIsReadFromTheStartAgain) {
  const std::string body = Pattern(200000);
  net::fake::Answer first{200, body};
  first.breakAfter = 150000;
  net::fake::Answer whole{200, body};
  whole.honourRange = false;
  http_->SetAnswers(L"/files/p.zip", {first, whole});
  const auto file = dir_ / "p.zip";
  const Download d = Run(file);
  EXPECT_EQ(d.code, 200);
  EXPECT_EQ(ReadAll(file), body);
}

TEST_F(DownThreadTest, GivesUpAfterThreeResumes) {
  const std::string body = Pattern(100000);
  net::fake::Answer breaks{200, body};
  breaks.breakAfter = 10;  // before the range shift; each resume breaks at once
  http_->SetAnswer(L"/files/p.zip", breaks);
  const Download d = Run(dir_ / "p.zip");
  EXPECT_EQ(d.code, net::kDownloadFailed);
  EXPECT_EQ(http_->Requests().size(), 1u + net::TDownThread::kResumeAttempts);
}

TEST_F(DownThreadTest, NoAnnouncedLengthAnnouncesZeroAndSucceeds) {
  net::fake::Answer a{200, Pattern(70000)};
  a.announceLength = false;
  http_->SetAnswer(L"/files/p.zip", a);
  const auto file = dir_ / "p.zip";
  const Download d = Run(file);
  EXPECT_EQ(d.code, 200);
  EXPECT_EQ(d.begins, std::vector<std::int64_t>{0});
  EXPECT_EQ(fs::file_size(file), 70000u);
}

TEST_F(DownThreadTest, EmptyBodyLeavesAnEmptyFileAndTruncatesAnOldOne) {
  const auto file = dir_ / "p.zip";
  std::ofstream(file, std::ios::binary) << std::string(5000, 'x');
  http_->SetAnswer(L"/files/p.zip", {200, ""});
  const Download d = Run(file);
  EXPECT_EQ(d.code, 200);
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(fs::file_size(file), 0u);
  EXPECT_EQ(d.begins, std::vector<std::int64_t>{0});
}

TEST_F(DownThreadTest, CreatesMissingFolders) {
  http_->SetAnswer(L"/files/p.zip", {200, "zip"});
  const auto file = dir_ / "a" / "b" / "c" / "p.zip";
  const Download d = Run(file);
  EXPECT_EQ(d.code, 200);
  EXPECT_EQ(ReadAll(file), "zip");
}

TEST_F(DownThreadTest, AFileThatCannotBeCreatedFailsWithoutARequest) {
  http_->SetAnswer(L"/files/p.zip", {200, "zip"});
  std::ofstream(dir_ / "plain") << "a file, not a folder";
  const Download d = Run(dir_ / "plain" / "p.zip");
  EXPECT_EQ(d.code, net::kDownloadFailed);
  EXPECT_TRUE(d.begins.empty());
  EXPECT_TRUE(http_->Requests().empty());
}

}  // namespace
