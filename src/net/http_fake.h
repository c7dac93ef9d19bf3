// Scripting interface of the host build's HTTP transport (http_transport_fake.cpp): tests say what
// each URL path answers and read back every request that was made, in order. Safe to use from
// worker threads. Host build only.
#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <utility>
#include <vector>

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

// Every request to path (the URL's part after the host, without query) gets answer, until
// changed. A list is used one answer per request, the last one repeating. Unscripted paths get a
// 404 with an empty body.
void SetAnswer(const std::wstring& path, const Answer& answer);
void SetAnswers(const std::wstring& path, const std::vector<Answer>& answers);

// A JSON answer with status 200.
Answer Json(const std::string& body);

std::vector<Request> Requests();
// Requests whose path is path, in order.
std::vector<Request> RequestsTo(const std::wstring& path);

// Forgets every answer and request.
void Reset();

}  // namespace net::fake
