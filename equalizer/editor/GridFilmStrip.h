#pragma once

// The grid film-strip format: N pictures of a control, one per position from
// the minimum (frame 0) to the maximum (frame N - 1), laid out row by row in
// C columns of one image. Which frame shows a value, where that frame lies,
// and the positions of a stepped knob. Pure functions, no dependencies (the
// artwork program uses them too); any thread.

#include <cstdint>

namespace equalizer {

struct GridStrip {
    int32_t frames = 1;
    int32_t columns = 1;

    // ceil(frames / columns); at least 1.
    constexpr int32_t Rows() const {
        const int32_t c = columns < 1 ? 1 : columns;
        const int32_t n = frames < 1 ? 1 : frames;
        return (n + c - 1) / c;
    }
};

struct GridCell {
    int32_t column = 0;
    int32_t row = 0;
    constexpr bool operator==(const GridCell&) const = default;
};

struct GridFrameSize {
    int32_t width = 0; // logical units
    int32_t height = 0;
    constexpr bool operator==(const GridFrameSize&) const = default;
};

// [any] The 0-based frame showing a normalized value: the nearest frame, a
// half going to the higher one, within [0, frames - 1]. A value beyond
// [0, 1] shows the end frame; a NaN shows frame 0.
int32_t GridFrameForValue(double value, int32_t frames);

// [any] Column and row of a frame (clamped into the strip).
GridCell GridCellOf(int32_t frame, const GridStrip& strip);

// [any] One frame's logical size: the image's logical width divided by the
// columns, its height by the rows (integer division).
GridFrameSize GridFrameSizeOf(int32_t imageWidth, int32_t imageHeight, const GridStrip& strip);

// [any] The value of position k of a knob with `steps` + 1 positions,
// k / steps with both operands and the quotient in single precision (the
// position values the host sees: 1 of 3 steps is 0.3333333432674408).
// 0 for steps < 1.
double DetentValue(int32_t position, int32_t steps);

// [any] The position nearest a value, floor(steps x value + 0.5), within
// [0, steps]; 0 for a NaN or steps < 1.
int32_t NearestDetent(double value, int32_t steps);

} // namespace equalizer
