#include "ui/platform/IEditorDrawing.h"

#include "ui/platform/CairoPaint.h"
#include "ui/platform/PngDecoder.h"
#include "ui/platform/Resources.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>

namespace ui {

namespace {

constexpr int32_t kBytesPerPixel = 4;
// Image files larger than this are not read.
constexpr size_t kMaxImageFileBytes = 256u << 20;

class HeapPixelMemory final : public PixelMemory {
public:
    explicit HeapPixelMemory(size_t bytes) : bytes(bytes) {}
    uint8_t* Data() override { return bytes.data(); }

private:
    std::vector<uint8_t> bytes;
};

// trunc(ceil(trunc(logical x drawScale) x screenScale)): the zoomed size is
// truncated before the monitor factor applies.
int32_t SurfaceSide(int32_t logical, float drawScale, float screenScale) {
    const float zoomed = std::trunc(static_cast<float>(logical) * drawScale);
    const float side = std::ceil(zoomed * screenScale);
    if (!std::isfinite(side) || side <= 0.0f) {
        return 0;
    }
    return side > static_cast<float>(IEditorDrawing::kMaxSurfaceSide) + 1.0f
               ? IEditorDrawing::kMaxSurfaceSide + 1
               : static_cast<int32_t>(side);
}

cairo_matrix_t ToMatrix(const ITransform& t) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.xx, t.yx, t.xy, t.yy, t.tx, t.ty);
    return m;
}

bool Invertible(const cairo_matrix_t& matrix) {
    cairo_matrix_t copy = matrix;
    return cairo_matrix_invert(&copy) == CAIRO_STATUS_SUCCESS;
}

template <typename... T> bool Finite(T... values) {
    return (std::isfinite(values) && ...);
}

double Radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

cairo_line_cap_t CairoCap(int32_t cap) {
    switch (cap) {
    case kCapRound:
        return CAIRO_LINE_CAP_ROUND;
    case kCapSquare:
        return CAIRO_LINE_CAP_SQUARE;
    default:
        return CAIRO_LINE_CAP_BUTT;
    }
}

cairo_line_join_t CairoJoin(int32_t join) {
    switch (join) {
    case kJoinRound:
        return CAIRO_LINE_JOIN_ROUND;
    case kJoinBevel:
        return CAIRO_LINE_JOIN_BEVEL;
    default:
        return CAIRO_LINE_JOIN_MITER;
    }
}

// Applies the dash lengths, or a solid line when they are unusable (Cairo
// puts a context into an error state for negative or all-zero dashes).
void SetDashes(cairo_t* cr, const IStrokeStyle& style) {
    const int32_t count = std::clamp(style.dashCount, 0, IStrokeStyle::kMaxDashes);
    double intervals[2 * IStrokeStyle::kMaxDashes];
    // An odd list runs twice so that on and off alternate through it.
    const int32_t total = count % 2 == 1 ? 2 * count : count;
    bool anyPositive = false;
    for (int32_t i = 0; i < total; ++i) {
        const double length = style.dashes[static_cast<size_t>(i % count)];
        if (!std::isfinite(length) || length < 0.0) {
            cairo_set_dash(cr, nullptr, 0, 0.0);
            return;
        }
        anyPositive = anyPositive || length > 0.0;
        intervals[i] = length;
    }
    const double offset = std::isfinite(style.dashOffset) ? style.dashOffset : 0.0;
    cairo_set_dash(cr, intervals, anyPositive ? total : 0, offset);
}

// A segment on an empty path starts from the origin.
void StartAtOriginIfEmpty(cairo_t* cr) {
    if (!cairo_has_current_point(cr)) {
        cairo_move_to(cr, 0.0, 0.0);
    }
}

