#include "zip/zip_path.h"

#include <algorithm>
#include <array>

namespace zip {
namespace {

// Windows opens these as devices in any folder and with any extension.
bool IsDeviceName(std::wstring_view segment) {
  std::wstring base(segment.substr(0, segment.find(L'.')));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (auto& c : base) c = (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
  static constexpr std::array<std::wstring_view, 6> kPlain = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  if (std::find(kPlain.begin(), kPlain.end(), base) != kPlain.end()) return true;
  // COM1 to COM9, and COM¹, COM², COM³, which Windows reads as devices too (the same for LPT).
  const bool digit = base.size() == 4 && ((base[3] >= L'0' && base[3] <= L'9') || base[3] == L'\u00B9' ||
                                          base[3] == L'\u00B2' || base[3] == L'\u00B3');
  return digit && (base.starts_with(L"COM") || base.starts_with(L"LPT"));
}

}  // namespace

bool SplitZipEntryPath(std::wstring_view name, std::vector<std::wstring>& segments) {
  segments.clear();
  if (name.empty() || name.front() == L'/' || name.front() == L'\\') return false;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of(L"/\\", start);
    if (end == std::wstring_view::npos) end = name.size();
    const std::wstring_view segment = name.substr(start, end - start);
    start = end + 1;
    if (segment.empty() || segment == L".") continue;
    if (segment == L"..") {
      if (segments.empty()) return false;
      segments.pop_back();
      continue;
    }
    if (std::any_of(segment.begin(), segment.end(), [](wchar_t c) { return c < 0x20 || c == L':'; })) return false;
    // Windows drops trailing dots and spaces, so "..." or ".. " would act as ".." there.
    if (segment.find_first_not_of(L". ") == std::wstring_view::npos) return false;
    if (IsDeviceName(segment)) return false;
    segments.emplace_back(segment);
  }
  return true;
}

}  // namespace zip
