// Host build: embedded files come from the generated table.
#include "common/strings.h"
#include "common/text.h"
#include "system/resource_table.h"
#include "system/resources_platform.h"

namespace sys::resources_platform {

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

}  // namespace sys::resources_platform
