// A new random GUID from the platform's generator.
#pragma once

#include <string>

namespace net {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper-case hex, 38 characters; empty when the
// generator failed.
std::wstring NewGuidText();

}  // namespace net
