// Parts of the HTTP transport that both builds share.
#include "net/http_transport.h"

#include <cwctype>

namespace net {

bool UsesTls(const std::wstring& url) {
  static constexpr wchar_t kScheme[] = L"https";
  if (url.size() < 5) return false;
  for (std::size_t i = 0; i < 5; ++i)
    if (std::towlower(url[i]) != static_cast<std::wint_t>(kScheme[i])) return false;
  return true;
}

}  // namespace net
