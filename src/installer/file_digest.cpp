#include "installer/file_digest.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "common/crypto.h"
#include "common/hex.h"
#include "common/text.h"

namespace installer {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File OpenForReading(const std::wstring& path) {
#ifdef _WIN32
  return File(_wfopen(path.c_str(), L"rb"));
#else
  return File(std::fopen(common::WideToUtf8(path).c_str(), "rb"));
#endif
}

std::optional<crypto::Bytes> FileSha256(const std::wstring& path) {
  File file = OpenForReading(path);
  if (!file) return std::nullopt;
  crypto::Sha256 digest;
  std::vector<std::uint8_t> buffer(256 * 1024);
  std::size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0) {
    digest.Update(crypto::ByteSpan(buffer.data(), got));
  }
  if (std::ferror(file.get())) return std::nullopt;
  return digest.Final();
}

}  // namespace

std::wstring FileSha256Hex(const std::wstring& path) {
  const std::optional<crypto::Bytes> digest = FileSha256(path);
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

bool PackageFileMatches(const std::wstring& path, const std::wstring& expectedSha256Hex, const std::wstring& packageKey,
                        const std::wstring& signatureHex) {
  if (expectedSha256Hex.empty() && packageKey.empty()) return true;
  const std::optional<crypto::Bytes> digest = FileSha256(path);
  return digest && PackageDigestMatches(*digest, expectedSha256Hex, packageKey, signatureHex);
}

}  // namespace installer
