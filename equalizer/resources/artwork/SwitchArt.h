#pragma once

// The oversampling push button: an amber lamp in a recessed well, dark when
// off, glowing when on; two 29-unit frames stacked, off above on.

#include "equalizer/resources/artwork/CairoHandles.h"
#include "equalizer/resources/artwork/Typography.h"

namespace artwork {

// RGB24, 29 x 58 units at `scale`. Each frame carries the panel that lies
// under the button, so the opaque image meets the panel without a seam.
SurfacePtr RenderSwitch(const FontLibrary& fonts, double scale);

} // namespace artwork
