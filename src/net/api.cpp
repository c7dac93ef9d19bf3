// API client: device code, answer envelope, download lookup and reports.
#include "net/api.h"

#include <climits>
#include <cstdint>
#include <utility>

#include "common/crypto.h"
#include "common/json.h"
#include "common/strings.h"
#include "common/text.h"
#include "net/guid.h"
#include "net/http_transport.h"
#include "net/http_utils.h"
#include "system/registry_strings.h"

namespace net {
namespace {

constexpr wchar_t kMakerKey[] = L"SOFTWARE\\vornhalt";
constexpr wchar_t kGuidValue[] = L"guid";

int ClampToInt(long long v) { return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v); }

// A string holding a decimal integer (optional sign, at least one digit, nothing else).
int DecimalOrZero(const std::string& s) {
  std::size_t i = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
  if (i == s.size()) return 0;
  long long v = 0;
  for (std::size_t k = i; k < s.size(); ++k) {
    if (s[k] < '0' || s[k] > '9') return 0;
    if (v < LLONG_MAX / 10) v = v * 10 + (s[k] - '0');
  }
  return ClampToInt(s[0] == '-' ? -v : v);
}

int CodeOf(const nlohmann::json& code) {
  if (code.is_number_integer() && code.is_number_unsigned())
    return ClampToInt(static_cast<long long>(std::min<std::uint64_t>(code.get<std::uint64_t>(), LLONG_MAX)));
  if (code.is_number_integer()) return ClampToInt(code.get<long long>());
  if (code.is_number_float()) {
    const double d = code.get<double>();
    return d < INT_MIN ? INT_MIN : d > INT_MAX ? INT_MAX : static_cast<int>(d);
  }
  if (code.is_string()) return DecimalOrZero(code.get<std::string>());
  return 0;
}

// A member of an object read as text: strings as they are, numbers and Booleans in their JSON
// spelling, anything else (or no such member) empty.
std::wstring TextMember(const nlohmann::json& object, const char* name) {
  if (!object.is_object()) return {};
  const auto it = object.find(name);
  if (it == object.end()) return {};
  if (it->is_string()) return common::Utf8ToWide(it->get<std::string>());
  if (it->is_number() || it->is_boolean()) return common::Utf8ToWide(it->dump());
  return {};
}

std::wstring Param(std::wstring_view name, std::wstring_view value) {
  std::wstring p(name);
  p += L'=';
  p += EncodeQueryValue(value);
  return p;
}

}  // namespace

std::wstring DeviceCodeFromGuidText(std::wstring_view guidText) {
  const std::string ascii = common::WideToUtf8(guidText);
  const crypto::Bytes digest = crypto::Md5({reinterpret_cast<const std::uint8_t*>(ascii.data()), ascii.size()});
  static constexpr wchar_t kHex[] = L"0123456789abcdef";
  std::wstring code(guidText);
  if (!digest.empty()) {
    code += kHex[digest[0] >> 4];
    code += kHex[digest[0] & 15];
  }
  std::erase_if(code, [](wchar_t c) { return c == L'{' || c == L'}' || c == L'-'; });
  return code;
}

TAPI::TAPI(std::shared_ptr<HttpTransport> transport, std::wstring fromSource, std::wstring softId,
           std::wstring currVer, std::wstring keywordId, std::wstring deviceCode, std::wstring baseUrl)
    : FSoftId(std::move(softId)),
      FCurrVer(std::move(currVer)),
      FKeywordID(std::move(keywordId)),
      FFromSource(std::move(fromSource)),
      FGuid(std::move(deviceCode)),
      transport_(std::move(transport)),
      baseUrl_(std::move(baseUrl)) {}

std::wstring TAPI::getGlobalGUID(std::wstring_view softId) {
  using sys::RegRoot;
  std::wstring code = sys::ReadRegStringQuiet(RegRoot::CurrentUser, kMakerKey, kGuidValue);
  if (code.empty()) {
    code = sys::ReadRegStringQuiet(RegRoot::CurrentUser, L"SOFTWARE\\" + std::wstring(softId), kGuidValue);
  }
  if (!code.empty()) return code;
  code = DeviceCodeFromGuidText(NewGuidText());
  try {
    sys::WriteRegString(RegRoot::CurrentUser, kMakerKey, kGuidValue, code);
  } catch (const common::EGeneralError&) {
    // Not stored: this run still identifies itself with the new code.
  }
  return code;
}

