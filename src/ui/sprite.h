// Cutting a horizontal sprite strip into equal state pictures (normal, hover, pressed, disabled).
#pragma once

#include <array>

#include "ui/picture.h"

namespace ui {

enum class TAlphaType { atNoAlpha, atAlpha, atAuto };

// Slices strip into count pictures of width (strip width div count), left to right, and assigns
// slice k to *targets[k] for every k below both count and four; other targets keep their picture.
// Columns beyond count * slice width are ignored. An empty strip or a count below 1 changes
// nothing. The alpha bytes are copied for atAlpha, and for atAuto when the strip's colour type is
// palette, grey with alpha or RGBA; slices whose alpha is not copied, or whose strip has no alpha
// channel, are opaque.
void SplitSprite(const TPicture& strip, int count, TAlphaType alpha, const std::array<TPicture*, 4>& targets);

}  // namespace ui
