// Host build: files carry no Windows resources here, so there is nothing to remove.
#include "system/uninstaller_copy.h"

#include <filesystem>
#include <fstream>

namespace sys {

std::vector<std::uint8_t> ReadImageStart(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  std::vector<std::uint8_t> bytes(kImageStartBytes);
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  return bytes;
}

bool RemoveFileResource(const std::wstring&, std::wstring_view, std::wstring_view) { return false; }

}  // namespace sys
