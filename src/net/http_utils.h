// GET requests to the API server: blocking on the calling thread, or fire-and-forget on a
// self-freeing worker whose completion is handed to the GUI thread.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "system/worker_thread.h"

namespace net {

class HttpTransport;

inline constexpr int kMethodGet = 1;
inline constexpr int kConnectTimeoutMs = 5000;
// A server that accepts the connection but sends nothing for this long ends the request (false).
inline constexpr int kReceiveTimeoutMs = 30000;
// The largest answer an API request accepts: its answers are small JSON envelopes, and a server
// (or anyone in its place) must not make the installer hold an unbounded body in memory.
inline constexpr std::size_t kMaxAnswerBytes = 1024 * 1024;

// One request: endpoint URL without query, parameters "k=v&k=v" with values already encoded.
struct THttpData {
  std::wstring url;
  std::wstring params;
  int httpMethod = kMethodGet;
  int timeout = kConnectTimeoutMs;
};

class THttpThread;
using TOnFinishEvent = std::function<void(THttpThread* sender, const std::wstring& respData, bool httpSuccess)>;

// Runs one request on its own thread, then hands its completion to the GUI thread (even when no
// callback is set), waits until that has run, and deletes itself.
class THttpThread : public sys::WorkerThread {
 public:
  // Always created suspended, whatever createSuspended says; Resume starts it. The request goes
  // through transport.
  THttpThread(bool createSuspended, THttpData httpData, std::shared_ptr<HttpTransport> transport);
  ~THttpThread() override;

  void SetOnFinish(TOnFinishEvent onFinish) { FOnFinish = std::move(onFinish); }

 protected:
  void Execute() override;

 private:
  THttpData FHttpData;
  std::shared_ptr<HttpTransport> transport_;
  std::wstring FRespData;
  bool FHttpSuccess = false;
  TOnFinishEvent FOnFinish;
};

// url + "?" (unless it holds one already) + params without a leading "&".
std::wstring BuildRequestUrl(std::wstring_view url, std::wstring_view params);

// A query value percent-encoded as UTF-8; unreserved characters (letters, digits, "-._~") stay.
std::wstring EncodeQueryValue(std::wstring_view value);

// Performs the request through transport on the calling thread. True only for a final 2xx status with the whole
// body received, at most kMaxAnswerBytes of it; respData is then the body decoded from UTF-8,
// otherwise empty. Only GET
// (httpMethod 1) is supported. timeout is the connect timeout in milliseconds.
bool HttpRequest(HttpTransport& transport, const std::wstring& url, const std::wstring& params, int httpMethod,
                 int timeout, std::wstring& respData);

// Starts a THttpThread for the request and returns at once, keeping no reference to it.
void StartHttpThread(std::shared_ptr<HttpTransport> transport, const std::wstring& url, const std::wstring& params,
                     int httpMethod, int timeout, TOnFinishEvent onFinish);

// The API client's entry point: a blocking GET, or (byThread) a fire-and-forget GET on a worker
// without callback, in which case the result is true at once and respData is left alone.
bool HttpGet(const std::shared_ptr<HttpTransport>& transport, const std::wstring& url, const std::wstring& params,
             std::wstring& respData, bool byThread);

}  // namespace net
