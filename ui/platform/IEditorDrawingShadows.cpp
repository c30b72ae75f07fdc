// Layer pixels and shadows of the drawing backend.

#include "ui/platform/IEditorDrawing.h"

#include "ui/platform/CairoPaint.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace ui {

namespace {

constexpr int32_t kBytesPerPixel = 4;
// Layer rows handed to the core's blur are a multiple of this many pixels.
constexpr int32_t kRowAlignPixels = 8;
// Three box blurs in a row come close to a Gaussian.
constexpr int32_t kBoxPasses = 3;
// A Gaussian is negligible beyond three sigmas.
constexpr double kSigmaReach = 3.0;
constexpr int32_t kShadowAlpha = 128;

int32_t LayerStride(int32_t width) {
    return (width + kRowAlignPixels - 1) / kRowAlignPixels * kRowAlignPixels * kBytesPerPixel;
}

CairoBitmap* LayerOf(const IDrawLayer& layer) {
    auto* bitmap = dynamic_cast<CairoBitmap*>(layer.bitmap.get());
    return bitmap && bitmap->IsLayer() ? bitmap : nullptr;
}

// One box blur of radius r along rows (step 1) or columns (step = stride).
void BoxBlurLine(uint8_t* line, int32_t count, int32_t step, int32_t r, std::vector<uint8_t>& tmp) {
    tmp.resize(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        tmp[static_cast<size_t>(i)] = line[static_cast<ptrdiff_t>(i) * step];
    }
    const int32_t window = 2 * r + 1;
    int32_t sum = 0;
    for (int32_t i = -r - 1; i < r; ++i) {
        sum += i >= 0 && i < count ? tmp[static_cast<size_t>(i)] : 0;
    }
    for (int32_t i = 0; i < count; ++i) {
        const int32_t in = i + r;
        const int32_t out = i - r - 1;
        sum += in < count ? tmp[static_cast<size_t>(in)] : 0;
        sum -= out >= 0 ? tmp[static_cast<size_t>(out)] : 0;
        line[static_cast<ptrdiff_t>(i) * step] = static_cast<uint8_t>(sum / window);
    }
}

// An A8 image blurred in place (a Gaussian of that sigma, approximately).
void BlurAlpha(cairo_surface_t* mask, double sigma) {
    // Width of each box so that kBoxPasses of them have the Gaussian's variance.
    const int32_t r = static_cast<int32_t>(
        std::lround((std::sqrt(12.0 * sigma * sigma / kBoxPasses + 1.0) - 1.0) * 0.5));
    if (r <= 0) {
        return;
    }
    cairo_surface_flush(mask);
    uint8_t* data = cairo_image_surface_get_data(mask);
    const int32_t w = cairo_image_surface_get_width(mask);
    const int32_t h = cairo_image_surface_get_height(mask);
    const int32_t stride = cairo_image_surface_get_stride(mask);
    std::vector<uint8_t> tmp;
    for (int32_t pass = 0; pass < kBoxPasses; ++pass) {
        for (int32_t y = 0; y < h; ++y) {
            BoxBlurLine(data + static_cast<ptrdiff_t>(y) * stride, w, 1, r, tmp);
        }
        for (int32_t x = 0; x < w; ++x) {
            BoxBlurLine(data + x, h, stride, r, tmp);
        }
    }
    cairo_surface_mark_dirty(mask);
}

void RoundedRectangle(cairo_t* cr, double x, double y, double w, double h, double radius) {
    radius = std::clamp(radius, 0.0, std::min(w, h) * 0.5);
    constexpr double kQuarter = std::numbers::pi / 2.0;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - radius, y + radius, radius, -kQuarter, 0.0);
    cairo_arc(cr, x + w - radius, y + h - radius, radius, 0.0, kQuarter);
    cairo_arc(cr, x + radius, y + h - radius, radius, kQuarter, 2.0 * kQuarter);
    cairo_arc(cr, x + radius, y + radius, radius, 2.0 * kQuarter, 3.0 * kQuarter);
    cairo_close_path(cr);
}

} // namespace

void IEditorDrawing::ReadLayerPixels(const IDrawLayer& layer, std::vector<uint8_t>& pixels) const {
    CairoBitmap* bitmap = LayerOf(layer);
    if (!bitmap) {
        pixels.clear();
        return;
    }
    cairo_surface_t* source = bitmap->Surface();
    cairo_surface_flush(source);
    const int32_t w = cairo_image_surface_get_width(source);
    const int32_t h = cairo_image_surface_get_height(source);
    const int32_t stride = LayerStride(w);
    pixels.assign(static_cast<size_t>(stride) * static_cast<size_t>(h), 0);
    const uint8_t* data = cairo_image_surface_get_data(source);
    if (!data) {
        return;
    }
    const int32_t sourceStride = cairo_image_surface_get_stride(source);
    for (int32_t y = 0; y < h; ++y) {
        std::memcpy(pixels.data() + static_cast<size_t>(y) * stride,
                    data + static_cast<size_t>(y) * sourceStride,
                    static_cast<size_t>(w) * kBytesPerPixel);
    }
}

