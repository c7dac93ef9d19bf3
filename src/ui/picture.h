// A decoded picture: straight (not premultiplied) RGBA pixels shared between every holder that
// took a copy. Assigning one holder to another is cheap; pictures are never changed in place.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace ui {

// Colour type byte of a PNG image header.
enum class TPngColorType : std::uint8_t { Gray = 0, Rgb = 2, Palette = 3, GrayAlpha = 4, Rgba = 6 };

struct TBitmapData {
  int width = 0;
  int height = 0;
  TPngColorType colorType = TPngColorType::Rgba;
  bool hasAlpha = true;            // the source carried per-pixel alpha
  std::vector<std::uint8_t> rgba;  // width * height * 4 bytes, rows top to bottom
  // The platform's drawable copy, made on first paint (a GDI+ bitmap on Windows).
  mutable std::shared_ptr<void> native;
};

class TPicture {
 public:
  TPicture() = default;
  static TPicture FromRgba(int width, int height, std::vector<std::uint8_t> rgba,
                           TPngColorType colorType = TPngColorType::Rgba, bool hasAlpha = true);
  // A picture of one colour (0xRRGGBB) and one alpha value.
  static TPicture Solid(int width, int height, std::uint32_t rgb, std::uint8_t alpha = 255);

  bool Empty() const { return Width() <= 0; }
  int Width() const { return data_ ? data_->width : 0; }
  int Height() const { return data_ ? data_->height : 0; }
  TPngColorType ColorType() const { return data_ ? data_->colorType : TPngColorType::Rgba; }
  bool HasAlpha() const { return data_ && data_->hasAlpha; }
  // Four bytes R, G, B, A of pixel (x, y); the picture must not be empty.
  const std::uint8_t* Pixel(int x, int y) const { return &data_->rgba[(static_cast<std::size_t>(y) * data_->width + x) * 4]; }
  const TBitmapData* Data() const { return data_.get(); }
  // Whether both holders show the very same image.
  bool SameImage(const TPicture& other) const { return data_ == other.data_; }

 private:
  std::shared_ptr<const TBitmapData> data_;
};

}  // namespace ui
