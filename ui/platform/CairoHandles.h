#pragma once

// Owning handles for the Cairo objects of the drawing backend: each releases
// its reference when it goes out of scope.

#include <cairo.h>

#include <memory>

namespace ui {

struct CairoContextRelease {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
struct CairoSurfaceRelease {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct CairoPatternRelease {
    void operator()(cairo_pattern_t* pattern) const { cairo_pattern_destroy(pattern); }
};
struct CairoFontFaceRelease {
    void operator()(cairo_font_face_t* face) const { cairo_font_face_destroy(face); }
};
struct CairoScaledFontRelease {
    void operator()(cairo_scaled_font_t* font) const { cairo_scaled_font_destroy(font); }
};
struct CairoFontOptionsRelease {
    void operator()(cairo_font_options_t* options) const { cairo_font_options_destroy(options); }
};
struct CairoPathRelease {
    void operator()(cairo_path_t* path) const { cairo_path_destroy(path); }
};

using CairoContext = std::unique_ptr<cairo_t, CairoContextRelease>;
using CairoSurface = std::unique_ptr<cairo_surface_t, CairoSurfaceRelease>;
using CairoPattern = std::unique_ptr<cairo_pattern_t, CairoPatternRelease>;
using CairoScaledFont = std::unique_ptr<cairo_scaled_font_t, CairoScaledFontRelease>;
using CairoFontOptions = std::unique_ptr<cairo_font_options_t, CairoFontOptionsRelease>;
using CairoPath = std::unique_ptr<cairo_path_t, CairoPathRelease>;

// A shared reference to a font face (copying takes another reference).
class CairoFontFace {
public:
    CairoFontFace() = default;
    // Adopts a reference the caller owns.
    explicit CairoFontFace(cairo_font_face_t* adopted) : face(adopted) {}
    CairoFontFace(const CairoFontFace& other)
        : face(other.face ? cairo_font_face_reference(other.face.get()) : nullptr) {}
    CairoFontFace(CairoFontFace&&) noexcept = default;
    CairoFontFace& operator=(CairoFontFace other) noexcept {
        face.swap(other.face);
        return *this;
    }
    cairo_font_face_t* get() const { return face.get(); }
    explicit operator bool() const { return face != nullptr; }

private:
    std::unique_ptr<cairo_font_face_t, CairoFontFaceRelease> face;
};

} // namespace ui
