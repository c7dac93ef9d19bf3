#include "system/resources.h"

#include <algorithm>

#include "common/strings.h"
#include "common/text.h"
#include "system/file_io.h"
#include "system/files.h"
#include "system/resources_platform.h"

namespace sys {
namespace {

namespace platform = resources_platform;

std::span<const std::uint8_t> RequireBytes(std::wstring_view name, std::wstring_view type) {
  const auto bytes = platform::FindBytes(name, type);
  if (!bytes) common::RaiseError(L"Resource " + std::wstring(name) + L" not found");
  return *bytes;
}

}  // namespace

bool ResourceExists(std::wstring_view name, std::wstring_view type) {
  return platform::FindBytes(name, type).has_value();
}

std::vector<std::uint8_t> LoadResourceBytes(std::wstring_view name, std::wstring_view type) {
  const auto bytes = platform::FindBytes(name, type);
  return bytes ? std::vector<std::uint8_t>(bytes->begin(), bytes->end()) : std::vector<std::uint8_t>();
}

std::wstring ResourceTextFromBytes(std::span<const std::uint8_t> bytes) {
  std::string_view utf8(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);
  const std::wstring text = common::Utf8ToWide(utf8);
  // Lines end at CR, LF or CR LF; a final line break ends the last line rather than opening another.
  std::wstring joined;
  joined.reserve(text.size() + text.size() / 16 + 2);
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find_first_of(L"\r\n", start), text.size());
    joined.append(text, start, end - start).append(L"\r\n");
    start = end + 1;
    if (end + 1 < text.size() && text[end] == L'\r' && text[end + 1] == L'\n') ++start;
  }
  return joined;
}

std::wstring LoadResourceText(std::wstring_view name, std::wstring_view type) {
  return ResourceTextFromBytes(RequireBytes(name, type));
}

bool ExtractResourceToFile(std::wstring_view name, std::wstring_view type, std::wstring_view destination) {
  RemoveFile(destination);
  const std::span<const std::uint8_t> bytes = RequireBytes(name, type);
  const std::wstring path(destination);
  OutputFile file;
  if (file.Create(path, FileCreation::Replace) != CreateResult::Created) {
    common::RaiseError(L"Cannot create file \"" + path + L"\"");
  }
  const bool written = file.Write(bytes);
  // Closed here, as its result tells whether the last bytes reached the disk.
  if (!file.Close() || !written) common::RaiseError(L"Cannot write file \"" + path + L"\"");
  return FileExists(path);
}

}  // namespace sys
