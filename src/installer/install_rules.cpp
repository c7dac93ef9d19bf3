#include "installer/install_rules.h"

#include <algorithm>
#include <cstdint>

#include "common/strings.h"
#include "installer/config_file.h"
#include "net/http_utils.h"

namespace installer {

int DownloadBarPosition(std::int64_t received, std::int64_t total) {
  if (total <= 0 || received <= 0) return 10;
  // received / (total / 100) would lose precision for small totals; received * 100 cannot
  // overflow for any length a disk can hold, but a hostile count is capped first.
  received = std::min(received, total);
  const std::int64_t percent =
      std::min<std::int64_t>(total > INT64_MAX / 100 ? received / (total / 100) : received * 100 / total, 100);
  // Integer arithmetic: 0.7 x percent in floating point falls short of whole values (0.7 x 70).
  return 10 + static_cast<int>(percent * 7 / 10);
}

int UnzipBarPosition(int percent) {
  percent = std::clamp(percent, 0, 100);
  return 80 + percent * 15 / 100;
}

bool IsAssociableExt(const std::wstring& ext) {
  return !ext.empty() && ext != L"." && ext.find(L'\\') == std::wstring::npos;
}

std::wstring FindInstallDrive(const FreeSpaceQuery& freeSpace) {
  for (wchar_t letter = L'C'; letter <= L'Z'; ++letter) {
    const std::wstring drive{letter, L':'};
    std::int64_t freeMB = 0;
    if (freeSpace(drive, freeMB) && freeMB > kReplacementMB) return drive;
  }
  return {};
}

namespace {

// "D:" of "D:\Programs\x"; empty for a path without a drive letter.
std::wstring DriveOf(const std::wstring& path) {
  if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
  return {};
}

}  // namespace

std::optional<std::wstring> ChooseInstallDir(const std::wstring& targetDir, const std::wstring& programDirName,
                                             const FreeSpaceQuery& freeSpace) {
  std::int64_t freeMB = 0;
  const std::wstring drive = DriveOf(targetDir);
  if (drive.empty() || !freeSpace(drive, freeMB) || freeMB >= kNeededMB) return targetDir;
  const std::wstring other = FindInstallDrive(freeSpace);
  if (other.empty()) return std::nullopt;
  return other + L"\\" + programDirName;
}

bool RunsAsSystem(const TConfigFile& config) { return config.RunAtStartup && config.StartupByService; }

std::wstring RunFolderPrefix(std::wstring_view softId) {
  constexpr std::size_t kMaxIdCharacters = 40;
  std::wstring prefix = L"inst-";
  std::size_t kept = 0;
  for (const wchar_t c : softId) {
    const bool safe = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' ||
                      c == L'_';
    if (safe && kept++ < kMaxIdCharacters) prefix += c;
  }
  return prefix + L"-";
}

std::wstring ExpandWebAddress(const std::wstring& address, const std::wstring& version,
                              const std::optional<std::wstring>& from) {
  // Both values come from outside the product (the server's answer, the installer's file name or
  // the user's registry), so they can only ever be one query value each.
  std::wstring result = common::ReplaceAll(address, L"[Version]", net::EncodeQueryValue(version), false);
  if (from) result = common::ReplaceAll(result, L"[from]", net::EncodeQueryValue(*from), false);
  return result;
}

}  // namespace installer
