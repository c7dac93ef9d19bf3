#include "system/file_io.h"

#include <algorithm>
#include <utility>

#include "system/file_io_platform.h"

namespace sys {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
  std::wstring path(folder);
  if (path.empty() || !IsSeparator(path.back())) path += kPathSeparator;
  return path.append(name);
}

bool ForceDirectories(std::wstring_view path) {
  std::wstring folder(path);
  // A root ("/", "\") stays itself; "C:\" becomes "C:", which names the drive's current folder.
  while (folder.size() > 1 && IsSeparator(folder.back())) folder.pop_back();
  if (folder.empty()) return false;
  if (file_io_platform::FolderExists(folder)) return true;
  // Parents first; a drive ("C:") or a share that cannot be made is left to the last step to judge.
  const std::size_t separator = folder.find_last_of(L"\\/");
  if (separator != std::wstring::npos && separator > 0) ForceDirectories(folder.substr(0, separator));
  return CreateFolder(folder);
}

bool WriteNewFile(std::wstring_view path, std::string_view bytes) {
  OutputFile file;
  if (file.Create(path, FileCreation::New) != CreateResult::Created) return false;
  const bool written = file.Write(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  return file.Close() && written;
}

std::optional<std::string> ReadFileHead(std::wstring_view path, std::size_t maxBytes) {
  InputFile file;
  if (!file.Open(path, LinkRule::Followed)) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(std::min<std::uint64_t>(file.Size(), maxBytes)), '\0');
  if (!file.ReadAt(0, std::span(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()))) return std::nullopt;
  return bytes;
}

bool OpenHandle::Close() {
  if (value_ == kNone) return false;
  return file_io_platform::CloseHandleValue(std::exchange(value_, kNone));
}

}  // namespace sys
