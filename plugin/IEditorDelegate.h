#pragma once

#include "plugin/ByteChunk.h"
#include "plugin/IParam.h"
#include "plugin/ParamChangeSource.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace ui {
struct IKeyEvent;
}

namespace plugin {

struct MidiMessage;
struct SysExBlock;

// The plug-in's side of its editor. Owns the parameter list (the list index is
// the parameter index everywhere) and defines every call between the editor
// and the rest of the plug-in. The defaults here are host-neutral; the API
// base and the VST 3 binding override the calls that reach the host, and the
// graphics editor delegate overrides the ones that reach a real editor.
//
// Everything runs on the UI thread, except that the processing side reads
// parameter values concurrently and OnParamChange(index, Host, offset) runs on
// the audio thread when automation arrives.
//
// OnParamChange has two overloads: a subclass overriding one of them should
// add `using IEditorDelegate::OnParamChange;` so the other stays visible.
class IEditorDelegate {
public:
    static constexpr int32_t kDefaultMinSize = 10;
    static constexpr int32_t kDefaultMaxSize = 100000;

    // [ui] Creates paramCount fresh parameters (negative: none).
    explicit IEditorDelegate(int32_t paramCount);
    virtual ~IEditorDelegate();
    IEditorDelegate(const IEditorDelegate&) = delete;
    IEditorDelegate& operator=(const IEditorDelegate&) = delete;

    // [any]
    int32_t ParamCount() const noexcept { return static_cast<int32_t>(params.size()); }
    // [any] Null outside 0 ... ParamCount() - 1.
    IParam* ParamAt(int32_t index) const noexcept;

    // [any]
    int32_t EditorWidth() const noexcept { return editorWidth; }
    int32_t EditorHeight() const noexcept { return editorHeight; }
    int32_t MinWidth() const noexcept { return minWidth; }
    int32_t MaxWidth() const noexcept { return maxWidth; }
    int32_t MinHeight() const noexcept { return minHeight; }
    int32_t MaxHeight() const noexcept { return maxHeight; }

    // Editor lifetime -----------------------------------------------------
    // [ui] Returns the native view, or null.
    virtual void* OpenWindow(void* parentWindow);
    // [ui]
    virtual void CloseWindow();
    // [ui] The host resized the view to this many pixels.
    virtual void OnViewResizedByHost(int32_t widthPixels, int32_t heightPixels);
    // [ui] Pushes every parameter's current position towards the editor.
    virtual void OnEditorOpened();
    // [ui]
    virtual void OnEditorClosed();

    // Parameter changes -----------------------------------------------------
    // [ui; audio for source Host] The plug-in's reaction to a new value.
    virtual void OnParamChange(int32_t paramIdx);
    // [ui; audio for source Host] Traces, then OnParamChange(paramIdx).
    virtual void OnParamChange(int32_t paramIdx, ParamChangeSource source, int32_t sampleOffset);
    // [ui]
    virtual void OnParamChangeForEditor(int32_t paramIdx, ParamChangeSource source);
    // [ui] OnParamChange(i, source, -1) then OnParamChangeForEditor(i, source)
    // for every parameter in index order.
    virtual void AnnounceAllParams(ParamChangeSource source);

    // Messages towards the editor -------------------------------------------
    // [ui]
    virtual void OnMidiForEditor(const MidiMessage& message);
    // [ui]
    virtual void OnSysExForEditor(const SysExBlock& block);
    // [ui] True when handled.
    virtual bool OnMessage(int32_t messageTag, int32_t controlTag, int32_t dataSize,
                           const void* data);
    // [ui] Pushes every parameter's current position towards the editor.
    virtual void OnStateRestored();
    // [ui] True when handled.
    virtual bool OnKeyDown(const ui::IKeyEvent& key);
    // [ui] True when handled.
    virtual bool OnKeyUp(const ui::IKeyEvent& key);
    // [ui]
    virtual void PushValueToControl(int32_t controlTag, double normalized);
    // [ui]
    virtual void PushMessageToControl(int32_t controlTag, int32_t messageTag, int32_t dataSize,
                                      const void* data);
    // [ui]
    virtual void PushMessageToEditor(int32_t messageTag, int32_t dataSize, const void* data);
    // [ui]
    virtual void PushMidiToEditor(const MidiMessage& message);
    // [ui]
    virtual void PushSysExToEditor(const SysExBlock& block);
    // [ui] value is a position when normalized is true, else a real value.
    virtual void PushParamToEditor(int32_t paramIdx, double value, bool normalized);

    // Calls from the editor towards the host (real work in the API base) ------
    // [ui]
    virtual void NotifyHostOfAllParams();
    // [ui]
    virtual void BeginParamEdit(int32_t paramIdx);
    // [ui] Stores the value with one atomic exchange, then
    // OnParamChangeForEditor(paramIdx, UI). Unknown indexes are ignored.
    virtual void SetParamFromEditor(int32_t paramIdx, double normalized);
    // [ui]
    virtual void EndParamEdit(int32_t paramIdx);
    // [ui] True when the view now has the requested size.
    virtual bool RequestEditorResize(int32_t widthPixels, int32_t heightPixels,
                                     bool needsPlatformResize);

    // Messages from the editor towards the processor (queued by the API base) -
    // [ui]
    virtual void SendMidiFromUI(const MidiMessage& message);
    // [ui]
    virtual void SendSysExFromUI(const SysExBlock& block);
    // [ui]
    virtual void SendArbitraryMessageFromUI(int32_t messageTag, int32_t controlTag,
                                            int32_t dataSize, const void* data);
    // [ui]
    virtual void SendMidiFromDelegate(const MidiMessage& message);
    // [ui]
    virtual void SendSysExFromDelegate(const SysExBlock& block);

    // Editor size -----------------------------------------------------------
    // [ui] True when the size lies within the limits; otherwise clamps it and
    // returns false.
    virtual bool ClampEditorSize(int32_t& width, int32_t& height);
    // [ui] True when the size was written; the base writes nothing.
    virtual bool WriteEditorSize(ByteChunk& chunk);
    // [ui] The offset after the size data, or -1; the base reads nothing.
    virtual int32_t ReadEditorSize(const ByteChunk& chunk, int32_t startPos);
    // [ui]
    virtual void SetScreenScale(float scale);

protected:
    // Pushes every parameter's position: the body of OnEditorOpened and
    // OnStateRestored.
    void PushAllParamsToEditor();

    std::vector<std::unique_ptr<IParam>> params;
    int32_t editorWidth = 0;
    int32_t editorHeight = 0;
    int32_t minWidth = kDefaultMinSize;
    int32_t maxWidth = kDefaultMaxSize;
    int32_t minHeight = kDefaultMinSize;
    int32_t maxHeight = kDefaultMaxSize;
};

} // namespace plugin
