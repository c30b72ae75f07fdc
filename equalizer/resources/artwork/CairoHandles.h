#pragma once

// Owning handles for the Cairo objects the artwork program creates, and the
// checks that turn a Cairo failure into an exception the program reports.

#include <cairo.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace artwork {

template <auto Release> struct CairoRelease {
    template <typename T> void operator()(T* object) const noexcept { Release(object); }
};

using SurfacePtr = std::unique_ptr<cairo_surface_t, CairoRelease<cairo_surface_destroy>>;
using ContextPtr = std::unique_ptr<cairo_t, CairoRelease<cairo_destroy>>;
using PatternPtr = std::unique_ptr<cairo_pattern_t, CairoRelease<cairo_pattern_destroy>>;
using FontFacePtr = std::unique_ptr<cairo_font_face_t, CairoRelease<cairo_font_face_destroy>>;

inline void ThrowIfFailed(cairo_status_t status, const char* what) {
    if (status != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error(std::string(what) + ": " + cairo_status_to_string(status));
}

// An image surface of the given pixel size, cleared (transparent, or black
// for CAIRO_FORMAT_RGB24).
inline SurfacePtr MakeImage(cairo_format_t format, int width, int height) {
    SurfacePtr surface(cairo_image_surface_create(format, width, height));
    ThrowIfFailed(cairo_surface_status(surface.get()), "image surface");
    return surface;
}

inline ContextPtr MakeContext(cairo_surface_t* surface) {
    ContextPtr context(cairo_create(surface));
    ThrowIfFailed(cairo_status(context.get()), "drawing context");
    return context;
}

inline PatternPtr CheckedPattern(cairo_pattern_t* pattern) {
    PatternPtr owned(pattern);
    ThrowIfFailed(cairo_pattern_status(pattern), "pattern");
    return owned;
}

// Saves and restores the context's state for one scope.
class SavedState {
public:
    explicit SavedState(cairo_t* cr) : cr(cr) { cairo_save(cr); }
    ~SavedState() { cairo_restore(cr); }
    SavedState(const SavedState&) = delete;
    SavedState& operator=(const SavedState&) = delete;

private:
    cairo_t* cr;
};

} // namespace artwork
