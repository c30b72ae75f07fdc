#pragma once

// The drawing backend with a window half that shows nothing: the editor
// draws into its frame buffer and the tests read the pixels back.

#include "ui/IGraphicalEditorDelegate.h"
#include "ui/platform/IEditorDrawing.h"
#include "ui/platform/Resources.h"
#include "ui/platform/WindowFonts.h"

#include <cairo.h>

#include <cstring>
#include <memory>
#include <vector>

namespace drawtest {

// Premultiplied bytes of one pixel as they lie in memory.
struct Bgra {
    uint8_t b = 0, g = 0, r = 0, a = 0;
    bool operator==(const Bgra&) const = default;
};

class OffscreenEditor : public ui::IEditorDrawing {
public:
    OffscreenEditor(ui::IGraphicalEditorDelegate& delegate, const ui::ResourceTable* table,
                    float drawScale = 1.0f, int32_t w = 664, int32_t h = 215)
        : IEditorDrawing(delegate, w, h, kDefaultFps, drawScale), fonts(table) {
        SetResourceTable(table);
    }

    int presented = 0;

    Bgra Pixel(int32_t x, int32_t y) const {
        const ui::FrameBufferView view = FrameBuffer();
        Bgra p;
        std::memcpy(&p, view.pixels + static_cast<size_t>(y) * view.stride + 4 * x, 4);
        return p;
    }
    // The whole canvas painted one colour, clip and transform reset.
    void Clear(const ui::IColour& colour) {
        SetPathTransform({});
        SetClipRect({0, 0, static_cast<float>(width), static_cast<float>(height)});
        cairo_t* cr = DrawingCanvas();
        cairo_save(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_rgba(cr, colour.R / 255.0, colour.G / 255.0, colour.B / 255.0,
                              colour.A / 255.0);
        cairo_paint(cr);
        cairo_restore(cr);
    }
    using ui::IEditorCore::DrawControl;

    // ---- Window ----
    void* OpenWindow(void*) override {
        ResizeDrawingSurface();
        LayoutControls();
        return this;
    }
    void CloseWindow() override { RemoveAllControls(); }
    bool IsWindowOpen() const override { return true; }
    void PointerPosition(float& x, float& y) const override { x = y = 0.0f; }
    void HidePointer(bool, bool) override {}
    void WarpPointer(float, float) override {}
    void ResizePlatformWindow(bool) override {}
    ui::LocatedResource LocateResource(const std::string& name,
                                       const std::string& extension) const override {
        return ui::LocateResource(Resources(), name, extension);
    }
    std::unique_ptr<ui::PlatformFont> LoadFontFromFileOrResource(const char* fontId,
                                                                 const char* name) override {
        return fonts.LoadFontFromFileOrResource(fontId, name);
    }
    std::unique_ptr<ui::PlatformFont> LoadFontFromMemory(const char* fontId, const void* bytes,
                                                         int32_t count) override {
        return fonts.LoadFontFromMemory(fontId, bytes, count);
    }
    void CacheWindowFont(const char* fontId, const ui::PlatformFont& font) override {
        fonts.CacheWindowFont(fontId, font);
    }
    ui::IPopupMenu* ShowPopupMenu(ui::IPopupMenu&, const ui::IRectangle&) override {
        return nullptr;
    }
    void OpenTextField(int32_t, const ui::ITextStyle&, const ui::IRectangle&, int32_t,
                       const char*) override {}
    void CancelTextEntry() override {}

protected:
    void PresentFrame() override { ++presented; }

private:
    ui::WindowFonts fonts;
};

struct ImageRelease {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using Image = std::unique_ptr<cairo_surface_t, ImageRelease>;

// The image must be flushed (Cairo's drawing into it finished).
inline Bgra ImagePixel(cairo_surface_t* image, int x, int y) {
    Bgra p;
    std::memcpy(
        &p, cairo_image_surface_get_data(image) + y * cairo_image_surface_get_stride(image) + 4 * x,
        4);
    return p;
}

// PNG bytes of a Cairo image, encoded by Cairo's own writer.
inline std::vector<uint8_t> EncodePng(cairo_surface_t* image) {
    std::vector<uint8_t> bytes;
    cairo_surface_write_to_png_stream(
        image,
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* out = static_cast<std::vector<uint8_t>*>(closure);
            out->insert(out->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes);
    return bytes;
}

} // namespace drawtest
