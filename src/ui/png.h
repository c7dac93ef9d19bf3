// PNG images as pictures: header facts read portably, decoding by the platform (GDI+ on Windows),
// and the loaders that put a PNG resource of the program into a picture or an image control.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "ui/picture.h"

namespace ui {

class TImage;

struct TPngInfo {
  int width = 0;
  int height = 0;
  int bitDepth = 0;
  TPngColorType colorType = TPngColorType::Rgba;
  bool hasAlpha = false;  // an alpha channel, or a palette with a transparency chunk
};

// The facts of a PNG's header; nothing when the bytes do not start a PNG image.
std::optional<TPngInfo> ReadPngInfo(std::span<const std::uint8_t> bytes);

// Windows build. Raise common::EGeneralError for bytes that are not a PNG image, and
// "Resource <name> not found" for a missing resource.
TPicture DecodePng(std::span<const std::uint8_t> bytes);
void LoadPngResourceToPicture(TPicture& picture, std::wstring_view name, std::wstring_view type);
void LoadPngResourceToImage(TImage& image, std::wstring_view name, std::wstring_view type);

}  // namespace ui
