#pragma once

#include "ui/platform/IEditorDrawing.h"
#include "ui/platform/WindowFonts.h"

#include <string>

namespace ui {

// The editor without a window: core and drawing backend as in the real
// editor, window operations that show nothing. Opening lays out the
// controls and draws into the frame buffer only; there is no pointer and no
// host window. For pictures of an editor and measurements of its drawing,
// where no X server is at hand. UI thread (the thread that made it).
class IEditorOffscreen : public IEditorDrawing {
public:
    // [ui] resources: the module's embedded files the editor draws from.
    IEditorOffscreen(IGraphicalEditorDelegate& delegate, int32_t width, int32_t height, int32_t fps,
                     float drawScale, const ResourceTable* resources);
    ~IEditorOffscreen() override;

    // [ui] Makes the frame buffer, lays out the controls and tells the
    // delegate the editor is open; returns this object.
    void* OpenWindow(void* parent) override;
    // [ui] Removes the controls.
    void CloseWindow() override;
    bool IsWindowOpen() const override { return open; }
    void PointerPosition(float& x, float& y) const override;
    void HidePointer(bool, bool) override {}
    void WarpPointer(float, float) override {}
    void ResizePlatformWindow(bool) override {}
    LocatedResource LocateResource(const std::string& name,
                                   const std::string& extension) const override;
    std::unique_ptr<PlatformFont> LoadFontFromFileOrResource(const char* fontId,
                                                             const char* name) override;
    std::unique_ptr<PlatformFont> LoadFontFromMemory(const char* fontId, const void* bytes,
                                                     int32_t byteCount) override;
    void CacheWindowFont(const char* fontId, const PlatformFont& font) override;
    // [ui] Nothing to show a menu in: nothing is chosen.
    IPopupMenu* ShowPopupMenu(IPopupMenu&, const IRectangle&) override { return nullptr; }
    // [ui] Nothing to type into: the entry ends at once, unchanged.
    void OpenTextField(int32_t, const ITextStyle&, const IRectangle&, int32_t,
                       const char*) override {}
    void CancelTextEntry() override {}

    // [ui] Draws what is dirty, as a window's frame tick would, and cleans
    // the controls; false when nothing was dirty.
    bool DrawDirty();
    // [ui] Draws the whole editor.
    void DrawAll();
    // [ui] The frame buffer as a PNG file; false when it cannot be written.
    bool WritePng(const std::string& path) const;

private:
    WindowFonts fonts;
    std::vector<IRectangle> dirtyRects;
    bool open = false;
};

} // namespace ui
