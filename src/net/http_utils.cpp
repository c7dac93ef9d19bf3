// API requests over the HTTP transport.
#include "net/http_utils.h"

#include <cstdint>
#include <string>

#include "common/text.h"
#include "net/http_transport.h"
#include "system/gui_thread.h"

namespace net {

std::wstring BuildRequestUrl(std::wstring_view url, std::wstring_view params) {
  std::wstring target(url);
  if (target.find(L'?') == std::wstring::npos) target += L'?';
  if (!params.empty() && params.front() == L'&') params.remove_prefix(1);
  target += params;
  return target;
}

std::wstring EncodeQueryValue(std::wstring_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::wstring out;
  for (unsigned char c : common::WideToUtf8(value)) {
    const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                            c == '-' || c == '.' || c == '_' || c == '~';
    if (unreserved) {
      out += static_cast<wchar_t>(c);
    } else {
      out += L'%';
      out += static_cast<wchar_t>(kHex[c >> 4]);
      out += static_cast<wchar_t>(kHex[c & 15]);
    }
  }
  return out;
}

bool HttpRequest(HttpTransport& transport, const std::wstring& url, const std::wstring& params, int httpMethod,
                 int timeout, std::wstring& respData) {
  respData.clear();
  if (httpMethod != kMethodGet) return false;
  HttpGetOptions options;
  options.connectTimeoutMs = timeout;
  options.receiveTimeoutMs = kReceiveTimeoutMs;
  options.acceptJson = true;
  auto stream = transport.OpenGet(BuildRequestUrl(url, params), options);
  if (!stream) return false;
  const std::int64_t announced = stream->ContentLength();
  if (announced > static_cast<std::int64_t>(kMaxAnswerBytes)) return false;

  std::string body;
  std::uint8_t buffer[8192];
  for (;;) {
    const long n = stream->Read(buffer, sizeof buffer);
    if (n < 0) return false;
    if (n == 0) break;
    if (body.size() + static_cast<std::size_t>(n) > kMaxAnswerBytes) return false;
    body.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
  }
  if (announced >= 0 && static_cast<std::int64_t>(body.size()) < announced) return false;  // cut short
  const int status = stream->Status();
  if (status < 200 || status >= 300) return false;
  respData = common::Utf8ToWide(body);
  return true;
}

THttpThread::THttpThread(bool /*createSuspended*/, THttpData httpData, std::shared_ptr<HttpTransport> transport)
    : FHttpData(std::move(httpData)), transport_(std::move(transport)) {}

THttpThread::~THttpThread() = default;

void THttpThread::Execute() {
  try {
    FHttpSuccess =
        HttpRequest(*transport_, FHttpData.url, FHttpData.params, FHttpData.httpMethod, FHttpData.timeout, FRespData);
  } catch (...) {
    // A request that broke off is a failed one, and its waiter still hears of it.
    FHttpSuccess = false;
    FRespData.clear();
  }
  sys::RunOnGuiThread([this] {
    if (FOnFinish) FOnFinish(this, FRespData, FHttpSuccess);
  });
}

void StartHttpThread(std::shared_ptr<HttpTransport> transport, const std::wstring& url, const std::wstring& params,
                     int httpMethod, int timeout, TOnFinishEvent onFinish) {
  sys::InitGuiThread();
  auto* thread = new THttpThread(true, THttpData{url, params, httpMethod, timeout}, std::move(transport));
  thread->SetOnFinish(std::move(onFinish));
  thread->Resume();
}

bool HttpGet(const std::shared_ptr<HttpTransport>& transport, const std::wstring& url, const std::wstring& params,
             std::wstring& respData, bool byThread) {
  if (byThread) {
    StartHttpThread(transport, url, params, kMethodGet, kConnectTimeoutMs, nullptr);
    return true;
  }
  return HttpRequest(*transport, url, params, kMethodGet, kConnectTimeoutMs, respData);
}

}  // namespace net
