#include <windows.h>

#include <string>
#include <vector>

#include "system/files.h"
#include "system/private_folder_win.h"
#include "system/run_folder.h"
#include "system/win_handle.h"

namespace sys {

namespace {

win::FileHandle Open(const std::wstring& path, DWORD access, DWORD sharing) {
  return win::FileHandle(CreateFileW(path.c_str(), access, sharing, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Lets an emptied folder go and removes it. In between, a program of the user can at most put an
// empty folder or a link of its own there, which is removed instead: harmless.
void LetGoAndRemove(const std::wstring& path, win::FileHandle& hold) {
  hold.Reset();
  RemoveFolder(path);
}

}  // namespace

struct RunFolder::Hold {
  win::FileHandle folder;
};

RunFolder::HoldPtr RunFolder::HoldNewFolder(const std::wstring& path) {
  win::FileHandle folder = win::CreateHeldPrivateFolder(path);
  return folder ? HoldPtr(new Hold{std::move(folder)}) : nullptr;
}

void RunFolder::HoldDeleter::operator()(Hold* hold) const { delete hold; }

RunFolder::~RunFolder() {
  if (!hold_) return;
  DeleteFiles(path_);
  LetGoAndRemove(path_, hold_->folder);
}

bool RunFolder::RemoveIfAbandoned(const std::wstring& path) {
  {
    // An open for deleting fails with a sharing violation while a running instance holds it.
    const win::FileHandle probe = Open(path, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!probe || !win::IsPlainFolder(probe.Get())) return false;
  }
  win::FileHandle hold = win::HoldPlainFolder(path);
  if (!hold) return false;
  DeleteFiles(path);
  LetGoAndRemove(path, hold);
  return !DirectoryExists(path);
}

}  // namespace sys
