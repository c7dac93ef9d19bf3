// GDI+ for the skinned windows: the header (with the min/max it expects), the process-wide start
// of the library, and the drawable copy of a picture.
#pragma once

#include <windows.h>

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <objidl.h>
#include <gdiplus.h>

#include "ui/picture.h"

namespace ui {

// Starts GDI+ on first use; it stays started until the program ends.
void EnsureGdiplus();

// The picture as a premultiplied GDI+ bitmap, made once and kept with the picture's pixels.
Gdiplus::Bitmap* NativeBitmap(const TPicture& picture);

}  // namespace ui
