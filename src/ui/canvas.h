// What a control needs to paint itself. The Windows build implements it with GDI+ on the window's
// back buffer; tests implement it by recording the calls. Coordinates are relative to the control
// being painted (the form sets the origin and clip before each control paints).
#pragma once

#include <cstdint>
#include <string>

#include "ui/geometry.h"
#include "ui/picture.h"

namespace ui {

using TColor = std::uint32_t;  // 0xRRGGBB

// System colours as the skinned windows use them.
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clWindow = 0xFFFFFF;
inline constexpr TColor clWindowText = 0x000000;
inline constexpr TColor clGrayText = 0x6D6D6D;
inline constexpr TColor clHotLight = 0x0066CC;
inline constexpr TColor clBtnFace = 0xF0F0F0;

struct TFont {
  std::wstring name = L"微软雅黑";
  int height = 12;  // character height in pixels
  TColor color = clWindowText;
  bool operator==(const TFont&) const = default;
};

enum class TAlignment { taLeftJustify, taCenter, taRightJustify };

struct TTextFormat {
  TAlignment align = TAlignment::taLeftJustify;
  bool verticalCenter = false;
  bool wordWrap = false;  // break lines at the rectangle's width
  bool clip = true;       // false: text may run outside the rectangle
};

class ICanvas {
 public:
  virtual ~ICanvas() = default;
  // Starts painting a control: bounds and clip are in window coordinates; later calls are relative
  // to bounds' top-left corner and drawn only inside clip.
  virtual void BeginControl(const TRect& bounds, const TRect& clip) = 0;
  virtual void FillRect(const TRect& rect, TColor color) = 0;
  // Draws the picture into dest, scaled when the sizes differ, blending its alpha.
  virtual void DrawPicture(const TPicture& picture, const TRect& dest) = 0;
  virtual void PaintText(const std::wstring& text, const TRect& rect, const TFont& font, const TTextFormat& format) = 0;
  // Size of the text in the font; with maxWidth > 0 lines are broken at that width.
  virtual TSize MeasureText(const std::wstring& text, const TFont& font, int maxWidth = 0) = 0;
};

}  // namespace ui
