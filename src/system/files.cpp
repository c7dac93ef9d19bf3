#include "system/files.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include "common/crypto.h"
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

std::function<void(std::wstring_view)>& DeletionObserver() {
  static std::function<void(std::wstring_view)> observer;
  return observer;
}

// Whether two names of one folder are the same entry (Windows ignores the letter case).
bool SameName(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](wchar_t x, wchar_t y) { return AsciiUpper(x) == AsciiUpper(y); });
}

// Deletes everything in the held folder (reached as path), depth first. Each sub-folder is held
// from its check until its contents are gone; an entry that became a link meanwhile is removed,
// never entered. False when the folder cannot be listed.
bool DeleteContents(const platform::HeldFolder& folder, std::wstring_view path) {
  std::vector<platform::FolderEntry> entries;
  if (!folder.List(entries)) return false;
  if (DeletionObserver()) DeletionObserver()(path);
  for (const auto& entry : entries) {
    if (entry.isFolder && !entry.isLink) {
      if (const auto child = folder.OpenChild(entry.name)) DeleteContents(*child, Join(path, entry.name));
    }
    folder.DeleteChild(entry.name);
  }
  return true;
}

std::vector<std::wstring> SegmentsOf(std::wstring_view path) { return PathSegments(platform::FullPath(path)); }

// Whether the first segments of path are those of folder (or all of them, when equal).
bool StartsWith(const std::vector<std::wstring>& path, const std::vector<std::wstring>& folder) {
  return folder.size() <= path.size() && std::equal(folder.begin(), folder.end(), path.begin());
}

// A number below limit from the system's cryptographic generator, mixed with the clock so that
// names still vary should the generator fail.
unsigned RandomBelow(unsigned limit) {
  auto value = static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (std::uint8_t byte : crypto::RandomBytes(4)) value = (value << 8 | value >> 24) ^ byte;
  return value % limit;
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
  return RemoveFile(path);
}

bool IsProtectedFolder(std::wstring_view path) {
  if (path.empty()) return true;  // would name the current folder
  // A bare drive ("C:") is that drive's current folder to Windows, but the walks append "\<name>"
  // to it and so work on the drive's root.
  if (path.size() == 2 && path[1] == L':') return true;
  const auto candidate = SegmentsOf(path);
  if (candidate.size() <= 1) return true;  // a drive or share root
  const platform::GuardedFolders guarded = platform::ProtectedFolders();
  for (const auto& folder : guarded.known) {
    if (!folder.empty() && StartsWith(SegmentsOf(folder), candidate)) return true;
  }
  for (const auto& folder : guarded.subtrees) {
    if (folder.empty()) continue;
    const auto subtree = SegmentsOf(folder);
    if (StartsWith(subtree, candidate) || StartsWith(candidate, subtree)) return true;
  }
  return false;
}

bool SameFolder(std::wstring_view a, std::wstring_view b) {
  return !a.empty() && !b.empty() && SegmentsOf(a) == SegmentsOf(b);
}

bool IsFolderBelow(std::wstring_view path, std::wstring_view folder) {
  if (path.empty() || folder.empty()) return false;
  const auto inner = SegmentsOf(path);
  const auto outer = SegmentsOf(folder);
  return inner.size() > outer.size() && StartsWith(inner, outer);
}

std::wstring ParentFolder(std::wstring_view path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring_view::npos || slash + 1 == path.size()) return std::wstring();
  const bool belowRoot = slash == 0 || (slash == 2 && path[1] == L':');
  return std::wstring(path.substr(0, belowRoot ? slash + 1 : slash));
}

bool IsLocalFixedPath(std::wstring_view path) { return platform::IsLocalFixedPath(path); }

bool IsEmptyFolder(std::wstring_view path) {
  const auto folder = platform::HoldFolder(path);
  std::vector<platform::FolderEntry> entries;
  return folder && folder->List(entries) && entries.empty();
}

void SetDeletionObserver(std::function<void(std::wstring_view folder)> observer) {
  DeletionObserver() = std::move(observer);
}

bool DeleteFolderTree(std::wstring_view path) {
  if (IsProtectedFolder(path)) return false;
  bool listed = false;
  {
    const auto folder = platform::HoldFolder(path);
    // The check is made again on the held folder, which links in its parents can no longer move.
    if (!folder || IsProtectedFolder(folder->FinalPath())) return false;
    listed = DeleteContents(*folder, path);
  }
  RemoveFolder(path);
  return listed;
}

