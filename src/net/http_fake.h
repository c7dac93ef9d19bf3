// The host build's HTTP transport: a script that tests give to the code under test in place of
// WinHTTP. The test says what each URL path answers and reads back every request that was made,
// in order. Host build only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "net/http_transport.h"

namespace net::fake {

struct Answer {
  int status = 200;
  std::string body;               // bytes of the body
  bool unreachable = false;       // no answer at all: the request fails as if nobody listened
  bool announceLength = true;     // false: no Content-Length
  std::int64_t breakAfter = -1;   // >= 0: the body breaks off with an error after this many bytes
  bool stallAfterBreak = false;   // with breakAfter: the break is a receive timeout, not an error
  // A request with a range gets 206, the rest of the body and its Content-Range, unless it
  // carries an If-Range that differs from this answer's ETag (then the whole body with 200, as
  // HTTP asks) or honourIfRange is false.
  bool honourRange = true;
  bool honourIfRange = true;
  std::int64_t lengthShift = 0;   // the announced length is off by this much (the body is as it is)
  std::vector<std::pair<std::wstring, std::wstring>> headers{};  // further response headers, e.g. ETag
};

struct Request {
  std::wstring url;               // as sent, query included
  bool acceptJson = false;
  std::int64_t rangeFrom = 0;
  std::wstring ifRange;
  int connectTimeoutMs = 0;
  bool tls = false;
  std::thread::id thread;         // the thread that sent it

  std::wstring Path() const;      // the part after the host, before "?"
  std::wstring Query() const;     // the part after the first "?", empty when there is none
};

// A JSON answer with status 200.
Answer Json(const std::string& body);

// Safe to use from worker threads.
class ScriptedTransport final : public HttpTransport {
 public:
  // Every request to path (the URL's part after the host, without query) gets answer, until
  // changed. A list is used one answer per request, the last one repeating. Unscripted paths get a
  // 404 with an empty body.
  void SetAnswer(const std::wstring& path, const Answer& answer);
  void SetAnswers(const std::wstring& path, const std::vector<Answer>& answers);

  std::vector<Request> Requests() const;
  // Requests whose path is path, in order.
  std::vector<Request> RequestsTo(const std::wstring& path) const;

  // Forgets every answer and request.
  void Reset();

  std::unique_ptr<HttpStream> OpenGet(const std::wstring& url, const HttpGetOptions& options) override;

 private:
  struct Script {
    std::vector<Answer> answers;
    std::size_t next = 0;
  };
  // Records the request and takes its answer.
  Answer Take(const std::wstring& url, const HttpGetOptions& options);

  mutable std::mutex mutex_;
  std::map<std::wstring, Script> scripts_;
  std::vector<Request> requests_;
};

}  // namespace net::fake
