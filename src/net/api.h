// TAPI: the client of the maker's API server. It carries the identity that every request repeats
// (product, version, source, keyword id, device code), parses the server's JSON envelope, asks
// where the package can be downloaded and sends the install and uninstall reports.
#pragma once

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace net {

class HttpTransport;

// The API server's base URL that this installer was built with (CMake INSTALLER_API_BASE_URL, or
// the executable's own API_BASE_URL); defined in a generated source, see cmake/ApiBaseUrl.cmake.
std::wstring DefaultApiBaseUrl();

// The device code of a GUID in its braced text form ("{8-4-4-4-12}", upper-case hex): its 32 hex
// digits followed by the first two lower-case hex digits of the MD5 of the 38 characters.
std::wstring DeviceCodeFromGuidText(std::wstring_view guidText);

// What the download lookup learnt: the members of the accepted answer's "data", each read as text
// (empty when absent).
struct DownloadInfo {
  std::wstring url;
  std::wstring version;  // "ver"
  std::wstring sha256;   // the package's SHA-256 in hex, when the server announces it
  std::wstring sig;      // the maker's signature of the package, when the server has one
};

class TAPI {
 public:
  // Keeps the identity that every request repeats; touches nothing else. Requests go through
  // transport. deviceCode is the one getGlobalGUID gives. baseUrl is the server's base URL,
  // without a trailing "/".
  TAPI(std::shared_ptr<HttpTransport> transport, std::wstring fromSource, std::wstring softId, std::wstring currVer, std::wstring keywordId,
       std::wstring deviceCode, std::wstring baseUrl = DefaultApiBaseUrl());

  // The device code of this user for the product softId: HKCU "SOFTWARE\vornhalt" value "guid",
  // else the product's key's "guid", else a new code written under the maker's key. A code that
  // cannot be written is still used.
  static std::wstring getGlobalGUID(std::wstring_view softId);

  // Parses an answer body: false for an empty body or one that does not begin with a complete JSON
  // value (text after it is ignored). Otherwise jsData is the member "data" (null when absent) and
  // retCode the member "code" as an integer (a decimal string counts; anything else gives 0).
  static bool getJsonObject(const std::wstring& strData, nlohmann::json& jsData, int& retCode);

  // The download lookup (blocking). Its answer when the server accepted it; its version then
  // becomes the version of later reports. Nothing, and the version left as it is, otherwise.
  std::optional<DownloadInfo> GetSoftDownloadInfo();

  void ReportPreInstall();                                       // on a worker
  void ReportInstall();                                          // on a worker
  void ReportInstallFail(const std::wstring& reason, int errCode);  // blocking
  void ReportEvent(const std::wstring& eventName, bool byThread);
  void ReportInstallEnd();                                       // "install_end", blocking
  // On a worker, with localVersion as curr_ver; an empty version raises EGeneralError
  // "curr version=null" and sends nothing.
  void ReportUninstall(const std::wstring& localVersion);

  const std::wstring& SoftId() const { return FSoftId; }
  const std::wstring& CurrVer() const { return FCurrVer; }
  const std::wstring& KeywordID() const { return FKeywordID; }
  const std::wstring& FromSource() const { return FFromSource; }
  const std::wstring& Guid() const { return FGuid; }
  // Whether a package may be downloaded from url: an API server reached over https must name an
  // https package too, or a network attacker could swap the package it vouches for.
  bool AllowsPackageUrl(const std::wstring& url) const;

 private:
  // soft_id, curr_ver (the given version), source and device_code, each "k=v" joined by "&".
  std::wstring IdentityParams(const std::wstring& version) const;
  std::wstring Endpoint(std::wstring_view path) const;

  std::wstring FSoftId;
  std::wstring FCurrVer;
  std::wstring FKeywordID;
  std::wstring FFromSource;
  std::wstring FGuid;
  std::shared_ptr<HttpTransport> transport_;
  std::wstring baseUrl_;
};

}  // namespace net