// cairo_clip consumes the current path; a path being built survives a clip
// change in device coordinates, restored when this goes out of scope.
class KeptPath {
public:
    KeptPath(cairo_t* cr, bool hasSegments) : cr(cr) {
        if (hasSegments) {
            cairo_matrix_t saved;
            cairo_get_matrix(cr, &saved);
            cairo_identity_matrix(cr);
            path.reset(cairo_copy_path(cr));
            cairo_set_matrix(cr, &saved);
        }
        cairo_new_path(cr);
    }
    ~KeptPath() {
        if (path && path->status == CAIRO_STATUS_SUCCESS) {
            cairo_matrix_t saved;
            cairo_get_matrix(cr, &saved);
            cairo_identity_matrix(cr);
            cairo_new_path(cr);
            cairo_append_path(cr, path.get());
            cairo_set_matrix(cr, &saved);
        }
    }
    KeptPath(const KeptPath&) = delete;
    KeptPath& operator=(const KeptPath&) = delete;

private:
    cairo_t* cr;
    CairoPath path;
};

} // namespace

CairoBitmap::CairoBitmap(CairoSurface imageSurface, int32_t scale, float drawScale, bool isLayer)
    : APIBitmap(cairo_image_surface_get_width(imageSurface.get()),
                cairo_image_surface_get_height(imageSurface.get()), scale, drawScale),
      surface(std::move(imageSurface)) {
    if (isLayer) {
        canvas.reset(cairo_create(surface.get()));
        cairo_save(canvas.get());
    }
}

