#pragma once

// The editor's drawing backend over Cairo (CPU image surfaces) with text
// through FreeType. One block of memory holds the editor's pixels; the window
// host, which derives from this class, presents that memory as it is.

#include "ui/IEditorCore.h"
#include "ui/platform/CairoHandles.h"
#include "ui/platform/ResourceTable.h"
#include "ui/platform/Typefaces.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace ui {

// The memory a frame's pixels live in. The default is ordinary heap memory;
// a window may supply memory it can present without a copy (shared memory
// with the X server, for instance).
class PixelMemory {
public:
    virtual ~PixelMemory() = default;
    virtual uint8_t* Data() = 0;
};

// The frame as the window presents it: premultiplied 32-bit pixels, in
// memory order blue, green, red, alpha (Cairo's ARGB32 on little-endian
// x86), top row first, rows stride bytes apart (width x 4).
struct FrameBufferView {
    const uint8_t* pixels = nullptr; // null when there is no surface
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
};

// A backend image: a decoded picture, or a layer that can be drawn into.
class CairoBitmap final : public APIBitmap {
public:
    // [ui] An image surface; a layer also gets a context of its own.
    CairoBitmap(CairoSurface surface, int32_t scale, float drawScale, bool isLayer);

    cairo_surface_t* Surface() const { return surface.get(); }
    // The layer's context; null for a decoded image.
    cairo_t* Canvas() const { return canvas.get(); }
    bool IsLayer() const { return canvas != nullptr; }

private:
    CairoSurface surface;
    CairoContext canvas;
};

class IEditorDrawing : public IEditorCore {
public:
    // Cairo's largest image side.
    static constexpr int32_t kMaxSurfaceSide = 32767;

    // [ui] Becomes a user of the process-wide typeface cache.
    IEditorDrawing(IGraphicalEditorDelegate& delegate, int32_t width, int32_t height, int32_t fps,
                   float drawScale);
    // [ui] Frees the surface and its memory, then leaves the typeface cache
    // (the last user empties it).
    ~IEditorDrawing() override;

    // ---- Backend operations of the editor core ----

    // [ui] Finishes the frame's drawing and hands it to PresentFrame().
    void EndFrame() final;
    // [ui] Bilinear; one bitmap pixel covers 1 / (scale x draw scale) logical
    // units; (srcX, srcY) of the bitmap lands on dest's top-left corner and
    // nothing outside dest is touched.
    void DrawBitmap(const IBitmapRef& bitmap, const IRectangle& dest, int32_t srcX, int32_t srcY,
                    const IBlendMode* blend = nullptr) override;
    // [any] PNG only: Cairo decodes nothing else.
    bool SupportsImageType(const char* extension) const override;
    // [any] "CAIRO | CPU".
    const char* BackendName() const override;
    // [ui] Path points are mapped by the path transform when they are added.
    void PathClear() override;
    void PathClose() override;
    void PathArc(float cx, float cy, float radius, float startDegrees, float endDegrees,
                 bool counterClockwise = false) override;
    void PathMoveTo(float x, float y) override;
    void PathLineTo(float x, float y) override;
    void PathCubicTo(float x1, float y1, float x2, float y2, float x3, float y3) override;
    void PathQuadTo(float cx, float cy, float x2, float y2) override;
    void PathStroke(const IFillPattern& pattern, float thickness, const IStrokeStyle& style,
                    const IBlendMode* blend = nullptr) override;
    void PathFill(const IFillPattern& pattern, const IFillStyle& style,
                  const IBlendMode* blend = nullptr) override;
    // [ui] A transform that cannot be inverted draws nothing until the next.
    void SetPathTransform(const ITransform& transform) override;
    // [ui] Replaces the clip; logical units, not transformed.
    void SetClipRect(const IRectangle& rect) override;
    // [ui] A buffer of trunc(ceil(trunc(width x drawScale) x screenScale))
    // by the same of height; no surface when a side is 0 or beyond Cairo's
    // limit (drawing then does nothing).
    void ResizeDrawingSurface() override;
    // [ui] Embedded: the bytes of the module's resource (SetResourceTable),
    // not copied; otherwise the file at that path. Null when unreadable.
    std::unique_ptr<APIBitmap> LoadBitmapResource(const std::string& nameOrPath, int32_t scale,
                                                  ResourceLocation location,
                                                  const std::string& type) override;
    // [ui] PNG bytes; null when they cannot be decoded.
    std::unique_ptr<APIBitmap> LoadBitmapData(const uint8_t* bytes, size_t count,
                                              int32_t scale) override;
    std::unique_ptr<APIBitmap> CreateLayerBitmap(int32_t pixelWidth, int32_t pixelHeight,
                                                 int32_t scale, float drawScale) override;
    void SelectLayerCanvas() override;
    // [ui] Holds the typeface cache's lock. True at once for a cached id.
    bool LoadTypeface(const char* fontId, const PlatformFont& font) override;
    float MeasureTextRun(const ITextStyle& style, const char* utf8, IRectangle& bounds) override;
    void RenderTextRun(const ITextStyle& style, const char* utf8, const IRectangle& bounds,
                       const IBlendMode* blend = nullptr) override;

