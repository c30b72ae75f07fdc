#include "equalizer/editor/GridFilmStrip.h"

#include <algorithm>
#include <cmath>

namespace equalizer {

int32_t GridFrameForValue(double value, int32_t frames) {
    if (frames < 2 || !(value == value))
        return 0;
    // Clamped before the conversion, so that no value can overflow it; the
    // result equals clamping the frame afterwards.
    const double position = std::clamp(value, 0.0, 1.0) * (frames - 1) + 0.5;
    return std::clamp(static_cast<int32_t>(position), 0, frames - 1);
}

GridCell GridCellOf(int32_t frame, const GridStrip& strip) {
    const int32_t columns = std::max(strip.columns, 1);
    const int32_t n = std::clamp(frame, 0, std::max(strip.frames, 1) - 1);
    return {n % columns, n / columns};
}

GridFrameSize GridFrameSizeOf(int32_t imageWidth, int32_t imageHeight, const GridStrip& strip) {
    return {imageWidth / std::max(strip.columns, 1), imageHeight / strip.Rows()};
}

double DetentValue(int32_t position, int32_t steps) {
    if (steps < 1)
        return 0.0;
    return static_cast<double>(static_cast<float>(position) / static_cast<float>(steps));
}

int32_t NearestDetent(double value, int32_t steps) {
    if (steps < 1 || !(value == value))
        return 0;
    const double position = std::floor(value * steps + 0.5);
    return static_cast<int32_t>(std::clamp(position, 0.0, static_cast<double>(steps)));
}

} // namespace equalizer
