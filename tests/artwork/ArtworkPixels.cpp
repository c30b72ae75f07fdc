#include "ArtworkPixels.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>

namespace artwork_test {

std::string ArtworkPath(const std::string& name) {
    return std::string(LUMARO_ARTWORK_DIR) + "/" + name;
}

PngHeader ReadPngHeader(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    unsigned char bytes[26] = {};
    if (!file.read(reinterpret_cast<char*>(bytes), sizeof bytes))
        return {};
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!std::equal(kSignature, kSignature + 8, bytes) ||
        std::string(bytes + 12, bytes + 16) != "IHDR")
        return {};
    auto be32 = [&](int at) {
        return static_cast<int>((bytes[at] << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) |
                                bytes[at + 3]);
    };
    return {be32(16), be32(20), bytes[24], bytes[25]};
}

Image Decode(const std::string& path) {
    cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
    Image image;
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        const bool opaque = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24;
        image.width = cairo_image_surface_get_width(surface);
        image.height = cairo_image_surface_get_height(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        image.pixels.resize(static_cast<size_t>(image.width) * image.height);
        for (int y = 0; y < image.height; ++y) {
            const auto* row =
                reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
            for (int x = 0; x < image.width; ++x)
                image.pixels[static_cast<size_t>(y) * image.width + x] =
                    opaque ? (row[x] | 0xFF000000u) : row[x];
        }
    }
    cairo_surface_destroy(surface);
    return image;
}

double Image::Luma(int x, int y) const {
    const uint32_t p = At(x, y);
    return 0.2126 * ((p >> 16) & 0xFF) + 0.7152 * ((p >> 8) & 0xFF) + 0.0722 * (p & 0xFF);
}

double Image::LumaAt(double x, double y) const {
    // Pixel centres sit at half-integers.
    const double fx = x - 0.5, fy = y - 0.5;
    const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
    const double tx = fx - x0, ty = fy - y0;
    auto sample = [&](int px, int py) {
        return px < 0 || py < 0 || px >= width || py >= height ? 0.0 : Luma(px, py);
    };
    return (sample(x0, y0) * (1 - tx) + sample(x0 + 1, y0) * tx) * (1 - ty) +
           (sample(x0, y0 + 1) * (1 - tx) + sample(x0 + 1, y0 + 1) * tx) * ty;
}

namespace {
Point Along(Point centre, double degrees, double radius) {
    const double r = degrees * std::numbers::pi / 180.0;
    return {centre.x + std::sin(r) * radius, centre.y - std::cos(r) * radius};
}
} // namespace

double BrightestRayDegrees(const Image& image, Point centre, double innerRadius,
                           double outerRadius) {
    double best = -1.0, bestDegrees = 0.0;
    for (int step = 0; step < 720; ++step) {
        const double degrees = -180.0 + step * 0.5;
        double sum = 0.0;
        for (double r = innerRadius; r <= outerRadius; r += 0.5) {
            const Point p = Along(centre, degrees, r);
            sum += image.LumaAt(p.x, p.y);
        }
        if (sum > best) {
            best = sum;
            bestDegrees = degrees;
        }
    }
    return bestDegrees;
}

double PeakAlongRay(const Image& image, Point centre, double degrees, double innerRadius,
                    double outerRadius) {
    double peak = 0.0;
    for (double r = innerRadius; r <= outerRadius; r += 0.25) {
        const Point p = Along(centre, degrees, r);
        peak = std::max(peak, image.LumaAt(p.x, p.y));
    }
    return peak;
}

RegionStats LumaStats(const Image& image, int left, int top, int right, int bottom) {
    double sum = 0.0, squares = 0.0;
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            const double l = image.Luma(x, y);
            sum += l;
            squares += l * l;
            ++count;
        }
    const double mean = sum / count;
    return {mean, std::sqrt(std::max(0.0, squares / count - mean * mean))};
}

double AngleDistance(double a, double b) {
    const double d = std::fmod(std::abs(a - b), 360.0);
    return std::min(d, 360.0 - d);
}

} // namespace artwork_test
