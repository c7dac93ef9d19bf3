#include "system/files.h"

#include <chrono>
#include <random>
#include <vector>

#include "common/strings.h"
#include "common/text.h"
#include "system/files_platform.h"
#include "system/message_box.h"
#include "system/processes.h"

namespace sys {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring Join(std::wstring_view folder, std::wstring_view name) {
  std::wstring path(folder);
  if (!path.empty() && !IsSeparator(path.back())) path += L'\\';
  path += name;
  return path;
}

wchar_t AsciiUpper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c; }

// An absolute path as its root ("C:", "\\SERVER\SHARE" or "\") followed by its folder names,
// upper-cased, with "." dropped and ".." applied.
std::vector<std::wstring> PathSegments(std::wstring_view path) {
  std::wstring s;
  for (const wchar_t c : path) s += IsSeparator(c) ? L'\\' : AsciiUpper(c);
  if (s.starts_with(L"\\\\?\\UNC\\")) {
    s = L"\\\\" + s.substr(8);
  } else if (s.starts_with(L"\\\\?\\") || s.starts_with(L"\\\\.\\")) {
    s = s.substr(4);
  }
  std::vector<std::wstring> parts;
  std::size_t pos = 0;
  std::vector<std::wstring> root;
  if (s.starts_with(L"\\\\")) {  // \\server\share
    pos = 2;
  } else if (s.size() >= 2 && s[1] == L':') {
    root.push_back(s.substr(0, 2));
    pos = 2;
  } else {
    root.push_back(L"\\");
  }
  while (pos <= s.size()) {
    const std::size_t end = std::min(s.find(L'\\', pos), s.size());
    const std::wstring part = s.substr(pos, end - pos);
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != L".") {
      parts.push_back(part);
    }
    pos = end + 1;
  }
  if (root.empty()) {  // UNC: server and share form the root
    std::wstring unc = L"\\\\";
    for (std::size_t i = 0; i < 2 && !parts.empty(); ++i) {
      unc += parts.front() + L"\\";
      parts.erase(parts.begin());
    }
    root.push_back(unc);
  }
  root.insert(root.end(), parts.begin(), parts.end());
  return root;
}

// The folder's contents, depth first; false when it cannot be listed.
bool DeleteContents(std::wstring_view folder) {
  std::vector<platform::FolderEntry> entries;
  if (!platform::ListFolder(folder, entries)) return false;
  for (const auto& entry : entries) {
    if (entry.name == L"." || entry.name == L"..") continue;
    const std::wstring path = Join(folder, entry.name);
    if (entry.isFolder && !entry.isLink) {
      DeleteContents(path);
      RemoveFolder(path);
    } else if (entry.isFolder) {
      RemoveFolder(path);
    } else {
      DeleteFileForce(path);
    }
  }
  return true;
}

std::minstd_rand& Random() {
  static std::minstd_rand generator(static_cast<std::uint32_t>(
      std::chrono::steady_clock::now().time_since_epoch().count() ^ std::random_device{}()));
  return generator;
}

std::wstring Quoted(std::wstring_view text) { return L"\"" + std::wstring(text) + L"\""; }

}  // namespace

std::wstring GetExeDir() {
  const std::wstring path = platform::ExecutablePath();
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::wstring GetExeFileName() {
  const std::wstring path = platform::ExecutablePath();
  return path.substr(path.find_last_of(L"\\/") + 1);
}

bool DeleteFileForce(std::wstring_view path) {
  platform::ClearAttributes(path);
  return platform::DeleteOneFile(path);
}

bool IsProtectedFolder(std::wstring_view path) {
  if (path.empty()) return true;  // would name the current folder
  // A bare drive ("C:") is that drive's current folder to Windows, but the walks append "\<name>"
  // to it and so work on the drive's root.
  if (path.size() == 2 && path[1] == L':') return true;
  const auto candidate = PathSegments(platform::FullPath(path));
  if (candidate.size() <= 1) return true;  // a drive or share root
  for (const auto& folder : platform::ProtectedFolders()) {
    if (folder.empty()) continue;
    const auto guarded = PathSegments(platform::FullPath(folder));
    if (candidate.size() <= guarded.size() && std::equal(candidate.begin(), candidate.end(), guarded.begin())) {
      return true;
    }
  }
  return false;
}

bool DeleteFolderTree(std::wstring_view path) {
  if (IsProtectedFolder(path) || !DirectoryExists(path)) return false;
  const bool listed = DeleteContents(path);
  RemoveFolder(path);
  return listed;
}

bool EmptyFolder(std::wstring_view path, bool withSubfolders) {
  if (IsProtectedFolder(path)) return false;
  std::vector<platform::FolderEntry> entries;
  if (!platform::ListFolder(path, entries)) return true;
  bool result = true;
  for (const auto& entry : entries) {
    if (entry.name.starts_with(L'.')) continue;
    const std::wstring full = Join(path, entry.name);
    platform::ClearAttributes(full);
    bool deleted = false;
    if (withSubfolders && entry.isFolder) {
      deleted = entry.isLink ? RemoveFolder(full) : DeleteFolderTree(full);
    } else {
      deleted = DeleteFileForce(full);
    }
    if (!deleted) result = false;
  }
  return result;
}

std::wstring WriteSelfDeleteScript(std::wstring_view target) {
  // A new folder that a process without elevation cannot write to, so nobody can swap the script
  // between its writing and its start with our token.
  std::wstring folder;
  for (int attempt = 0; attempt < 100 && folder.empty(); ++attempt) {
    const std::wstring candidate = GetTempDir() + L"unin" + std::to_wstring(Random()() % 100000000);
    if (platform::CreatePrivateFolder(candidate)) folder = candidate;
  }
  if (folder.empty()) common::RaiseError(L"Cannot create a folder for the self-delete script");
  const std::wstring script = folder + L"\\" + std::to_wstring(Random()() % 5000) + L".bat";
  const std::wstring quotedTarget = Quoted(target);
  const std::wstring text = L":try\r\n"
                            L"dir c:\\ & timeout /t 1 & dir d:\\\r\n"
                            L"attrib -s -h -r " + quotedTarget + L"\r\n"
                            L"del " + quotedTarget + L"\r\n"
                            L"if exist " + quotedTarget + L" goto try\r\n"
                            L"del " + Quoted(script) + L"\r\n";
  if (!platform::WriteNewFile(script, common::WideToAnsi(text))) {
    common::RaiseError(L"Cannot write the self-delete script " + script);
  }
  return script;
}

void SelfDeleteAfterExit(std::wstring_view path) {
  if (!FileExists(path)) return;
  CloseProcessHandle(RunHiddenThroughCommandInterpreter(WriteSelfDeleteScript(path)));
}

bool AskYesNo(void* owner, std::wstring_view caption, std::wstring_view text) {
  return ShowMessageBox(owner, text, caption, mb::kIconQuestion | mb::kYesNo) == mb::kIdYes;
}

}  // namespace sys