void IEditorDrawing::ApplyShadowMask(const IDrawLayer& layer, const std::vector<uint8_t>& mask,
                                     const IShadowStyle& shadow) {
    CairoBitmap* bitmap = LayerOf(layer);
    if (!bitmap) {
        return;
    }
    cairo_t* cr = bitmap->Canvas();
    const int32_t w = bitmap->PixelWidth();
    const int32_t h = bitmap->PixelHeight();
    const int32_t stride = LayerStride(w);
    if (w <= 0 || h <= 0 || mask.size() < static_cast<size_t>(stride) * static_cast<size_t>(h)) {
        return;
    }
    const double s = bitmap->Scale() * static_cast<double>(bitmap->DrawScale());
    // Cairo only reads the mask; the cast is for its signature.
    CairoSurface maskImage(cairo_image_surface_create_for_data(const_cast<uint8_t*>(mask.data()),
                                                               CAIRO_FORMAT_ARGB32, w, h, stride));
    CairoSurface foreground;
    if (shadow.drawForeground) {
        foreground.reset(
            cairo_surface_create_similar_image(bitmap->Surface(), CAIRO_FORMAT_ARGB32, w, h));
        CairoContext copy(cairo_create(foreground.get()));
        cairo_set_source_surface(copy.get(), bitmap->Surface(), 0.0, 0.0);
        cairo_set_operator(copy.get(), CAIRO_OPERATOR_SOURCE);
        cairo_paint(copy.get());
    }
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    const double offsetX = std::isfinite(shadow.xOffset) ? shadow.xOffset * s : 0.0;
    const double offsetY = std::isfinite(shadow.yOffset) ? shadow.yOffset * s : 0.0;
    cairo_set_source_surface(cr, maskImage.get(), offsetX, offsetY);
    cairo_paint(cr);
    if (s > 0.0 && std::isfinite(s)) {
        cairo_scale(cr, s, s);
        cairo_translate(cr, -layer.rect.L, -layer.rect.T);
    }
    const IBlendMode opacity{
        kBlendDefault,
        std::clamp(std::isfinite(shadow.opacity) ? shadow.opacity : 0.0f, 0.0f, 1.0f)};
    CairoPattern fill = MakePatternSource(shadow.pattern, &opacity, std::hypot(w, h));
    cairo_set_source(cr, fill.get());
    cairo_set_operator(cr, CAIRO_OPERATOR_IN); // only where the mask has coverage
    cairo_paint(cr);
    if (foreground) {
        cairo_identity_matrix(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        cairo_set_source_surface(cr, foreground.get(), 0.0, 0.0);
        cairo_paint(cr);
    }
    cairo_restore(cr);
    cairo_surface_flush(bitmap->Surface());
}

void IEditorDrawing::DrawDropShadowBox(const IRectangle& box, float /*unused*/, float drop,
                                       float roundness, float blur, const IBlendMode* blend) {
    if (!CanDraw() || !std::isfinite(drop) || !std::isfinite(roundness) || !std::isfinite(blur) ||
        !std::isfinite(box.L) || !std::isfinite(box.T) || !std::isfinite(box.R) ||
        !std::isfinite(box.B)) {
        return;
    }
    // The shape in device pixels; the blur follows the canvas's scale.
    double x0 = box.L + drop, y0 = box.T + drop, x1 = box.R + drop, y1 = box.B + drop;
    cairo_user_to_device(canvas, &x0, &y0);
    cairo_user_to_device(canvas, &x1, &y1);
    double scaleX = 1.0, scaleY = 0.0;
    cairo_user_to_device_distance(canvas, &scaleX, &scaleY);
    const double deviceScale = std::hypot(scaleX, scaleY);
    const double sigma = std::max(0.0, blur * 0.5 * deviceScale);
    const double reach = std::ceil(kSigmaReach * sigma) + 1.0;
    cairo_surface_t* target = cairo_get_target(canvas);
    const double left = std::max(0.0, std::floor(std::min(x0, x1) - reach));
    const double top = std::max(0.0, std::floor(std::min(y0, y1) - reach));
    const double right = std::min<double>(cairo_image_surface_get_width(target),
                                          std::ceil(std::max(x0, x1) + reach));
    const double bottom = std::min<double>(cairo_image_surface_get_height(target),
                                           std::ceil(std::max(y0, y1) + reach));
    if (right <= left || bottom <= top) {
        return;
    }
    const int32_t w = static_cast<int32_t>(right - left);
    const int32_t h = static_cast<int32_t>(bottom - top);

    CairoSurface shape(cairo_image_surface_create(CAIRO_FORMAT_A8, w, h));
    CairoSurface blurred(cairo_image_surface_create(CAIRO_FORMAT_A8, w, h));
    for (cairo_surface_t* target : {shape.get(), blurred.get()}) {
        CairoContext cr(cairo_create(target));
        cairo_translate(cr.get(), -left, -top);
        RoundedRectangle(cr.get(), std::min(x0, x1), std::min(y0, y1), std::fabs(x1 - x0),
                         std::fabs(y1 - y0), roundness * deviceScale);
        cairo_fill(cr.get());
    }
    BlurAlpha(blurred.get(), sigma);
    // Solid inside, blurred outside: the larger of the two coverages.
    {
        CairoContext cr(cairo_create(blurred.get()));
        cairo_set_operator(cr.get(), CAIRO_OPERATOR_LIGHTEN);
        cairo_set_source_surface(cr.get(), shape.get(), 0.0, 0.0);
        cairo_paint(cr.get());
    }
    cairo_save(canvas);
    cairo_identity_matrix(canvas);
    cairo_set_source_rgba(canvas, 0.0, 0.0, 0.0, WeightedAlpha(kShadowAlpha, blend) / 255.0);
    cairo_set_operator(canvas, BlendOperator(blend));
    cairo_mask_surface(canvas, blurred.get(), left, top);
    cairo_restore(canvas);
}

} // namespace ui
