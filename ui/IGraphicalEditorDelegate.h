#pragma once

#include "plugin/IEditorDelegate.h"
#include "ui/IEditorCore.h"

#include <functional>
#include <memory>

namespace Steinberg::Vst {
class IContextMenu;
}

namespace ui {

// The editor delegate with a real editor: creates the editor object through a
// make-graphics function, lays it out through a layout function, opens and
// closes its window, remembers its logical size and zoom between openings
// (for the life of the plug-in object, not in its state), and forwards size,
// scale, key and value calls to it. UI thread only.
class IGraphicalEditorDelegate : public plugin::IEditorDelegate {
public:
    // Returns a new editor object; the delegate takes ownership.
    using MakeGraphicsFunction = std::function<IEditorCore*()>;
    // Attaches the controls to a new editor object.
    using LayoutFunction = std::function<void(IEditorCore*)>;

    // [ui]
    explicit IGraphicalEditorDelegate(int32_t paramCount);
    ~IGraphicalEditorDelegate() override;

    // [ui] Closes a still-open editor first, then creates (and resizes to the
    // saved size) and opens one. Null when no editor could be made.
    void* OpenWindow(void* parentWindow) override;
    // [ui] Saves the editor's size and zoom and destroys it. Re-entry during
    // a close does nothing.
    void CloseWindow() override;
    // [ui] A host-driven resize sets the logical size and resets the zoom to 1.
    void OnViewResizedByHost(int32_t widthPixels, int32_t heightPixels) override;
    // [ui]
    bool OnKeyDown(const IKeyEvent& key) override;
    // [ui]
    bool OnKeyUp(const IKeyEvent& key) override;
    // [ui]
    void PushValueToControl(int32_t controlTag, double normalized) override;
    // [ui]
    void PushMessageToControl(int32_t controlTag, int32_t messageTag, int32_t dataSize,
                              const void* data) override;
    // [ui]
    void PushMidiToEditor(const plugin::MidiMessage& message) override;
    // [ui]
    void PushParamToEditor(int32_t paramIdx, double value, bool normalized) override;
    // [ui] Appends int32 width, int32 height, float32 zoom (little-endian) of
    // the open editor, else the saved values.
    bool WriteEditorSize(plugin::ByteChunk& chunk) override;
    // [ui] Reads what WriteEditorSize wrote: applies it to an open editor, or
    // keeps it for the next opening. Returns the offset after it, or -1.
    int32_t ReadEditorSize(const plugin::ByteChunk& chunk, int32_t startPos) override;
    // [ui]
    void SetScreenScale(float scale) override;

    // [ui] A new editor object from the make-graphics function, or null.
    virtual std::unique_ptr<IEditorCore> CreateGraphics();
    // [ui] Runs the layout function on the editor object.
    virtual void LayoutEditor(IEditorCore* editor);
    // [ui] The host's context menu for the parameter, or null when the host
    // offers none (the default); the caller releases it. The VST 3 binding
    // asks the component handler's IComponentHandler3::createContextMenu.
    virtual Steinberg::Vst::IContextMenu* CreateHostContextMenu(int32_t paramIdx);

    // [ui] The open editor object, or null.
    IEditorCore* Graphics() const noexcept { return graphics.get(); }
    // [ui]
    void SetMakeGraphicsFunction(MakeGraphicsFunction function) {
        makeGraphicsFunc = std::move(function);
    }
    // [ui]
    void SetLayoutFunction(LayoutFunction function) { layoutFunc = std::move(function); }

    // [ui] The size and zoom kept from the last close (0 when none).
    int32_t SavedWidth() const noexcept { return savedWidth; }
    int32_t SavedHeight() const noexcept { return savedHeight; }
    float SavedScale() const noexcept { return savedScale; }

protected:
    MakeGraphicsFunction makeGraphicsFunc;
    LayoutFunction layoutFunc;
    std::unique_ptr<IEditorCore> graphics;
    int32_t savedWidth = 0;
    int32_t savedHeight = 0;
    float savedScale = 0.0f;
    bool closing = false;
};

} // namespace ui
