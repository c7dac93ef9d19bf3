#include "installer/file_digest.h"

#include <cstdio>
#include <cwctype>
#include <memory>
#include <vector>

#include "common/crypto.h"
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

std::wstring Hex(const crypto::Bytes& bytes) {
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring hex;
  for (std::uint8_t b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0xF];
  }
  return hex;
}

}  // namespace

std::wstring FileSha256Hex(const std::wstring& path) {
  File file = OpenForReading(path);
  if (!file) return std::wstring();
  crypto::Sha256 digest;
  std::vector<std::uint8_t> buffer(256 * 1024);
  std::size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0) {
    digest.Update(crypto::ByteSpan(buffer.data(), got));
  }
  if (std::ferror(file.get())) return std::wstring();
  return Hex(digest.Final());
}

bool FileSha256Matches(const std::wstring& path, const std::wstring& expectedHex) {
  if (expectedHex.size() != 64) return false;
  std::wstring expected;
  for (wchar_t c : expectedHex) {
    if (!std::iswxdigit(c)) return false;
    expected += static_cast<wchar_t>(std::towlower(c));
  }
  const std::wstring actual = FileSha256Hex(path);
  return !actual.empty() && actual == expected;
}

}  // namespace installer
