// Construction of shared pictures.
#include "ui/picture.h"

namespace ui {

TPicture TPicture::FromRgba(int width, int height, std::vector<std::uint8_t> rgba, TPngColorType colorType,
                            bool hasAlpha) {
  TPicture p;
  if (width <= 0 || height <= 0 || rgba.size() != static_cast<std::size_t>(width) * height * 4) return p;
  auto data = std::make_shared<TBitmapData>();
  data->width = width;
  data->height = height;
  data->colorType = colorType;
  data->hasAlpha = hasAlpha;
  data->rgba = std::move(rgba);
  p.data_ = std::move(data);
  return p;
}

TPicture TPicture::Solid(int width, int height, std::uint32_t rgb, std::uint8_t alpha) {
  std::vector<std::uint8_t> px(static_cast<std::size_t>(width > 0 ? width : 0) * (height > 0 ? height : 0) * 4);
  for (std::size_t i = 0; i < px.size(); i += 4) {
    px[i] = static_cast<std::uint8_t>(rgb >> 16);
    px[i + 1] = static_cast<std::uint8_t>(rgb >> 8);
    px[i + 2] = static_cast<std::uint8_t>(rgb);
    px[i + 3] = alpha;
  }
  return FromRgba(width, height, std::move(px));
}

}  // namespace ui
