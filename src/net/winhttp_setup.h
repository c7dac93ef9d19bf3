// What a WinHTTP session needs on each Windows version: Windows 7 and 8.0 offer neither the
// automatic proxy mode nor TLS 1.1 and 1.2 by default; Windows 8.1 and later do both.
#pragma once

namespace net {

struct WinHttpSetup {
  // WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY follows the user's proxy settings. Without it the user's
  // Internet settings are read and resolved for each request (manual proxy, PAC file, WPAD).
  bool automaticProxy = false;
  // WINHTTP_OPTION_SECURE_PROTOCOLS must ask for TLS 1.0, 1.1 and 1.2 explicitly.
  bool enableTls12 = false;
};

// By the version Windows reports (major.minor; 6.1 is Windows 7, 6.2 is 8.0, 6.3 is 8.1).
WinHttpSetup WinHttpSetupFor(unsigned major, unsigned minor);

}  // namespace net