    // ---- Further backend operations (layers, shadows, direct drawing) ----

    // [ui] One pixel of the current canvas, premultiplied; transparent black
    // outside it.
    IColour ReadPixel(int32_t x, int32_t y) const;
    // [ui] The current canvas, for drawing with Cairo directly; null without
    // a surface.
    cairo_t* DrawingCanvas() const { return canvas; }
    // [ui] A black (alpha 128) rounded box moved by drop, solid inside and
    // blurred outside with sigma blur / 2 (device pixels follow the canvas).
    void DrawDropShadowBox(const IRectangle& box, float unused, float drop, float roundness,
                           float blur, const IBlendMode* blend = nullptr);
    // [ui] The layer's pixels, rows of the width rounded up to 8 pixels.
    void ReadLayerPixels(const IDrawLayer& layer, std::vector<uint8_t>& pixels) const;
    // [ui] Replaces the layer with the shadow's pattern where mask (a blurred
    // ReadLayerPixels copy) has coverage, then the old content over it when
    // the shadow draws the foreground.
    void ApplyShadowMask(const IDrawLayer& layer, const std::vector<uint8_t>& mask,
                         const IShadowStyle& shadow);
    static constexpr int32_t AlphaChannelIndex() { return 3; }
    static constexpr bool IsBitmapFlipped() { return false; }

    // ---- For the window host ----

    // [ui] The module's embedded files (the window's SetModuleInstance).
    void SetResourceTable(const ResourceTable* table) { resources = table; }
    const ResourceTable* Resources() const { return resources; }
    // [ui] The finished frame (valid until the next ResizeDrawingSurface).
    FrameBufferView FrameBuffer() const;

protected:
    // [ui] The window shows the frame buffer here; the default does nothing.
    virtual void PresentFrame() {}
    // [ui] Memory for a new frame buffer of that many bytes; null refuses it.
    virtual std::unique_ptr<PixelMemory> AllocatePixelMemory(size_t bytes);
    // [ui] Drops the surface and its memory now (a window whose memory
    // depends on its connection calls this before closing it).
    void ReleaseDrawingSurface();

private:
    void UpdateMatrices();
    bool CanDraw() const { return canvas != nullptr && transformUsable; }
    void ApplyMatrix(const cairo_matrix_t& matrix);
    void SetSource(const IFillPattern& pattern, const IBlendMode* blend);
    void FinishPath(bool preserve);

    FontCacheUse<Typeface> typefaceUse;
    const ResourceTable* resources = nullptr;
    std::unique_ptr<PixelMemory> pixelMemory;
    CairoSurface surface;
    CairoContext mainCanvas;
    cairo_t* canvas = nullptr; // the main canvas or the top layer's
    int32_t pixelWidth = 0;
    int32_t pixelHeight = 0;
    cairo_matrix_t pathMatrix;  // the core's path transform
    cairo_matrix_t clipMatrix;  // device scale and layer offset
    cairo_matrix_t finalMatrix; // clipMatrix after pathMatrix: the canvas's matrix
    bool transformUsable = true;
    bool pathHasSegments = false;
    CairoFontOptions fontOptions;
};

} // namespace ui
