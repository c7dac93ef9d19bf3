// The one product that ships a companion program, which the install opens with the parameter
// "asso" once the product's files are in place. Both its identifier and the companion's file name
// are kept enciphered in the executable.
#pragma once

#include <optional>
#include <string>

namespace installer {

// The companion's file name, relative to the install folder, for that product; nothing for any
// other product.
std::optional<std::wstring> CompanionFileFor(const std::wstring& softId);

}  // namespace installer
