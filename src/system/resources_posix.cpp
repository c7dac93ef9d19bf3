// Host build: embedded files come from the generated table; targets are files of the host.
#include <cstdio>
#include <filesystem>

#include "common/strings.h"
#include "common/text.h"
#include "system/resource_table.h"
#include "system/resources_platform.h"

namespace sys::resources_platform {
namespace {

std::filesystem::path HostPath(std::wstring_view path) {
  return std::filesystem::path(common::WideToUtf8(path));
}

}  // namespace

std::optional<std::span<const std::uint8_t>> FindBytes(std::wstring_view name, std::wstring_view type) {
  const std::wstring wantedName = common::UpperCase(name);
  const std::wstring wantedType = common::UpperCase(type);
  for (std::size_t i = 0; i < kEmbeddedFileCount; ++i) {
    const EmbeddedFile& file = kEmbeddedFiles[i];
    if (common::Utf8ToWide(file.name) == wantedName && common::Utf8ToWide(file.type) == wantedType) {
      return std::span<const std::uint8_t>(file.begin, file.end);
    }
  }
  return std::nullopt;
}

void DeleteTarget(std::wstring_view destination) {
  std::error_code ignored;
  std::filesystem::remove(HostPath(destination), ignored);
}

void WriteTarget(std::wstring_view destination, std::span<const std::uint8_t> bytes) {
  std::FILE* file = std::fopen(HostPath(destination).c_str(), "wb");
  if (!file) common::RaiseError(L"Cannot create file \"" + std::wstring(destination) + L"\"");
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) common::RaiseError(L"Cannot write file \"" + std::wstring(destination) + L"\"");
}

bool TargetExists(std::wstring_view destination) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(HostPath(destination), ignored);
}

}  // namespace sys::resources_platform
