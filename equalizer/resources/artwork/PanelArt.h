#pragma once

// The panel background: brushed dark metal with the printed legends, the
// brand, the screws, and the coloured caps that show through the gain knobs.

#include "equalizer/resources/artwork/CairoHandles.h"
#include "equalizer/resources/artwork/Typography.h"

namespace artwork {

// The whole panel at `scale` pixels per logical unit, as an opaque RGB24
// image of 664 x 215 units. The push button's images are cut from the same
// rendering, so the two meet without a seam.
SurfacePtr RenderPanel(const FontLibrary& fonts, double scale);

// The printed scales, units, section names and brand, in logical units.
void DrawLegends(cairo_t* cr, const FontLibrary& fonts);

// Radii of the marks printed around the knobs, in logical units from the
// knob's centre; the knob bodies stay inside the inner radius.
inline constexpr double kFrequencyTickInner = 29.2, kFrequencyTickOuter = 32.0;
inline constexpr double kGainTickInner = 19.8, kGainTickOuter = 22.6;
// The cap printed under a gain knob's open centre reaches under its body.
inline constexpr double kGainCapRadius = 12.2;

} // namespace artwork
