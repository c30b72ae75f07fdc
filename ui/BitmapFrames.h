#pragma once

// Frame choice of film-strip bitmaps: which frame shows a value, and where a
// frame lies in the image. Pure functions; any thread.

#include "ui/EditorTypes.h"

#include <cstdint>

namespace ui {

struct FrameOffset {
    int32_t x = 0; // logical units of the bitmap
    int32_t y = 0;
};

// [any] The 1-based frame that shows a normalized value: 1 with fewer than
// two frames, else the nearest of the frames spread evenly over [0, 1]
// (a NaN value shows frame 1).
int32_t FrameForValue(double value, int32_t frames);

// [any] Where the 1-based frame starts in the bitmap: frame is clamped to
// [1, frames]; (0, 0) with fewer than two frames.
FrameOffset FrameSourceOffset(const IBitmapRef& bitmap, int32_t frame);

} // namespace ui
