// Files embedded in the executable as resources of type "file" (the product configuration, the
// skin images, optionally the product package). Names and types compare without regard to case.
// The Windows build reads its own module's resources; the host build links the same files as a
// table of named blobs generated from the product folder.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

bool ResourceExists(std::wstring_view name, std::wstring_view type);

// The resource's bytes; empty when it is missing.
std::vector<std::uint8_t> LoadResourceBytes(std::wstring_view name, std::wstring_view type);

// The resource as UTF-8 text (a leading byte-order mark skipped), its lines joined with CR LF and
// a CR LF after the last one. Raises common::EGeneralError "Resource <name> not found".
std::wstring LoadResourceText(std::wstring_view name, std::wstring_view type);

// Replaces destination with the resource's bytes; true when a file exists there afterwards.
// Raises common::EGeneralError "Resource <name> not found" for a missing resource, and an error
// naming the file when it cannot be created or written.
bool ExtractResourceToFile(std::wstring_view name, std::wstring_view type, std::wstring_view destination);

// Text of UTF-8 bytes as LoadResourceText gives it.
std::wstring ResourceTextFromBytes(std::span<const std::uint8_t> bytes);

}  // namespace sys
