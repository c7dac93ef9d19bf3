// One HTTP GET as a stream: the final status and announced length once the headers are in, then
// the body piece by piece. The API requests (http_utils.h) read it into memory, the download
// worker (down_thread.h) into a file. Both go through the transport they are given: the program
// gives them WinHTTP with the system's proxy settings and certificate checks
// (SystemHttpTransport); host tests give them a scripted fake (http_fake.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace net {

inline constexpr long kReadFailed = -1;    // the transfer broke (connection closed, protocol error)
inline constexpr long kReadTimedOut = -2;  // no data within the receive timeout

class HttpStream {
 public:
  virtual ~HttpStream() = default;
  // Final status after redirects.
  virtual int Status() const = 0;
  // Body length the server announced; -1 when it announced none.
  virtual std::int64_t ContentLength() const = 0;
  // The value of a response header of the final answer (name in any letter case); empty when
  // it is absent.
  virtual std::wstring Header(const std::wstring& name) const = 0;
  // Up to size bytes of the body; 0 at its end, kReadFailed or kReadTimedOut.
  virtual long Read(std::uint8_t* buffer, std::size_t size) = 0;
};

struct HttpGetOptions {
  int connectTimeoutMs = 5000;
  int receiveTimeoutMs = 30000;
  bool acceptJson = false;        // sends "Accept: application/json"
  std::int64_t rangeFrom = 0;     // > 0: asks for the body from this byte on ("Range: bytes=N-")
  std::wstring ifRange;           // with rangeFrom: "If-Range" (the range only while this validator holds)
};

// The way to the servers. Called from several threads at once.
class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  // Sends GET to an absolute URL and follows redirects. A URL whose first five characters are
  // "https" in any letter case goes out over TLS. Null when no answer came: bad URL, name
  // resolution, refused or timed-out connection, TLS failure, broken response headers.
  virtual std::unique_ptr<HttpStream> OpenGet(const std::wstring& url, const HttpGetOptions& options) = 0;
};

// WinHTTP, one for the whole program. Windows build only.
std::shared_ptr<HttpTransport> SystemHttpTransport();

// True when url starts with "https" in any letter case.
bool UsesTls(const std::wstring& url);

}  // namespace net
