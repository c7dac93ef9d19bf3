#include "system/uninstaller_copy.h"

#include "system/files.h"

namespace sys {
namespace {

std::uint32_t Le(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < size; ++i) value |= static_cast<std::uint32_t>(bytes[at + i]) << (8 * i);
  return value;
}

}  // namespace

bool HasCertificateTable(std::span<const std::uint8_t> image) {
  constexpr std::size_t kSecurityDirectory = 4;
  if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') return false;
  const std::size_t pe = Le(image, 0x3C, 4);
  // Signature, file header (20 bytes), then the optional header's magic.
  if (pe > image.size() || image.size() - pe < 24 + 2 || Le(image, pe, 4) != 0x00004550) return false;
  const std::size_t optional = pe + 24;
  const std::uint32_t magic = Le(image, optional, 2);
  const std::size_t directories = optional + (magic == 0x10B ? 96 : magic == 0x20B ? 112 : 0);
  if (directories == optional) return false;
  const std::size_t count = Le(image, directories - 4, 4);  // NumberOfRvaAndSizes
  const std::size_t entry = directories + kSecurityDirectory * 8;
  if (count <= kSecurityDirectory || image.size() < entry + 8) return false;
  return Le(image, entry + 4, 4) != 0;
}

bool WriteUninstallerCopy(const std::wstring& installer, const std::wstring& destination) {
  if (!CopyFileTo(installer, destination)) return false;
  if (!HasCertificateTable(ReadImageStart(installer))) RemoveFileResource(destination, L"ZIPFILE", L"FILE");
  return FileExists(destination);
}

}  // namespace sys
