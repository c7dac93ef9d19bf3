// Host build's HTTP transport: answers come from the script that tests set through http_fake.h.
#include <algorithm>
#include <cstring>
#include <cwctype>
#include <map>
#include <mutex>

#include "net/http_fake.h"
#include "net/http_transport.h"

namespace net {
namespace fake {
namespace {

struct Script {
  std::vector<Answer> answers;
  std::size_t next = 0;
};

std::mutex g_mutex;
std::map<std::wstring, Script> g_scripts;
std::vector<Request> g_requests;

std::wstring PathOf(const std::wstring& url) {
  std::size_t start = url.find(L"://");
  start = (start == std::wstring::npos) ? 0 : url.find(L'/', start + 3);
  if (start == std::wstring::npos) return L"/";
  return url.substr(start, url.find(L'?', start) - start);
}

}  // namespace

std::wstring Request::Path() const { return PathOf(url); }

std::wstring Request::Query() const {
  const std::size_t q = url.find(L'?');
  return q == std::wstring::npos ? std::wstring() : url.substr(q + 1);
}

void SetAnswer(const std::wstring& path, const Answer& answer) { SetAnswers(path, {answer}); }

void SetAnswers(const std::wstring& path, const std::vector<Answer>& answers) {
  std::lock_guard lock(g_mutex);
  g_scripts[path] = Script{answers, 0};
}

Answer Json(const std::string& body) {
  Answer a;
  a.body = body;
  return a;
}

std::vector<Request> Requests() {
  std::lock_guard lock(g_mutex);
  return g_requests;
}

std::vector<Request> RequestsTo(const std::wstring& path) {
  std::vector<Request> all = Requests();
  std::erase_if(all, [&](const Request& r) { return r.Path() != path; });
  return all;
}

void Reset() {
  std::lock_guard lock(g_mutex);
  g_scripts.clear();
  g_requests.clear();
}

// Takes the answer for a request and records the request.
Answer Take(const std::wstring& url, const HttpGetOptions& options) {
  std::lock_guard lock(g_mutex);
  g_requests.push_back(Request{url, options.acceptJson, options.rangeFrom,
                               options.rangeFrom > 0 ? options.ifRange : std::wstring(), options.connectTimeoutMs,
                               UsesTls(url), std::this_thread::get_id()});
  auto it = g_scripts.find(PathOf(url));
  if (it == g_scripts.end() || it->second.answers.empty()) {
    Answer notFound;
    notFound.status = 404;
    return notFound;
  }
  Script& s = it->second;
  Answer a = s.answers[std::min(s.next, s.answers.size() - 1)];
  ++s.next;
  return a;
}

}  // namespace fake

namespace {

bool SameName(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return towlower(x) == towlower(y); });
}

class FakeStream : public HttpStream {
 public:
  FakeStream(fake::Answer answer, const HttpGetOptions& options) : a_(std::move(answer)) {
    const std::int64_t from = options.rangeFrom;
    const std::int64_t size = static_cast<std::int64_t>(a_.body.size());
    const bool validatorHolds = !a_.honourIfRange || options.ifRange.empty() || options.ifRange == Header(L"ETag");
    if (from > 0 && from < size && a_.honourRange && validatorHolds && a_.status == 200) {
      a_.status = 206;
      a_.headers.emplace_back(L"Content-Range", L"bytes " + std::to_wstring(from) + L"-" + std::to_wstring(size - 1) +
                                                     L"/" + std::to_wstring(size));
      a_.body.erase(0, static_cast<std::size_t>(from));
      if (a_.breakAfter >= 0) a_.breakAfter = std::max<std::int64_t>(0, a_.breakAfter - from);
    }
  }

  int Status() const override { return a_.status; }
  std::int64_t ContentLength() const override {
    return a_.announceLength ? static_cast<std::int64_t>(a_.body.size()) + a_.lengthShift : -1;
  }
  std::wstring Header(const std::wstring& name) const override {
    for (const auto& [n, v] : a_.headers)
      if (SameName(n, name)) return v;
    return {};
  }

  long Read(std::uint8_t* buffer, std::size_t size) override {
    std::size_t end = a_.body.size();
    if (a_.breakAfter >= 0) end = std::min<std::size_t>(end, static_cast<std::size_t>(a_.breakAfter));
    if (pos_ >= end) {
      if (end < a_.body.size()) return a_.stallAfterBreak ? kReadTimedOut : kReadFailed;
      return 0;
    }
    const std::size_t n = std::min(size, end - pos_);
    std::memcpy(buffer, a_.body.data() + pos_, n);
    pos_ += n;
    return static_cast<long>(n);
  }

 private:
  fake::Answer a_;
  std::size_t pos_ = 0;
};

}  // namespace

std::unique_ptr<HttpStream> OpenHttpGet(const std::wstring& url, const HttpGetOptions& options) {
  fake::Answer a = fake::Take(url, options);
  if (a.unreachable) return nullptr;
  return std::make_unique<FakeStream>(std::move(a), options);
}

}  // namespace net
