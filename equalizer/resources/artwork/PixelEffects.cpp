#include "equalizer/resources/artwork/PixelEffects.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace artwork {

namespace {

// Brightness offsets in 8-bit levels; enough to read as metal, little enough
// to leave text and the editor's own drawing on the panel clean.
constexpr double kStreakLevels = 2.1;
constexpr double kLineLevels = 0.8;
constexpr double kGrainLevels = 1.1;
constexpr double kStreakUnits = 30.0; // length of a streak, logical units

// Running box filter of width 2r+1 over `count` values spaced `stride` apart,
// edges held at the outermost value.
void BoxPass(std::vector<double>& values, int count, int stride, int offset, int r,
             std::vector<double>& scratch) {
    scratch.resize(count);
    for (int i = 0; i < count; ++i)
        scratch[i] = values[offset + i * stride];
    const double norm = 1.0 / (2 * r + 1);
    double sum = 0.0;
    for (int k = -r; k <= r; ++k)
        sum += scratch[std::clamp(k, 0, count - 1)];
    for (int i = 0; i < count; ++i) {
        values[offset + i * stride] = sum * norm;
        sum += scratch[std::min(i + r + 1, count - 1)] - scratch[std::max(i - r, 0)];
    }
}

void BoxBlur(std::vector<double>& values, int width, int height, int r, int passes) {
    std::vector<double> scratch;
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < height; ++y)
            BoxPass(values, width, 1, y * width, r, scratch);
        for (int x = 0; x < width; ++x)
            BoxPass(values, height, width, x, r, scratch);
    }
}

} // namespace

void BrushMetal(cairo_surface_t* surface, double scale, uint64_t seed) {
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    if (data == nullptr)
        throw std::runtime_error("brushing needs an image surface");

    Random random(seed);
    const int reach = std::max(1, static_cast<int>(std::lround(kStreakUnits * scale / 2)));
    // Two box passes of width w leave uniform noise with a standard deviation
    // of sqrt(2 / (9 w)); this brings the streaks back to unit deviation.
    const double streakGain = std::sqrt(9.0 * (2 * reach + 1) / 2.0);
    std::vector<double> row(width), scratch;
    for (int y = 0; y < height; ++y) {
        for (double& v : row)
            v = random.Signed();
        BoxPass(row, width, 1, 0, reach, scratch);
        BoxPass(row, width, 1, 0, reach, scratch);
        const double line = random.Signed() * kLineLevels;
        auto* pixels = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            const double delta =
                row[x] * streakGain * kStreakLevels + line + random.Signed() * kGrainLevels;
            const int offset = static_cast<int>(std::lround(delta));
            uint32_t pixel = pixels[x];
            uint32_t out = pixel & 0xFF000000u;
            for (int shift = 0; shift <= 16; shift += 8) {
                const int channel = static_cast<int>((pixel >> shift) & 0xFF) + offset;
                out |= static_cast<uint32_t>(std::clamp(channel, 0, 255)) << shift;
            }
            pixels[x] = out;
        }
    }
    cairo_surface_mark_dirty(surface);
}

void BlurAlpha(cairo_surface_t* surface, int radiusPixels) {
    if (radiusPixels <= 0)
        return;
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    if (data == nullptr || cairo_image_surface_get_format(surface) != CAIRO_FORMAT_A8)
        throw std::runtime_error("blurring needs an A8 image surface");

    std::vector<double> values(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            values[static_cast<size_t>(y) * width + x] = data[y * stride + x];
    BoxBlur(values, width, height, radiusPixels, 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            data[y * stride + x] = static_cast<unsigned char>(
                std::clamp(std::lround(values[static_cast<size_t>(y) * width + x]), 0l, 255l));
    cairo_surface_mark_dirty(surface);
}

} // namespace artwork
