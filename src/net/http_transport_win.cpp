// HTTP GET on WinHTTP (synchronous mode): one session, connection and request per call.
#include <windows.h>
#include <winhttp.h>

#include <cwchar>
#include <string>
#include <utility>

#include "common/strings.h"
#include "net/http_transport.h"
#include "net/winhttp_setup.h"
#include "system/win_handle.h"

namespace net {
namespace {

constexpr DWORD kSocketTimedOut = 10060;  // WSAETIMEDOUT

using InternetHandle = sys::win::Internet;

// The version Windows really is: RtlGetVersion does not depend on the manifest.
const WinHttpSetup& Setup() {
  static const WinHttpSetup setup = [] {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    const auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    if (!rtlGetVersion || rtlGetVersion(&version) != 0) version.dwMajorVersion = version.dwMinorVersion = 0;
    return WinHttpSetupFor(version.dwMajorVersion, version.dwMinorVersion);
  }();
  return setup;
}

// Strings that WinHTTP allocated for a proxy configuration, freed with GlobalFree.
using GlobalText = sys::win::GlobalPointer<wchar_t>;

std::wstring TextOf(const GlobalText& text) { return text ? text.Get() : L""; }

struct ProxyChoice {
  DWORD access = WINHTTP_ACCESS_TYPE_DEFAULT_PROXY;
  std::wstring proxy;
  std::wstring bypass;
};

// Before Windows 8.1 WinHTTP does not read the user's proxy settings by itself: they are read
// here and resolved for url (a manual proxy and its bypass list, a PAC file, or WPAD). Without
// any, or when none can be resolved, WinHTTP's own default configuration applies.
ProxyChoice UserProxyFor(const std::wstring& url) {
  ProxyChoice choice;
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG ie{};
  if (!WinHttpGetIEProxyConfigForCurrentUser(&ie)) return choice;
  const GlobalText autoConfigUrl{ie.lpszAutoConfigUrl}, proxy{ie.lpszProxy}, bypass{ie.lpszProxyBypass};
  if (ie.fAutoDetect || autoConfigUrl) {
    WINHTTP_AUTOPROXY_OPTIONS options{};
    options.fAutoLogonIfChallenged = TRUE;
    if (ie.fAutoDetect) {
      options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
      options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (autoConfigUrl) {
      options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
      options.lpszAutoConfigUrl = autoConfigUrl.Get();
    }
    InternetHandle resolver(
        WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    WINHTTP_PROXY_INFO info{};
    if (resolver && WinHttpGetProxyForUrl(resolver.Get(), url.c_str(), &options, &info)) {
      const GlobalText chosen{info.lpszProxy}, chosenBypass{info.lpszProxyBypass};
      choice.access = info.dwAccessType;
      choice.proxy = TextOf(chosen);
      choice.bypass = TextOf(chosenBypass);
      return choice;
    }
  }
  if (proxy) {
    choice.access = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    choice.proxy = TextOf(proxy);
    choice.bypass = TextOf(bypass);
  }
  return choice;
}

// A session for one request to url, with the proxy the user's settings choose for it.
HINTERNET OpenSession(const std::wstring& url) {
  constexpr DWORD kAutomaticProxy = 4;  // WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY
  HINTERNET s = nullptr;
  if (Setup().automaticProxy) {
    s = WinHttpOpen(nullptr, kAutomaticProxy, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  } else {
    const ProxyChoice choice = UserProxyFor(url);
    if (choice.access == WINHTTP_ACCESS_TYPE_NAMED_PROXY && !choice.proxy.empty())
      s = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NAMED_PROXY, choice.proxy.c_str(),
                      choice.bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : choice.bypass.c_str(), 0);
    else if (choice.access == WINHTTP_ACCESS_TYPE_NO_PROXY)
      s = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  }
  if (!s) s = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  if (!s) return nullptr;
  if (Setup().enableTls12) {
    // Unknown to a Windows 7 without its TLS update: then the request goes out as before.
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 |
                      WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
    WinHttpSetOption(s, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
  }
  // Never from https to http (WinHTTP's default, stated so that it stays).
  DWORD redirects = WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP;
  WinHttpSetOption(s, WINHTTP_OPTION_REDIRECT_POLICY, &redirects, sizeof redirects);
  return s;
}

class WinHttpStream : public HttpStream {
 public:
  WinHttpStream(InternetHandle&& session, InternetHandle&& connection, InternetHandle&& request, int status,
                std::int64_t length)
      : status_(status), length_(length) {
    session_ = std::move(session);
    connection_ = std::move(connection);
    request_ = std::move(request);
  }

  int Status() const override { return status_; }
  std::int64_t ContentLength() const override { return length_; }
  std::wstring Header(const std::wstring& name) const override {
    DWORD size = 0;
    WinHttpQueryHeaders(request_.Get(), WINHTTP_QUERY_CUSTOM, name.c_str(), WINHTTP_NO_OUTPUT_BUFFER, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
    std::wstring value(size / sizeof(wchar_t), L'\0');
    if (!WinHttpQueryHeaders(request_.Get(), WINHTTP_QUERY_CUSTOM, name.c_str(), value.data(), &size,
                             WINHTTP_NO_HEADER_INDEX))
      return {};
    value.resize(size / sizeof(wchar_t));
    return value;
  }

  long Read(std::uint8_t* buffer, std::size_t size) override {
    DWORD got = 0;
    if (!WinHttpReadData(request_.Get(), buffer, static_cast<DWORD>(size), &got)) {
      // Wine reports the socket's own timeout code instead of WinHTTP's.
      const DWORD error = GetLastError();
      return (error == ERROR_WINHTTP_TIMEOUT || error == kSocketTimedOut) ? kReadTimedOut : kReadFailed;
    }
    return static_cast<long>(got);
  }

 private:
  // Closed in reverse order of opening.
  InternetHandle session_;
  InternetHandle connection_;
  InternetHandle request_;
  int status_;
  std::int64_t length_;
};

std::int64_t QueryContentLength(HINTERNET request) {
  wchar_t text[32];
  DWORD size = sizeof text;
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                           WINHTTP_NO_HEADER_INDEX))
    return -1;
  wchar_t* end = nullptr;
  long long n = std::wcstoll(text, &end, 10);
  return (end == text || n < 0) ? -1 : n;
}

class WinHttpTransport final : public HttpTransport {
 public:
  std::unique_ptr<HttpStream> OpenGet(const std::wstring& url, const HttpGetOptions& options) override;
};

}  // namespace

std::shared_ptr<HttpTransport> SystemHttpTransport() {
  static const std::shared_ptr<HttpTransport> transport = std::make_shared<WinHttpTransport>();
  return transport;
}

std::unique_ptr<HttpStream> WinHttpTransport::OpenGet(const std::wstring& url, const HttpGetOptions& options) {
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) || parts.dwHostNameLength == 0)
    return nullptr;
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring target(parts.lpszUrlPath, parts.dwUrlPathLength);
  target.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (target.empty()) target = L"/";
  const bool tls = UsesTls(url);

