// Placement rules of the image buttons.
#include "ui/geometry.h"

namespace ui {

TRect TargetRect(TSize picture, TSize client, bool stretch, bool proportional) {
  int w = picture.cx;
  int h = picture.cy;
  const int cw = client.cx;
  const int ch = client.cy;
  if (stretch || (proportional && (w > cw || h > ch))) {
    if (proportional && w > 0 && h > 0) {
      const double ratio = static_cast<double>(w) / h;
      if (w > h) {
        w = cw;
        h = static_cast<int>(cw / ratio);
        if (h > ch) {
          h = ch;
          w = static_cast<int>(ch * ratio);
        }
      } else {
        h = ch;
        w = static_cast<int>(ch * ratio);
        if (w > cw) {
          w = cw;
          h = static_cast<int>(cw / ratio);
        }
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  return TRect{0, 0, w, h}.Offset((cw - w) / 2, (ch - h) / 2);
}

TRect CaptionRect(TSize client, TSize text, int iconWidth) {
  const int top = (client.cy - text.cy) / 2;
  int left = (client.cx - text.cx) / 2;
  if (iconWidth > 0 && left < iconWidth + 16) left = iconWidth + 16;
  return {left, top, left + text.cx, top + text.cy};
}

int SmallIconTop(int pictureHeight, int iconHeight) {
  const int top = (pictureHeight - iconHeight) / 2 + 1;
  return top < 0 ? 0 : top;
}

}  // namespace ui
