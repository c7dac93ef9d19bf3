// ICanvas on a GDI+ graphics object: anti-aliased text, blended and smoothly scaled pictures.
#pragma once

#include <map>
#include <memory>
#include <tuple>

#include "ui/canvas.h"
#include "ui/gdiplus_win.h"

namespace ui {

class TGdiPlusCanvas : public ICanvas {
 public:
  explicit TGdiPlusCanvas(Gdiplus::Graphics& graphics);
  void BeginControl(const TRect& bounds, const TRect& clip) override;
  void FillRect(const TRect& rect, TColor color) override;
  void DrawPicture(const TPicture& picture, const TRect& dest) override;
  void PaintText(const std::wstring& text, const TRect& rect, const TFont& font, const TTextFormat& format) override;
  TSize MeasureText(const std::wstring& text, const TFont& font, int maxWidth) override;

 private:
  Gdiplus::Font& FontFor(const TFont& font);

  Gdiplus::Graphics& g_;
  std::map<std::tuple<std::wstring, int>, std::unique_ptr<Gdiplus::Font>> fonts_;
};

}  // namespace ui
