// Painting the widget tree with GDI+.
#include "ui/gdiplus_canvas_win.h"

#include <cmath>

namespace ui {

namespace {

Gdiplus::Color Opaque(TColor c) {
  return Gdiplus::Color(255, static_cast<BYTE>(c >> 16), static_cast<BYTE>(c >> 8), static_cast<BYTE>(c));
}

// Measuring and drawing share one layout, so measured and drawn text agree.
void Configure(Gdiplus::StringFormat& format, const TTextFormat& f) {
  INT flags = Gdiplus::StringFormatFlagsMeasureTrailingSpaces | Gdiplus::StringFormatFlagsNoFitBlackBox |
              Gdiplus::StringFormatFlagsLineLimit;
  if (!f.wordWrap) flags |= Gdiplus::StringFormatFlagsNoWrap;
  if (!f.clip) flags |= Gdiplus::StringFormatFlagsNoClip;
  format.SetFormatFlags(flags);
  format.SetAlignment(f.align == TAlignment::taCenter         ? Gdiplus::StringAlignmentCenter
                      : f.align == TAlignment::taRightJustify ? Gdiplus::StringAlignmentFar
                                                              : Gdiplus::StringAlignmentNear);
  format.SetLineAlignment(f.verticalCenter ? Gdiplus::StringAlignmentCenter : Gdiplus::StringAlignmentNear);
  format.SetTrimming(Gdiplus::StringTrimmingNone);
}

}  // namespace

TGdiPlusCanvas::TGdiPlusCanvas(Gdiplus::Graphics& graphics) : g_(graphics) {
  g_.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
  g_.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  g_.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
  g_.SetCompositingQuality(Gdiplus::CompositingQualityHighQuality);
}

void TGdiPlusCanvas::BeginControl(const TRect& bounds, const TRect& clip) {
  g_.ResetTransform();
  g_.SetClip(Gdiplus::Rect(clip.left, clip.top, clip.Width(), clip.Height()));
  g_.TranslateTransform(static_cast<Gdiplus::REAL>(bounds.left), static_cast<Gdiplus::REAL>(bounds.top));
}

void TGdiPlusCanvas::FillRect(const TRect& rect, TColor color) {
  Gdiplus::SolidBrush brush(Opaque(color));
  g_.FillRectangle(&brush, rect.left, rect.top, rect.Width(), rect.Height());
}

void TGdiPlusCanvas::DrawPicture(const TPicture& picture, const TRect& dest) {
  Gdiplus::Bitmap* bitmap = NativeBitmap(picture);
  if (!bitmap || dest.Width() <= 0 || dest.Height() <= 0) return;
  const bool scaled = dest.Width() != picture.Width() || dest.Height() != picture.Height();
  g_.SetInterpolationMode(scaled ? Gdiplus::InterpolationModeHighQualityBicubic
                                 : Gdiplus::InterpolationModeNearestNeighbor);
  // Mirrored edges keep a scaled picture's border from fading into transparency.
  Gdiplus::ImageAttributes attributes;
  attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
  g_.DrawImage(bitmap, Gdiplus::Rect(dest.left, dest.top, dest.Width(), dest.Height()), 0, 0, picture.Width(),
               picture.Height(), Gdiplus::UnitPixel, &attributes);
}

Gdiplus::Font& TGdiPlusCanvas::FontFor(const TFont& font) {
  auto& slot = fonts_[{font.name, font.height}];
  if (!slot) {
    const auto size = static_cast<Gdiplus::REAL>(font.height);
    slot = std::make_unique<Gdiplus::Font>(font.name.c_str(), size, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    if (slot->GetLastStatus() != Gdiplus::Ok) {
      // Not a family GDI+ knows: let the GDI font mapper pick the nearest face.
      LOGFONTW logFont{};
      logFont.lfHeight = -font.height;
      logFont.lfCharSet = DEFAULT_CHARSET;
      logFont.lfQuality = CLEARTYPE_QUALITY;
      font.name.copy(logFont.lfFaceName, LF_FACESIZE - 1);
      HDC dc = g_.GetHDC();
      slot = std::make_unique<Gdiplus::Font>(dc, &logFont);
      g_.ReleaseHDC(dc);
    }
  }
  return *slot;
}

void TGdiPlusCanvas::PaintText(const std::wstring& text, const TRect& rect, const TFont& font, const TTextFormat& f) {
  Gdiplus::SolidBrush brush(Opaque(font.color));
  Gdiplus::StringFormat format;
  Configure(format, f);
  const Gdiplus::RectF layout(static_cast<Gdiplus::REAL>(rect.left), static_cast<Gdiplus::REAL>(rect.top),
                              static_cast<Gdiplus::REAL>(rect.Width()), static_cast<Gdiplus::REAL>(rect.Height()));
  g_.DrawString(text.c_str(), static_cast<INT>(text.size()), &FontFor(font), layout, &format, &brush);
}

TSize TGdiPlusCanvas::MeasureText(const std::wstring& text, const TFont& font, int maxWidth) {
  TTextFormat f;
  f.wordWrap = maxWidth > 0;
  Gdiplus::StringFormat format;
  Configure(format, f);
  const Gdiplus::RectF layout(0, 0, maxWidth > 0 ? static_cast<Gdiplus::REAL>(maxWidth) : 100000.0f, 100000.0f);
  Gdiplus::RectF box;
  g_.MeasureString(text.c_str(), static_cast<INT>(text.size()), &FontFor(font), layout, &format, &box);
  return {static_cast<int>(std::ceil(box.Width)), static_cast<int>(std::ceil(box.Height))};
}

}  // namespace ui
