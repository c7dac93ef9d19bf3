// Access to the development server (tools/devserver) that tools/devserver/with-devserver starts
// for a test: its base URL, its settings and its request log.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/strings.h"
#include "common/text.h"
#include "net/http_transport.h"
#include "net/http_utils.h"

namespace testsupport {

// http://127.0.0.1:PORT, or empty when the test was started without a server.
inline std::wstring DevServerUrl() {
  const char* url = std::getenv("DEVSERVER_URL");
  return url ? common::Utf8ToWide(url) : std::wstring();
}

// Sends a control command ("reset", "set", "log", "clear-log") and returns the answer's body.
inline std::wstring DevServerControl(const std::wstring& command, const std::wstring& params = L"") {
  std::wstring body;
  net::HttpRequest(*net::SystemHttpTransport(), DevServerUrl() + L"/_control/" + command, params, net::kMethodGet, 5000,
                   body);
  return body;
}

// The recorded requests, "PATH?QUERY" each, in order.
inline std::vector<std::wstring> DevServerLog() {
  std::vector<std::wstring> lines;
  common::SplitToList(lines, DevServerControl(L"log"), L'\n');
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

// Byte i of the server's generated bodies (/blob/<size>).
inline std::uint8_t BlobByte(std::uint64_t i) { return static_cast<std::uint8_t>((i * 131 + i / 65536) % 256); }

}  // namespace testsupport
