// PNG header reading.
#include "ui/png.h"

#include <cstring>

namespace ui {

namespace {

std::uint32_t Be32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

}  // namespace

std::optional<TPngInfo> ReadPngInfo(std::span<const std::uint8_t> bytes) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() < 33 || std::memcmp(bytes.data(), kSignature, 8) != 0 || std::memcmp(&bytes[12], "IHDR", 4) != 0) {
    return std::nullopt;
  }
  TPngInfo info;
  info.width = static_cast<int>(Be32(&bytes[16]));
  info.height = static_cast<int>(Be32(&bytes[20]));
  info.bitDepth = bytes[24];
  info.colorType = static_cast<TPngColorType>(bytes[25]);
  info.hasAlpha = info.colorType == TPngColorType::Rgba || info.colorType == TPngColorType::GrayAlpha;
  // Walk the chunks before the image data for a transparency chunk.
  for (std::size_t at = 8; at + 8 <= bytes.size();) {
    const std::uint32_t length = Be32(&bytes[at]);
    const std::uint8_t* kind = &bytes[at + 4];
    if (std::memcmp(kind, "tRNS", 4) == 0) info.hasAlpha = true;
    if (std::memcmp(kind, "IDAT", 4) == 0 || length > bytes.size()) break;
    at += 12 + static_cast<std::size_t>(length);
  }
  return info;
}

}  // namespace ui
