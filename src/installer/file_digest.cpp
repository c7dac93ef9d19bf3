#include "installer/file_digest.h"

#include <algorithm>
#include <memory>
#include <span>
#include <vector>

#include "common/crypto.h"
#include "common/hex.h"
#include "system/run_folder.h"

namespace installer {

namespace {

constexpr std::size_t kReadSize = 256 * 1024;

std::optional<crypto::Bytes> FileSha256(sys::SealedFile& file) {
  crypto::Sha256 digest;
  std::vector<std::uint8_t> buffer(kReadSize);
  for (std::uint64_t offset = 0; offset < file.Size();) {
    const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), file.Size() - offset));
    if (!file.ReadAt(offset, std::span(buffer.data(), size))) return std::nullopt;
    digest.Update(crypto::ByteSpan(buffer.data(), size));
    offset += size;
  }
  return digest.Final();
}

}  // namespace

std::wstring FileSha256Hex(const std::wstring& path) {
  const std::unique_ptr<sys::SealedFile> file = sys::SealedFile::Open(path);
  const std::optional<crypto::Bytes> digest = file ? FileSha256(*file) : std::nullopt;
  return digest ? common::ToHex(*digest) : std::wstring();
}

std::optional<std::vector<std::uint8_t>> ParsePackageKey(std::wstring_view text) {
  std::optional<std::vector<std::uint8_t>> key = common::ParseHex(text, crypto::kEcdsaP256KeySize);
  if (!key || !crypto::IsEcdsaP256PublicKey(*key)) return std::nullopt;
  return key;
}

bool PackageDigestMatches(const std::vector<std::uint8_t>& sha256, const std::wstring& expectedSha256Hex,
                          const std::wstring& packageKey, const std::wstring& signatureHex) {
  if (!expectedSha256Hex.empty() && common::ParseHex(expectedSha256Hex, crypto::kSha256Size) != sha256) return false;
  if (packageKey.empty()) return true;
  const std::optional<crypto::Bytes> key = ParsePackageKey(packageKey);
  const std::optional<crypto::Bytes> signature = common::ParseHex(signatureHex, crypto::kEcdsaP256SignatureSize);
  return key && signature && crypto::VerifyEcdsaP256Sha256(*key, sha256, *signature);
}

bool PackageFileMatches(sys::SealedFile* file, const std::wstring& expectedSha256Hex, const std::wstring& packageKey,
                        const std::wstring& signatureHex) {
  if (expectedSha256Hex.empty() && packageKey.empty()) return true;
  const std::optional<crypto::Bytes> digest = file ? FileSha256(*file) : std::nullopt;
  return digest && PackageDigestMatches(*digest, expectedSha256Hex, packageKey, signatureHex);
}

}  // namespace installer