bool EmptyFolder(std::wstring_view path, bool withSubfolders, std::wstring_view keep) {
  if (IsProtectedFolder(path)) return false;
  const auto folder = platform::HoldFolder(path);
  if (!folder) return !DirectoryExists(path);  // missing: nothing to do; a link: not followed
  if (IsProtectedFolder(folder->FinalPath())) return false;
  std::vector<platform::FolderEntry> entries;
  if (!folder->List(entries)) return true;
  if (DeletionObserver()) DeletionObserver()(path);
  bool result = true;
  for (const auto& entry : entries) {
    if (entry.name.starts_with(L'.') || (!keep.empty() && SameName(entry.name, keep))) continue;
    if (entry.isFolder && !withSubfolders) {
      result = false;  // only files go, as DeleteFileW cannot delete a folder
      continue;
    }
    if (entry.isFolder && !entry.isLink) {
      if (const auto child = folder->OpenChild(entry.name)) DeleteContents(*child, Join(path, entry.name));
    }
    if (!folder->DeleteChild(entry.name)) result = false;
  }
  return result;
}

bool RemoveEntry(std::wstring_view path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring_view::npos) return false;
  const auto folder = platform::HoldFolder(path.substr(0, slash));
  return folder && folder->DeleteChild(path.substr(slash + 1));
}

bool ReplaceWithNewFile(std::wstring_view path, const std::string& bytes) {
  RemoveEntry(path);
  return WriteNewFile(path, bytes);
}

std::optional<std::string> ReadSmallFile(std::wstring_view path, std::size_t maxBytes) {
  return ReadFileHead(path, maxBytes);
}

std::wstring WriteSelfDeleteScript(std::wstring_view target) {
  // The script names the target only by its file name, relative to the folder it is started in:
  // the folder's path may hold "%", "^", "&", "!", brackets or Chinese, none of which survives a
  // batch file in the system code page, and so never appears in it.
  const std::wstring name(target.substr(target.find_last_of(L"\\/") + 1));
  if (name.empty() || !std::all_of(name.begin(), name.end(), [](wchar_t c) {
        return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'.' ||
               c == L'_' || c == L'-';
      })) {
    common::RaiseError(L"No self-delete script for " + std::wstring(target));
  }
  // A new folder that a process without elevation cannot write to, so nobody can swap the script
  // between its writing and its start with our token.
  std::wstring folder;
  for (int attempt = 0; attempt < 100 && folder.empty(); ++attempt) {
    const std::wstring candidate = GetTempDir() + L"unin" + common::DecimalText(RandomBelow(100000000));
    if (platform::CreatePrivateFolder(candidate)) folder = candidate;
  }
  if (folder.empty()) common::RaiseError(L"Cannot create a folder for the self-delete script");
  const std::wstring script = folder + L"\\" + common::DecimalText(RandomBelow(5000)) + L".bat";
  const std::wstring quoted = Quoted(name);
  // About one second between attempts, at most 60 of them. Then the script leaves the product
  // folder for the temporary one and has a detached cmd remove its own folder (and itself) once it
  // has ended, as a running script cannot always remove the folder that holds it.
  const std::wstring folderName = folder.substr(folder.find_last_of(L"\\/") + 1);
  const std::wstring text = L"@echo off\r\n"
                            L"set tries=0\r\n"
                            L":try\r\n"
                            L"\"" + SystemProgramPath(L"ping.exe") + L"\" -n 2 127.0.0.1 >nul\r\n"
                            L"\"" + SystemProgramPath(L"attrib.exe") + L"\" -s -h -r " + quoted + L"\r\n"
                            L"del " + quoted + L"\r\n"
                            L"if not exist " + quoted + L" goto done\r\n"
                            L"set /a tries+=1\r\n"
                            L"if %tries% lss 60 goto try\r\n"
                            L":done\r\n"
                            L"cd /d \"%~dp0..\"\r\n"
                            L"start \"\" /b \"" + SystemProgramPath(L"cmd.exe") + L"\" /d /c \"\"" +
                            SystemProgramPath(L"ping.exe") + L"\" -n 3 127.0.0.1 >nul & rd /s /q " + folderName +
                            L"\"\r\n";
  if (!WriteNewFile(script, common::WideToAnsi(text))) {
    common::RaiseError(L"Cannot write the self-delete script " + script);
  }
  return script;
}

std::wstring SelfDeleteCommandLine(std::wstring_view script) {
  // No AutoRun commands, no delayed expansion; the outer quotes are cmd's own, the inner the path's.
  return Quoted(SystemProgramPath(L"cmd.exe")) + L" /d /v:off /s /c \"" + Quoted(script) + L"\"";
}

void SelfDeleteAfterExit(std::wstring_view path) {
  if (!FileExists(path)) return;
  const std::wstring script = WriteSelfDeleteScript(path);
  const std::size_t slash = path.find_last_of(L"\\/");
  RunWithOwnToken(SelfDeleteCommandLine(script), false, path.substr(0, slash == std::wstring_view::npos ? 0 : slash),
                  false);
}

bool AskYesNo(void* owner, std::wstring_view caption, std::wstring_view text) {
  return ShowMessageBox(owner, text, caption, mb::kIconQuestion | mb::kYesNo) == mb::kIdYes;
}

}  // namespace sys
