#include "ui/BitmapFrames.h"

#include <algorithm>
#include <cmath>

namespace ui {

int32_t FrameForValue(double value, int32_t frames) {
    if (frames < 2 || !(value == value))
        return 1;
    // Clamped in floating point first so that a wild value cannot overflow
    // the conversion to an integer.
    const double position = std::clamp(value, 0.0, 1.0) * (frames - 1) + 0.5;
    return std::clamp(static_cast<int32_t>(position) + 1, 1, frames);
}

FrameOffset FrameSourceOffset(const IBitmapRef& bitmap, int32_t frame) {
    const int32_t frames = bitmap.frames;
    if (frames < 2)
        return {};
    const int32_t n = std::clamp(frame, 1, frames);
    if (bitmap.framesAreHorizontal)
        return {(n - 1) * bitmap.width / frames, 0};
    return {0, (n - 1) * bitmap.height / frames};
}

} // namespace ui
