// The run's folder on the host: mode 0700, held by an exclusive lock on an open descriptor of the
// folder, which a killed run's descriptor releases; removal opens folders without following links.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "system/files.h"
#include "system/file_io_posix.h"
#include "system/files_platform.h"
#include "system/run_folder.h"

namespace sys {

namespace {

// The folder opened and locked; nothing open when it is a link or locked by a running instance.
OpenHandle OpenAndLock(const std::wstring& path) {
  OpenHandle folder(::open(platform::NativePath(path).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (folder && ::flock(static_cast<int>(folder.Get()), LOCK_EX | LOCK_NB) != 0) folder.Close();
  return folder;
}

}  // namespace

struct RunFolder::Hold {
  OpenHandle folder;
};

RunFolder::HoldPtr RunFolder::HoldNewFolder(const std::wstring& path) {
  if (!platform::CreatePrivateFolder(path)) return nullptr;
  OpenHandle folder = OpenAndLock(path);
  return folder ? HoldPtr(new Hold{std::move(folder)}) : nullptr;
}

void RunFolder::HoldDeleter::operator()(Hold* hold) const { delete hold; }

RunFolder::~RunFolder() {
  if (!hold_) return;
  DeleteFiles(path_);
  RemoveFolder(path_);
}

bool RunFolder::RemoveIfAbandoned(const std::wstring& path) {
  const OpenHandle folder = OpenAndLock(path);
  if (!folder) return false;
  DeleteFiles(path);
  RemoveFolder(path);
  return !DirectoryExists(path);
}

}  // namespace sys