IEditorDrawing::IEditorDrawing(IGraphicalEditorDelegate& delegate, int32_t width, int32_t height,
                               int32_t fps, float drawScale)
    : IEditorCore(delegate, width, height, fps, drawScale), typefaceUse(ProcessTypefaceCache()),
      fontOptions(cairo_font_options_create()) {
    cairo_matrix_init_identity(&pathMatrix);
    cairo_matrix_init_identity(&clipMatrix);
    cairo_matrix_init_identity(&finalMatrix);
    // Slight hinting keeps glyph shapes; unhinted metrics keep advances
    // linear in the size, so text measures the same at every zoom.
    cairo_font_options_set_hint_style(fontOptions.get(), CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(fontOptions.get(), CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(fontOptions.get(), CAIRO_ANTIALIAS_GRAY);
}

IEditorDrawing::~IEditorDrawing() {
    ReleaseDrawingSurface();
}

std::unique_ptr<PixelMemory> IEditorDrawing::AllocatePixelMemory(size_t bytes) {
    try {
        return std::make_unique<HeapPixelMemory>(bytes);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void IEditorDrawing::ReleaseDrawingSurface() {
    canvas = nullptr;
    mainCanvas.reset();
    surface.reset();
    pixelMemory.reset();
    pixelWidth = 0;
    pixelHeight = 0;
}

void IEditorDrawing::ResizeDrawingSurface() {
    ReleaseDrawingSurface();
    const int32_t w = SurfaceSide(width, drawScale, screenScale);
    const int32_t h = SurfaceSide(height, drawScale, screenScale);
    if (w <= 0 || h <= 0 || w > kMaxSurfaceSide || h > kMaxSurfaceSide) {
        return;
    }
    const int32_t stride = w * kBytesPerPixel;
    std::unique_ptr<PixelMemory> memory =
        AllocatePixelMemory(static_cast<size_t>(stride) * static_cast<size_t>(h));
    if (!memory || !memory->Data()) {
        return;
    }
    CairoSurface created(
        cairo_image_surface_create_for_data(memory->Data(), CAIRO_FORMAT_ARGB32, w, h, stride));
    if (cairo_surface_status(created.get()) != CAIRO_STATUS_SUCCESS) {
        return;
    }
    mainCanvas.reset(cairo_create(created.get()));
    cairo_save(mainCanvas.get()); // the base level every SetClipRect returns to
    pixelMemory = std::move(memory);
    surface = std::move(created);
    pixelWidth = w;
    pixelHeight = h;
    canvas = mainCanvas.get();
    pathHasSegments = false;
    UpdateMatrices();
}

FrameBufferView IEditorDrawing::FrameBuffer() const {
    if (!surface) {
        return {};
    }
    return {pixelMemory->Data(), pixelWidth, pixelHeight, pixelWidth * kBytesPerPixel};
}

void IEditorDrawing::EndFrame() {
    if (surface) {
        cairo_surface_flush(surface.get());
    }
    PresentFrame();
}

bool IEditorDrawing::SupportsImageType(const char* extension) const {
    return extension && UpperAscii(extension).find("PNG") != std::string::npos;
}

const char* IEditorDrawing::BackendName() const {
    return "CAIRO | CPU";
}

// ---- Coordinates ----

void IEditorDrawing::ApplyMatrix(const cairo_matrix_t& matrix) {
    if (canvas) {
        cairo_set_matrix(canvas, &matrix);
    }
}

void IEditorDrawing::UpdateMatrices() {
    const double s = static_cast<double>(drawScale) * static_cast<double>(screenScale);
    double layerLeft = 0.0, layerTop = 0.0;
    if (!layerStack.empty()) {
        layerLeft = layerStack.back().rect.L;
        layerTop = layerStack.back().rect.T;
    }
    cairo_matrix_init_scale(&clipMatrix, s, s);
    cairo_matrix_translate(&clipMatrix, -layerLeft, -layerTop);
    cairo_matrix_multiply(&finalMatrix, &pathMatrix, &clipMatrix);
    // Cairo refuses a matrix it cannot invert (the context would stop
    // drawing for good), so such a transform draws nothing instead.
    transformUsable = Invertible(clipMatrix) && Invertible(finalMatrix);
    if (transformUsable) {
        ApplyMatrix(finalMatrix);
    }
}

void IEditorDrawing::SetPathTransform(const ITransform& transform) {
    pathMatrix = ToMatrix(transform);
    UpdateMatrices();
}

void IEditorDrawing::SetClipRect(const IRectangle& rect) {
    if (!canvas) {
        return;
    }
    {
        const KeptPath kept(canvas, pathHasSegments);
        cairo_restore(canvas);
        cairo_save(canvas);
        UpdateMatrices();
        if (Invertible(clipMatrix)) {
            cairo_set_matrix(canvas, &clipMatrix);
            // A rectangle that is not finite clips everything away.
            if (Finite(rect.L, rect.T, rect.R, rect.B)) {
                cairo_rectangle(canvas, rect.L, rect.T, rect.W(), rect.H());
            }
            cairo_set_antialias(canvas, CAIRO_ANTIALIAS_NONE);
            cairo_clip(canvas);
            cairo_set_antialias(canvas, CAIRO_ANTIALIAS_DEFAULT);
        }
    }
    UpdateMatrices();
}

// ---- Bitmaps ----

void IEditorDrawing::DrawBitmap(const IBitmapRef& bitmap, const IRectangle& dest, int32_t srcX,
                                int32_t srcY, const IBlendMode* blend) {
    auto* image = dynamic_cast<CairoBitmap*>(bitmap.api.get());
    if (!CanDraw() || !image || !Finite(dest.L, dest.T, dest.R, dest.B)) {
        return;
    }
    const double c = image->Scale() * static_cast<double>(image->DrawScale());
    if (!(c > 0.0) || !std::isfinite(c)) {
        return;
    }
    const KeptPath kept(canvas, pathHasSegments);
    cairo_save(canvas);
    cairo_rectangle(canvas, dest.L, dest.T, dest.W(), dest.H());
    cairo_set_antialias(canvas, CAIRO_ANTIALIAS_NONE);
    cairo_clip(canvas);
    cairo_set_antialias(canvas, CAIRO_ANTIALIAS_DEFAULT);
    cairo_translate(canvas, dest.L, dest.T);
    cairo_scale(canvas, 1.0 / c, 1.0 / c);
    cairo_translate(canvas, -srcX * c, -srcY * c);
    cairo_set_source_surface(canvas, image->Surface(), 0.0, 0.0);
    cairo_pattern_set_filter(cairo_get_source(canvas), CAIRO_FILTER_BILINEAR);
    cairo_set_operator(canvas, BlendOperator(blend));
    cairo_paint_with_alpha(canvas, BlendAlpha(blend));
    cairo_restore(canvas);
}

std::unique_ptr<APIBitmap> IEditorDrawing::LoadBitmapData(const uint8_t* bytes, size_t count,
                                                          int32_t scale) {
    if (!bytes) {
        return nullptr;
    }
    CairoSurface decoded = DecodePng({bytes, count});
    if (!decoded) {
        return nullptr;
    }
    return std::make_unique<CairoBitmap>(std::move(decoded), scale, 1.0f, false);
}

std::unique_ptr<APIBitmap> IEditorDrawing::LoadBitmapResource(const std::string& nameOrPath,
                                                              int32_t scale,
                                                              ResourceLocation location,
                                                              const std::string& type) {
    if (location == ResourceLocation::Embedded) {
        const auto bytes = LoadResourceBytes(resources, nameOrPath, type);
        return bytes.empty() ? nullptr : LoadBitmapData(bytes.data(), bytes.size(), scale);
    }
    const auto bytes = ReadWholeFile(nameOrPath, kMaxImageFileBytes);
    return bytes ? LoadBitmapData(bytes->data(), bytes->size(), scale) : nullptr;
}

// ---- Paths ----

void IEditorDrawing::PathClear() {
    if (canvas) {
        cairo_new_path(canvas);
    }
    pathHasSegments = false;
}

void IEditorDrawing::PathClose() {
    if (canvas) {
        cairo_close_path(canvas);
    }
}

void IEditorDrawing::PathMoveTo(float x, float y) {
    if (CanDraw() && Finite(x, y)) {
        cairo_move_to(canvas, x, y);
        pathHasSegments = true;
    }
}

void IEditorDrawing::PathLineTo(float x, float y) {
    if (CanDraw() && Finite(x, y)) {
        StartAtOriginIfEmpty(canvas);
        cairo_line_to(canvas, x, y);
        pathHasSegments = true;
    }
}

void IEditorDrawing::PathCubicTo(float x1, float y1, float x2, float y2, float x3, float y3) {
    if (CanDraw() && Finite(x1, y1, x2, y2, x3, y3)) {
        StartAtOriginIfEmpty(canvas);
        cairo_curve_to(canvas, x1, y1, x2, y2, x3, y3);
        pathHasSegments = true;
    }
}

void IEditorDrawing::PathQuadTo(float cx, float cy, float x2, float y2) {
    if (!CanDraw() || !Finite(cx, cy, x2, y2)) {
        return;
    }
    StartAtOriginIfEmpty(canvas);
    double x0 = 0.0, y0 = 0.0;
    cairo_get_current_point(canvas, &x0, &y0);
    // The cubic with the same curve: control points 2/3 of the way to the
    // quadratic's control point.
    constexpr double k = 2.0 / 3.0;
    cairo_curve_to(canvas, x0 + k * (cx - x0), y0 + k * (cy - y0), x2 + k * (cx - x2),
                   y2 + k * (cy - y2), x2, y2);
    pathHasSegments = true;
}

void IEditorDrawing::PathArc(float cx, float cy, float radius, float startDegrees, float endDegrees,
                             bool counterClockwise) {
    if (!CanDraw() || !Finite(cx, cy, radius, startDegrees, endDegrees) || radius <= 0.0f) {
        return;
    }
    double sweep = static_cast<double>(endDegrees) - startDegrees;
    if (sweep >= 360.0 || sweep <= -360.0) {
        cairo_new_sub_path(canvas);
        cairo_arc(canvas, cx, cy, radius, 0.0, 2.0 * std::numbers::pi);
        cairo_close_path(canvas);
        pathHasSegments = true;
        return;
    }
    if (counterClockwise) {
        while (sweep > 0.0) {
            sweep -= 360.0;
        }
    } else {
        while (sweep < 0.0) {
            sweep += 360.0;
        }
    }
    // 0 degrees is twelve o'clock; Cairo's 0 is three o'clock, and both run
    // clockwise on screen (y down).
    const double start = Radians(static_cast<double>(startDegrees) - 90.0);
    const double end = start + Radians(sweep);
    if (sweep >= 0.0) {
        cairo_arc(canvas, cx, cy, radius, start, end);
    } else {
        cairo_arc_negative(canvas, cx, cy, radius, start, end);
    }
    pathHasSegments = true;
}

void IEditorDrawing::SetSource(const IFillPattern& pattern, const IBlendMode* blend) {
    // A sweep must reach every corner of the canvas from its centre.
    double coverRadius = 0.0;
    if (pattern.type == kPatternSweep) {
        cairo_surface_t* target = cairo_get_target(canvas);
        const double w = cairo_image_surface_get_width(target);
        const double h = cairo_image_surface_get_height(target);
        const double corners[4][2] = {{0, 0}, {w, 0}, {0, h}, {w, h}};
        const ITransform& t = pattern.transform;
        cairo_matrix_t toCentre;
        cairo_matrix_init(&toCentre, t.xx, t.yx, t.xy, t.yy, t.tx, t.ty);
        double centreX = 0.0, centreY = 0.0;
        if (cairo_matrix_invert(&toCentre) == CAIRO_STATUS_SUCCESS) {
            cairo_matrix_transform_point(&toCentre, &centreX, &centreY);
        }
        for (const auto& corner : corners) {
            double x = corner[0], y = corner[1];
            cairo_device_to_user(canvas, &x, &y);
            coverRadius = std::max(coverRadius, std::hypot(x - centreX, y - centreY));
        }
    }
    CairoPattern source = MakePatternSource(pattern, blend, coverRadius);
    cairo_set_source(canvas, source.get());
    cairo_set_operator(canvas, BlendOperator(blend));
}

void IEditorDrawing::FinishPath(bool preserve) {
    if (!preserve) {
        cairo_new_path(canvas);
        pathHasSegments = false;
    }
}

void IEditorDrawing::PathFill(const IFillPattern& pattern, const IFillStyle& style,
                              const IBlendMode* blend) {
    if (!CanDraw()) {
        PathClear();
        return;
    }
    SetSource(pattern, blend);
    cairo_set_fill_rule(canvas,
                        style.fillRule != 0 ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_fill_preserve(canvas);
    FinishPath(style.preserve);
}

void IEditorDrawing::PathStroke(const IFillPattern& pattern, float thickness,
                                const IStrokeStyle& style, const IBlendMode* blend) {
    if (!CanDraw() || !std::isfinite(thickness)) {
        PathClear();
        return;
    }
    SetSource(pattern, blend);
    cairo_set_line_width(canvas, std::max(0.0f, thickness));
    cairo_set_line_cap(canvas, CairoCap(style.cap));
    cairo_set_line_join(canvas, CairoJoin(style.join));
    cairo_set_miter_limit(canvas, std::isfinite(style.miterLimit) ? style.miterLimit : 10.0);
    SetDashes(canvas, style);
    cairo_stroke_preserve(canvas);
    FinishPath(style.preserve);
}

// ---- Canvases ----

void IEditorDrawing::SelectLayerCanvas() {
    canvas = mainCanvas.get();
    if (!layerStack.empty()) {
        if (auto* layer = dynamic_cast<CairoBitmap*>(layerStack.back().bitmap.get());
            layer && layer->IsLayer()) {
            canvas = layer->Canvas();
        }
    }
    pathHasSegments = true; // whatever the canvas holds survives a clip change
    UpdateMatrices();
}

std::unique_ptr<APIBitmap> IEditorDrawing::CreateLayerBitmap(int32_t pixelWidth,
                                                             int32_t pixelHeight, int32_t scale,
                                                             float layerDrawScale) {
    const int32_t w = std::clamp(pixelWidth, 0, kMaxSurfaceSide);
    const int32_t h = std::clamp(pixelHeight, 0, kMaxSurfaceSide);
    CairoSurface layerSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
    if (cairo_surface_status(layerSurface.get()) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    return std::make_unique<CairoBitmap>(std::move(layerSurface), scale, layerDrawScale, true);
}

IColour IEditorDrawing::ReadPixel(int32_t x, int32_t y) const {
    if (!canvas) {
        return {0, 0, 0, 0};
    }
    cairo_surface_t* target = cairo_get_target(canvas);
    cairo_surface_flush(target);
    const uint8_t* data = cairo_image_surface_get_data(target);
    const int32_t w = cairo_image_surface_get_width(target);
    const int32_t h = cairo_image_surface_get_height(target);
    if (!data || x < 0 || y < 0 || x >= w || y >= h) {
        return {0, 0, 0, 0};
    }
    uint32_t pixel;
    std::memcpy(&pixel,
                data + static_cast<size_t>(y) * cairo_image_surface_get_stride(target) +
                    static_cast<size_t>(x) * kBytesPerPixel,
                sizeof pixel);
    return {static_cast<int32_t>(pixel >> 24), static_cast<int32_t>(pixel >> 16 & 0xFF),
            static_cast<int32_t>(pixel >> 8 & 0xFF), static_cast<int32_t>(pixel & 0xFF)};
}

} // namespace ui
