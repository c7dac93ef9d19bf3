// Sprite strip slicing shared by both image buttons.
#include "ui/sprite.h"

namespace ui {

namespace {

bool CopiesAlpha(const TPicture& strip, TAlphaType alpha) {
  switch (alpha) {
    case TAlphaType::atAlpha: return true;
    case TAlphaType::atNoAlpha: return false;
    case TAlphaType::atAuto: break;
  }
  const auto type = strip.ColorType();
  return type == TPngColorType::Palette || type == TPngColorType::GrayAlpha || type == TPngColorType::Rgba;
}

}  // namespace

void SplitSprite(const TPicture& strip, int count, TAlphaType alpha, const std::array<TPicture*, 4>& targets) {
  if (strip.Empty() || count < 1) return;
  const int w = strip.Width() / count;
  const int h = strip.Height();
  if (w <= 0) return;
  const bool withAlpha = CopiesAlpha(strip, alpha) && strip.HasAlpha();
  for (int k = 0; k < count && k < static_cast<int>(targets.size()); ++k) {
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const std::uint8_t* s = strip.Pixel(k * w + x, y);
        std::uint8_t* d = &px[(static_cast<std::size_t>(y) * w + x) * 4];
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = withAlpha ? s[3] : 255;
      }
    }
    if (targets[k]) *targets[k] = TPicture::FromRgba(w, h, std::move(px), TPngColorType::Rgba, withAlpha);
  }
}

}  // namespace ui
