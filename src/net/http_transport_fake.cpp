// Host build's HTTP transport: answers come from the script that a test sets (http_fake.h).
#include <algorithm>
#include <cstring>
#include <cwctype>

#include "common/strings.h"
#include "net/http_fake.h"
#include "net/http_transport.h"

namespace net {
namespace fake {
namespace {

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

Answer Json(const std::string& body) {
  Answer a;
  a.body = body;
  return a;
}

void ScriptedTransport::SetAnswer(const std::wstring& path, const Answer& answer) { SetAnswers(path, {answer}); }

void ScriptedTransport::SetAnswers(const std::wstring& path, const std::vector<Answer>& answers) {
  std::lock_guard lock(mutex_);
  scripts_[path] = Script{answers, 0};
}

std::vector<Request> ScriptedTransport::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<Request> ScriptedTransport::RequestsTo(const std::wstring& path) const {
  std::vector<Request> all = Requests();
  std::erase_if(all, [&](const Request& r) { return r.Path() != path; });
  return all;
}

void ScriptedTransport::Reset() {
  std::lock_guard lock(mutex_);
  scripts_.clear();
  requests_.clear();
}

Answer ScriptedTransport::Take(const std::wstring& url, const HttpGetOptions& options) {
  std::lock_guard lock(mutex_);
  requests_.push_back(Request{url, options.acceptJson, options.rangeFrom,
                              options.rangeFrom > 0 ? options.ifRange : std::wstring(), options.connectTimeoutMs,
                              UsesTls(url), std::this_thread::get_id()});
  auto it = scripts_.find(PathOf(url));
  if (it == scripts_.end() || it->second.answers.empty()) {
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
      a_.headers.emplace_back(L"Content-Range", L"bytes " + common::DecimalText(from) + L"-" + common::DecimalText(size - 1) +
                                                     L"/" + common::DecimalText(size));
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

std::unique_ptr<HttpStream> fake::ScriptedTransport::OpenGet(const std::wstring& url, const HttpGetOptions& options) {
  Answer a = Take(url, options);
  if (a.unreachable) return nullptr;
  return std::make_unique<FakeStream>(std::move(a), options);
}

}  // namespace net
