// Folder access on the host, in the Windows terms of the rule: root stands for SYSTEM, any other
// owner for a user; write permission for group or others is users' add and delete-child rights,
// the sticky bit (as on /tmp) taking delete-child away.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "common/strings.h"
#include "common/text.h"
#include "system/file_io_posix.h"
#include "system/folder_access.h"

namespace sys {

namespace {

constexpr wchar_t kSystem[] = L"S-1-5-18";
constexpr wchar_t kEveryone[] = L"S-1-1-0";
constexpr std::uint32_t kFullControl = 0x1F01FF;
constexpr std::uint32_t kReadAndExecute = 0x1200A9;
constexpr std::uint32_t kAddEntries = 0x2 | 0x4;
constexpr std::uint32_t kDeleteChild = 0x40;

}  // namespace

std::optional<FolderAccess> ReadFolderAccess(const std::wstring& folder) {
  // From the folder itself: a link is not followed.
  struct stat info {};
  if (::lstat(platform::NativePath(folder).c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return std::nullopt;
  FolderAccess access;
  access.owner = info.st_uid == 0 ? kSystem : L"S-1-5-21-0-0-0-" + common::DecimalText(info.st_uid);
  access.entries.push_back({access.owner, true, false, kFullControl});
  std::uint32_t others = (info.st_mode & (S_IROTH | S_IXOTH)) != 0 ? kReadAndExecute : 0;
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) others |= kAddEntries | ((info.st_mode & S_ISVTX) != 0 ? 0 : kDeleteChild);
  if (others != 0) access.entries.push_back({kEveryone, true, false, others});
  return access;
}

bool ProtectServiceFolder(const std::wstring& folder) {
  const int fd = ::open(platform::NativePath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  const bool done = ::fchown(fd, 0, 0) == 0 && ::fchmod(fd, 0755) == 0;
  ::close(fd);
  return done;
}

std::wstring GetProgramFilesDir() {
  const char* folder = std::getenv("PROGRAMFILES");
  return folder != nullptr && *folder != '\0' ? common::Utf8ToWide(folder) : L"/opt";
}

std::vector<std::wstring> GetProgramFilesDirs() { return {GetProgramFilesDir()}; }

}  // namespace sys
