#pragma once

// A composite of the panel as the editor shows it, for looking at the artwork
// while drawing it: the background, every knob at some position and the
// button lit, with the editor's frame choice and placement.

#include "equalizer/resources/artwork/CairoHandles.h"
#include "equalizer/resources/artwork/Typography.h"

namespace artwork {

SurfacePtr RenderPreview(const FontLibrary& fonts, double scale);

} // namespace artwork
