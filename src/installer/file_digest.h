// Checks that a downloaded package is the one that was published: its SHA-256 digest against the
// digest that the server announced, and, when the product carries the maker's public key
// ("PackageKey"), the maker's ECDSA P-256 signature that the server passes on. The key travels
// inside the installer, so neither the API server nor the package server can forge the signature.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sys {
class SealedFile;
}

namespace installer {

// The file's SHA-256 digest as 64 lower-case hexadecimal digits; empty when it cannot be read.
std::wstring FileSha256Hex(const std::wstring& path);

// The maker's public key from its configuration text: exactly 128 hexadecimal digits (either
// letter case), X then Y of a point of P-256. nullopt for anything else, a point off the curve
// included.
std::optional<std::vector<std::uint8_t>> ParsePackageKey(std::wstring_view text);

// True when the package whose SHA-256 digest is sha256 is the published package:
// - expectedSha256Hex is empty, or sha256 equals it (64 hexadecimal digits, either case);
// - packageKey is empty, or signatureHex (128 hexadecimal digits, r then s) is a valid signature of
//   the package's bytes under that key.
// False when a value is malformed. The digest may come from any reading of the package, such as
// the one through which extraction then reads it.
bool PackageDigestMatches(const std::vector<std::uint8_t>& sha256, const std::wstring& expectedSha256Hex,
                          const std::wstring& packageKey, const std::wstring& signatureHex);

// PackageDigestMatches for the file's bytes. False when the file (null: it could not be opened)
// cannot be read; reads it once, through the same sealed file that extraction then reads, and not
// at all when there is nothing to check.
bool PackageFileMatches(sys::SealedFile* file, const std::wstring& expectedSha256Hex, const std::wstring& packageKey,
                        const std::wstring& signatureHex);

}  // namespace installer
