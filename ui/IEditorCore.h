#pragma once

#include "ui/EditorTypes.h"

#include <cstdint>

namespace plugin {
struct MidiMessage;
}

namespace ui {

// The editor object: logical size, scales, window and controls. This header
// holds what the graphics editor delegate needs of it; the editor framework
// implements it. All calls run on the UI thread.
class IEditorCore {
public:
    virtual ~IEditorCore() = default;

    // [ui] Logical size and user zoom; needsPlatformResize asks the host to
    // resize the view as well.
    virtual void Resize(int32_t width, int32_t height, float drawScale,
                        bool needsPlatformResize) = 0;
    // [ui] Logical width.
    virtual int32_t Width() const = 0;
    // [ui] Logical height.
    virtual int32_t Height() const = 0;
    // [ui] User zoom.
    virtual float DrawScale() const = 0;
    // [ui] Monitor factor.
    virtual float ScreenScale() const = 0;
    // [ui]
    virtual void SetScreenScale(float scale) = 0;

    // [ui] Returns the native view, or null.
    virtual void* OpenWindow(void* parentWindow) = 0;
    // [ui]
    virtual void CloseWindow() = 0;

    // [ui] Where the pointer was last seen, in logical units.
    virtual void PointerPosition(float& x, float& y) const = 0;
    // [ui] True when handled.
    virtual bool OnKeyDown(float x, float y, const IKeyEvent& key) = 0;
    // [ui] True when handled.
    virtual bool OnKeyUp(float x, float y, const IKeyEvent& key) = 0;

    // Values and messages from the plug-in to the controls.
    // [ui] The control with this tag, if any, takes the position as value 0.
    virtual void SetTaggedControlValueFromPlugin(int32_t controlTag, double normalized) = 0;
    // [ui] The control with this tag, if any, receives the message.
    virtual void SendPluginMessageToTaggedControl(int32_t controlTag, int32_t messageTag,
                                                  int32_t dataSize, const void* data) = 0;
    // [ui] Every value of every control bound to the parameter takes the
    // position (a control being dragged ignores it).
    virtual void SetParamValueFromPlugin(int32_t paramIdx, double normalized) = 0;
    // [ui] Every control that wants MIDI receives the message.
    virtual void SendMidiToControls(const plugin::MidiMessage& message) = 0;
};

} // namespace ui