  InternetHandle session(OpenSession(url));
  if (!session) return nullptr;
  const int connectMs = options.connectTimeoutMs;
  WinHttpSetTimeouts(session.Get(), connectMs, connectMs, options.receiveTimeoutMs, options.receiveTimeoutMs);
  InternetHandle connection(WinHttpConnect(session.Get(), host.c_str(), parts.nPort, 0));
  if (!connection) return nullptr;
  InternetHandle request(WinHttpOpenRequest(connection.Get(), L"GET", target.c_str(), nullptr, WINHTTP_NO_REFERER,
                                            WINHTTP_DEFAULT_ACCEPT_TYPES, tls ? WINHTTP_FLAG_SECURE : 0));
  if (!request) return nullptr;

  std::wstring headers;
  if (options.acceptJson) headers += L"Accept: application/json\r\n";
  if (options.rangeFrom > 0) {
    headers += L"Range: bytes=" + common::DecimalText(options.rangeFrom) + L"-\r\n";
    if (!options.ifRange.empty()) headers += L"If-Range: " + options.ifRange + L"\r\n";
  }
  if (!WinHttpSendRequest(request.Get(), headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                          static_cast<DWORD>(headers.size()), WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(request.Get(), nullptr))
    return nullptr;

  DWORD status = 0;
  DWORD size = sizeof status;
  if (!WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
    return nullptr;
  const std::int64_t length = QueryContentLength(request.Get());
  return std::make_unique<WinHttpStream>(std::move(session), std::move(connection), std::move(request),
                                         static_cast<int>(status), length);
}

}  // namespace net
