#include "system/run_folder.h"

#include <vector>

#include "common/crypto.h"
#include "common/hex.h"
#include "system/files.h"
#include "system/files_platform.h"

namespace sys {

namespace {

constexpr int kNameAttempts = 16;

// 16 hexadecimal digits from the system's random generator; empty when it fails.
std::wstring RandomName() { return common::ToHex(crypto::RandomBytes(8)); }

}  // namespace

RunFolder::RunFolder(std::wstring path, HoldPtr hold) : path_(std::move(path)), hold_(std::move(hold)) {}

std::unique_ptr<RunFolder> RunFolder::Create(std::wstring_view prefix) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::wstring name = RandomName();
    if (name.empty()) return nullptr;
    std::wstring path = GetTempDir() + std::wstring(prefix) + name;
    if (HoldPtr hold = HoldNewFolder(path)) {
      return std::unique_ptr<RunFolder>(new RunFolder(std::move(path), std::move(hold)));
    }
  }
  return nullptr;
}

int RunFolder::RemoveAbandoned(std::wstring_view prefix) {
  if (prefix.empty()) return 0;
  const std::wstring temp = GetTempDir();
  std::vector<platform::FolderEntry> entries;
  if (!platform::ListFolder(temp, entries)) return 0;
  int removed = 0;
  for (const auto& entry : entries) {
    if (!entry.isFolder || entry.isLink || !entry.name.starts_with(prefix)) continue;
    if (RemoveIfAbandoned(temp + entry.name)) ++removed;
  }
  return removed;
}

void RunFolder::DeleteFiles(const std::wstring& path) {
  std::vector<platform::FolderEntry> entries;
  platform::ListFolder(path, entries);
  for (const auto& entry : entries) {
    if (entry.name == L"." || entry.name == L"..") continue;
    const std::wstring child = JoinPath(path, entry.name);
    if (entry.isLink) {
      // The link itself goes; nothing is done to what it points at.
      if (!RemoveFile(child)) RemoveFolder(child);
    } else if (!entry.isFolder) {
      DeleteFileForce(child);
    }
  }
}

std::wstring RunFolder::NewFilePath(std::wstring_view extension) const {
  return JoinPath(path_, RandomName() + std::wstring(extension));
}

std::unique_ptr<SealedFile> SealedFile::Open(std::wstring_view path) {
  std::unique_ptr<SealedFile> sealed(new SealedFile());
  return sealed->file_.Open(path, LinkRule::Refused) ? std::move(sealed) : nullptr;
}

}  // namespace sys
