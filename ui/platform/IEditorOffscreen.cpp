#include "ui/platform/IEditorOffscreen.h"

#include "ui/IGraphicalEditorDelegate.h"
#include "ui/platform/CairoHandles.h"
#include "ui/platform/Resources.h"

#include <cairo.h>

namespace ui {

IEditorOffscreen::IEditorOffscreen(IGraphicalEditorDelegate& delegate, int32_t width,
                                   int32_t height, int32_t fps, float drawScale,
                                   const ResourceTable* resources)
    : IEditorDrawing(delegate, width, height, fps, drawScale), fonts(resources) {
    SetResourceTable(resources);
}

IEditorOffscreen::~IEditorOffscreen() {
    CloseWindow();
}

void* IEditorOffscreen::OpenWindow(void*) {
    open = true;
    ResizeDrawingSurface();
    LayoutControls();
    delegate.OnEditorOpened();
    return this;
}

void IEditorOffscreen::CloseWindow() {
    if (!open)
        return;
    open = false;
    RemoveAllControls();
}

void IEditorOffscreen::PointerPosition(float& x, float& y) const {
    x = LastMouseX();
    y = LastMouseY();
}

LocatedResource IEditorOffscreen::LocateResource(const std::string& name,
                                                 const std::string& extension) const {
    return ui::LocateResource(Resources(), name, extension);
}

std::unique_ptr<PlatformFont> IEditorOffscreen::LoadFontFromFileOrResource(const char* fontId,
                                                                           const char* name) {
    return fonts.LoadFontFromFileOrResource(fontId, name);
}

std::unique_ptr<PlatformFont>
IEditorOffscreen::LoadFontFromMemory(const char* fontId, const void* bytes, int32_t byteCount) {
    return fonts.LoadFontFromMemory(fontId, bytes, byteCount);
}

void IEditorOffscreen::CacheWindowFont(const char* fontId, const PlatformFont& font) {
    fonts.CacheWindowFont(fontId, font);
}

bool IEditorOffscreen::DrawDirty() {
    dirtyRects.clear();
    if (!IsDirty(dirtyRects))
        return false;
    MarkAllControlsClean();
    Draw(dirtyRects);
    return true;
}

void IEditorOffscreen::DrawAll() {
    const std::vector<IRectangle> all{
        {0.0f, 0.0f, static_cast<float>(Width()), static_cast<float>(Height())}};
    MarkAllControlsClean();
    Draw(all);
}

bool IEditorOffscreen::WritePng(const std::string& path) const {
    const FrameBufferView frame = FrameBuffer();
    if (frame.pixels == nullptr)
        return false;
    // Cairo only reads the pixels here; the surface wraps them without a
    // copy. The panel is opaque: the picture carries no alpha.
    const CairoSurface image(cairo_image_surface_create_for_data(
        const_cast<unsigned char*>(frame.pixels), CAIRO_FORMAT_RGB24, frame.width, frame.height,
        frame.stride));
    return cairo_surface_status(image.get()) == CAIRO_STATUS_SUCCESS &&
           cairo_surface_write_to_png(image.get(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

} // namespace ui
