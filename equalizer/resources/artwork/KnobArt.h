#pragma once

// The two knob film strips: 271 frames, 16 to a row, on a transparent ground.

#include "equalizer/resources/artwork/CairoHandles.h"

namespace artwork {

// Gain knob: a black knob with an open centre, through which the coloured cap
// printed on the panel shows, and a cream pointer line. 47-unit frames.
SurfacePtr RenderGainKnobStrip(int framePixels, double scale);

// Frequency knob: a graphite skirt with an index line under a knurled,
// spun-metal knob. The knob has the same size in units at both scales, so a
// 59-unit scale-2 frame shows it exactly as large as the 64-unit one.
SurfacePtr RenderFrequencyKnobStrip(int framePixels, double scale);

} // namespace artwork
