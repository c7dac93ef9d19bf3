#include "system/folder_access.h"

#include <algorithm>

#include "system/files.h"

namespace sys {

namespace {

// Access mask bits of files and folders.
constexpr std::uint32_t kAddFile = 0x2;
constexpr std::uint32_t kAddSubfolder = 0x4;
constexpr std::uint32_t kDeleteChild = 0x40;
constexpr std::uint32_t kDelete = 0x10000;
constexpr std::uint32_t kWriteDac = 0x40000;
constexpr std::uint32_t kWriteOwner = 0x80000;
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;

constexpr std::uint32_t kChangesContent =
    kAddFile | kAddSubfolder | kDeleteChild | kWriteDac | kWriteOwner | kGenericAll | kGenericWrite;
constexpr std::uint32_t kRemovesItself = kDelete | kWriteDac | kWriteOwner | kGenericAll;
constexpr std::uint32_t kRemovesChildren = kDeleteChild | kGenericAll;

// Administrators, SYSTEM, TrustedInstaller.
bool IsTrusted(std::wstring_view sid) {
  return sid == L"S-1-5-32-544" || sid == L"S-1-5-18" ||
         sid == L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
}

// Whether anyone untrusted is granted any of mask on the folder itself (owners may always change
// the access list, so an untrusted owner is granted everything). Deny entries are not counted: a
// folder is judged by whom it lets in.
bool UsersGranted(const FolderAccess& folder, std::uint32_t mask) {
  if (!folder.hasList || !IsTrusted(folder.owner)) return true;
  return std::any_of(folder.entries.begin(), folder.entries.end(), [mask](const AccessEntry& entry) {
    return entry.allow && !entry.inheritOnly && !IsTrusted(entry.sid) && (entry.mask & mask) != 0;
  });
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

wchar_t AsciiUpper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c; }

// The same path as written, but for letter case and the kind of separator. Not sys::SameFolder:
// that resolves links, and a link of the user's to Program Files is no Program Files.
bool SamePathText(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
           return IsSeparator(x) ? IsSeparator(y) : AsciiUpper(x) == AsciiUpper(y);
         });
}

// "C:\..." or "\..." (the host's "/...").
bool IsAbsolute(std::wstring_view path) {
  return (path.size() >= 3 && path[1] == L':' && IsSeparator(path[2])) || (!path.empty() && IsSeparator(path[0]));
}

}  // namespace

bool UsersMayChangeContent(const FolderAccess& folder) { return UsersGranted(folder, kChangesContent); }

bool UsersMayRemove(const FolderAccess& folder, const FolderAccess& parent) {
  return UsersGranted(folder, kRemovesItself) || UsersGranted(parent, kRemovesChildren);
}

bool IsOutOfUsersReach(const std::wstring& installDir, const FolderLookup& lookup) {
  if (!IsAbsolute(installDir)) return false;
  // What is missing below the nearest existing folder is made by the installer, with its rights.
  std::wstring folder = ParentFolder(installDir);
  while (!folder.empty() && !lookup.exists(folder)) folder = ParentFolder(folder);
  if (folder.empty()) return false;
  if (lookup.isProgramFiles(folder)) return true;
  std::optional<FolderAccess> access = lookup.read(folder);
  if (!access || UsersMayChangeContent(*access)) return false;
  for (std::wstring parent = ParentFolder(folder); !parent.empty(); parent = ParentFolder(parent)) {
    if (lookup.isProgramFiles(parent)) return !UsersGranted(*access, kRemovesItself);
    std::optional<FolderAccess> parentAccess = lookup.read(parent);
    if (!parentAccess || UsersMayRemove(*access, *parentAccess)) return false;
    access = std::move(parentAccess);
  }
  return true;
}

bool IsOutOfUsersReach(const std::wstring& installDir) {
  const std::vector<std::wstring> programFiles = GetProgramFilesDirs();
  const auto isProgramFiles = [&programFiles](const std::wstring& folder) {
    return std::ranges::any_of(programFiles, [&folder](const std::wstring& p) { return SamePathText(folder, p); });
  };
  return IsOutOfUsersReach(
      installDir, {[](const std::wstring& folder) { return DirectoryExists(folder); }, ReadFolderAccess, isProgramFiles});
}

}  // namespace sys
