// Rectangles and the placement rules of the image buttons: where a state picture is drawn and
// where the caption and the small icon go. Divisions by two round toward zero.
#pragma once

namespace ui {

struct TPoint {
  int x = 0;
  int y = 0;
  bool operator==(const TPoint&) const = default;
};

struct TSize {
  int cx = 0;
  int cy = 0;
  bool operator==(const TSize&) const = default;
};

struct TRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  TRect Offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  bool operator==(const TRect&) const = default;
};

// Where a picture of size picture is drawn in a client area of size client: with stretch, or
// with proportional when the picture does not fit, it is scaled (keeping its aspect ratio when
// proportional), otherwise kept at its size; the result is centred on the client area.
TRect TargetRect(TSize picture, TSize client, bool stretch, bool proportional);

// The caption's rectangle: centred on the client area, but starting no further left than
// iconWidth + 16 when the button has a small icon (iconWidth > 0).
TRect CaptionRect(TSize client, TSize text, int iconWidth);

// The small icon's top edge beside a picture of height pictureHeight; never negative.
int SmallIconTop(int pictureHeight, int iconHeight);

inline constexpr int kSmallIconLeft = 10;

}  // namespace ui
