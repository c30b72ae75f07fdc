#pragma once

// Reading the generated images back for the artwork tests: decoding with
// Cairo, the PNG header's own fields, and pixel measurements.

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

namespace artwork_test {

std::string ArtworkPath(const std::string& name);

// The bit depth and colour type stored in a PNG file's header (colour type 2
// is RGB, 6 is RGBA); 0 and 0 when the file is not a PNG.
struct PngHeader {
    int width = 0, height = 0, bitDepth = 0, colourType = 0;
};
PngHeader ReadPngHeader(const std::string& path);

// A decoded image; pixels premultiplied, 0xAARRGGBB (alpha 255 for RGB).
struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;

    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    int Alpha(int x, int y) const { return static_cast<int>(At(x, y) >> 24); }
    double Luma(int x, int y) const;         // 0..255, premultiplied
    double LumaAt(double x, double y) const; // bilinear, outside is 0
};
Image Decode(const std::string& path);

struct Point {
    double x, y;
};

// Direction of the brightest ray from `centre` between two radii, in degrees
// clockwise from twelve o'clock: where a knob's pointer line points.
double BrightestRayDegrees(const Image& image, Point centre, double innerRadius,
                           double outerRadius);

// The brightest sample along one ray between two radii.
double PeakAlongRay(const Image& image, Point centre, double degrees, double innerRadius,
                    double outerRadius);

struct RegionStats {
    double mean = 0.0, deviation = 0.0;
};
RegionStats LumaStats(const Image& image, int left, int top, int right, int bottom);

// The smallest distance between two angles in degrees.
double AngleDistance(double a, double b);

} // namespace artwork_test
