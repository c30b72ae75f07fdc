#include "ui/platform/PngDecoder.h"

#include <algorithm>
#include <cstring>

namespace ui {

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Signature, chunk length, "IHDR", width, height.
constexpr size_t kHeaderBytes = 24;

uint32_t BigEndian32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

bool PlausibleHeader(std::span<const uint8_t> bytes) {
    if (bytes.size() < kHeaderBytes || std::memcmp(bytes.data(), kPngSignature, 8) != 0 ||
        std::memcmp(bytes.data() + 12, "IHDR", 4) != 0) {
        return false;
    }
    const uint64_t width = BigEndian32(bytes.data() + 16);
    const uint64_t height = BigEndian32(bytes.data() + 20);
    return width > 0 && height > 0 && width * height <= kMaxDecodedPixels;
}

struct ByteReader {
    std::span<const uint8_t> bytes;
    size_t position = 0;
};

cairo_status_t ReadBytes(void* closure, unsigned char* data, unsigned int length) {
    auto* reader = static_cast<ByteReader*>(closure);
    if (length > reader->bytes.size() - reader->position) {
        return CAIRO_STATUS_READ_ERROR;
    }
    std::memcpy(data, reader->bytes.data() + reader->position, length);
    reader->position += length;
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

CairoSurface DecodePng(std::span<const uint8_t> bytes) {
    if (!PlausibleHeader(bytes)) {
        return nullptr;
    }
    ByteReader reader{bytes};
    CairoSurface decoded(cairo_image_surface_create_from_png_stream(ReadBytes, &reader));
    if (cairo_surface_status(decoded.get()) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    if (cairo_image_surface_get_format(decoded.get()) == CAIRO_FORMAT_ARGB32) {
        return decoded;
    }
    // Opaque images come as RGB24, whose fourth byte is undefined: painting
    // them onto ARGB32 makes every alpha 255 (and converts any other format).
    const int width = cairo_image_surface_get_width(decoded.get());
    const int height = cairo_image_surface_get_height(decoded.get());
    CairoSurface converted(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    CairoContext cr(cairo_create(converted.get()));
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr.get(), decoded.get(), 0.0, 0.0);
    cairo_paint(cr.get());
    cr.reset();
    cairo_surface_flush(converted.get());
    if (cairo_surface_status(converted.get()) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    return converted;
}

} // namespace ui