bool TAPI::getJsonObject(const std::wstring& strData, nlohmann::json& jsData, int& retCode) {
  if (strData.empty()) return false;
  // Whatever follows the first complete value is left unread.
  std::optional<nlohmann::json> parsed = common::ParseJson(common::WideToUtf8(strData), common::JsonTrailing::kIgnored);
  if (!parsed) return false;
  nlohmann::json& document = *parsed;
  const bool isObject = document.is_object();
  // Moved, not copied: the answer may be as large as a response may be.
  jsData = isObject && document.contains("data") ? std::move(document["data"]) : nlohmann::json();
  retCode = isObject && document.contains("code") ? CodeOf(document["code"]) : 0;
  return true;
}

bool TAPI::AllowsPackageUrl(const std::wstring& url) const {
  // The scheme itself, not only the first five letters that choose TLS for a request.
  auto https = [](const std::wstring& u) { return UsesTls(u) && u.compare(5, 3, L"://") == 0; };
  return !https(baseUrl_) || https(url);
}

std::wstring TAPI::Endpoint(std::wstring_view path) const { return baseUrl_ + std::wstring(path); }

std::wstring TAPI::IdentityParams(const std::wstring& version) const {
  return Param(L"soft_id", FSoftId) + L'&' + Param(L"curr_ver", version) + L'&' + Param(L"source", FFromSource) +
         L'&' + Param(L"device_code", FGuid);
}

std::optional<DownloadInfo> TAPI::GetSoftDownloadInfo() {
  std::wstring body;
  if (!HttpGet(transport_, Endpoint(L"/api/config/soft_down"),
               Param(L"soft_id", FSoftId) + L'&' + Param(L"source", FFromSource), body, false))
    return std::nullopt;
  nlohmann::json data;
  int code = 0;
  if (!getJsonObject(body, data, code) || code != 0) return std::nullopt;
  DownloadInfo info{TextMember(data, "url"), TextMember(data, "ver"), TextMember(data, "sha256"),
                    TextMember(data, "sig")};
  FCurrVer = info.version;
  return info;
}

void TAPI::ReportPreInstall() {
  std::wstring unused;
  HttpGet(transport_, Endpoint(L"/api/report/preinstall"), IdentityParams(FCurrVer) + L'&' + Param(L"kid", FKeywordID),
          unused, true);
}

void TAPI::ReportInstall() {
  std::wstring unused;
  HttpGet(transport_, Endpoint(L"/api/report/install"), IdentityParams(FCurrVer) + L'&' + Param(L"kid", FKeywordID),
          unused, true);
}

void TAPI::ReportInstallFail(const std::wstring& reason, int errCode) {
  std::wstring unused;
  HttpGet(transport_, Endpoint(L"/api/report/install_fail"),
          IdentityParams(FCurrVer) + L'&' + Param(L"reason", reason) + L"&err=" + common::DecimalText(errCode) +
              L"&proc=&" + Param(L"kid", FKeywordID),
          unused, false);
}

void TAPI::ReportEvent(const std::wstring& eventName, bool byThread) {
  std::wstring unused;
  HttpGet(transport_, Endpoint(L"/api/report/event"),
          IdentityParams(FCurrVer) + L'&' + Param(L"event_id", eventName) + L'&' + Param(L"kid", FKeywordID), unused,
          byThread);
}

void TAPI::ReportInstallEnd() { ReportEvent(L"install_end", false); }

void TAPI::ReportUninstall(const std::wstring& localVersion) {
  if (localVersion.empty()) common::RaiseError(L"curr version=null");
  std::wstring unused;
  HttpGet(transport_, Endpoint(L"/api/report/uninstall"),
          IdentityParams(localVersion) + L'&' + Param(L"kid", FKeywordID), unused, true);
}

}  // namespace net
