#pragma once

#include "ui/EditorTypes.h"
#include "ui/IPopupMenu.h"

#include "base/source/fobject.h"
#include "pluginterfaces/vst/ivstcontextmenu.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace plugin {
class IParam;
struct MidiMessage;
} // namespace plugin

namespace ui {

class IEditorCore;
class IGraphicalEditorDelegate;

enum class GestureType : int32_t { Unknown = 0, DoubleTap, TripleTap, LongPress, Pinch, Rotate };

// A touch gesture as the window reports it.
struct IGestureInfo {
    GestureType type = GestureType::Unknown;
    float x = 0.0f;
    float y = 0.0f;
    float scale = 1.0f;    // pinch
    float velocity = 0.0f; // pinch or rotate
    float angle = 0.0f;    // rotate, degrees
};

// One rectangular element of the editor: it draws itself, reacts to the
// pointer and holds normalized values (0 to 1), each of which may be bound to
// a plug-in parameter.
//
// Values flow two ways. A user gesture changes a value and SetDirty(true)
// sends it through the delegate to the parameter and the host. A change made
// by the host or the plug-in arrives as SetValueFromPlugin and only updates
// the display (ignored while the control is being dragged).
//
// Lifetime. A control is an FObject so that it can be the target of items it
// adds to the host's context menu. The editor owns the control's first
// reference (AttachControl takes it). When the editor lets a control go it
// detaches it (no editor, no delegate) and releases that reference, so a host
// that still holds the control as a menu target keeps a detached object
// alive: its executeMenuItem answers kResultFalse and touches nothing, and
// the host's last release deletes it. A control must therefore never be
// deleted directly once it is attached.
//
// Everything runs on the UI thread.
class IControl : public Steinberg::Vst::IContextMenuTarget, public Steinberg::FObject {
public:
    using ActionFunction = std::function<void(IControl*)>;
    using AnimationFunction = std::function<void(IControl*)>;
    using GestureFunction = std::function<void(IControl*, const IGestureInfo&)>;

    // A value and the parameter it is bound to (-1: none).
    struct Value {
        int32_t paramIdx = -1;
        double value = 0.0;
    };

    static constexpr int32_t kDefaultTextEntryLength = 7;
    static constexpr float kDisabledWeight = 0.25f;

    // [ui]
    IControl(const IRectangle& bounds, int32_t paramIdx = -1, ActionFunction actionFunc = nullptr);
    ~IControl() override;
    IControl(const IControl&) = delete;
    IControl& operator=(const IControl&) = delete;

    // ---- VST 3: the control as a host context-menu target ----
    OBJ_METHODS(IControl, FObject)
    REFCOUNT_METHODS(FObject)
    // [any] Answers IContextMenuTarget itself; everything else goes to FObject.
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    // [ui] OnContextMenuChoice(tag); kResultFalse once the editor let go.
    Steinberg::tresult PLUGIN_API executeMenuItem(Steinberg::int32 tag) override;

    // ---- Pointer, keys, drops ----
    // [ui] A right press opens a value prompt when prompts are enabled.
    virtual void OnMouseDown(float x, float y, const IPointerModifiers& mod);
    virtual void OnMouseUp(float x, float y, const IPointerModifiers& mod);
    virtual void OnMouseDrag(float x, float y, float dX, float dY, const IPointerModifiers& mod);
    // [ui] Resets the value under the pointer to its parameter's default.
    virtual void OnMouseDoubleClick(float x, float y, const IPointerModifiers& mod);
    virtual void OnMouseWheel(float x, float y, const IPointerModifiers& mod, float notches);
    // [ui] True when handled.
    virtual bool OnKeyDown(float x, float y, const IKeyEvent& key);
    virtual bool OnKeyUp(float x, float y, const IKeyEvent& key);
    // [ui] Hover in and out; either redraws the control when it changes.
    virtual void OnMouseOver(float x, float y, const IPointerModifiers& mod);
    virtual void OnMouseOut();
    virtual void OnDrop(const char* utf8Path);
    // [ui] The first path's OnDrop.
    virtual void OnDropFiles(const std::vector<std::string>& utf8Paths);
    virtual bool AcceptsDrop() const { return false; }

    // ---- Life-cycle hooks (AttachControl calls OnInit, OnResize, OnRescale,
    // then OnAttached) ----
    virtual void OnRescale() {}
    virtual void OnResize() {}
    virtual void OnInit() {}
    virtual void OnAttached() {}

    // ---- Messages ----
    virtual void OnPluginMessage(int32_t messageTag, int32_t dataSize, const void* data);
    virtual void OnMidi(const plugin::MidiMessage& message);
    // [ui] True when a gesture function handled it.
    virtual bool OnGesture(const IGestureInfo& info);

    // ---- Menus and prompts ----
    // [ui] Items this control adds to a host context menu (none by default).
    virtual void FillContextMenu(IPopupMenu& menu);
    // [ui] A value prompt's menu answered (null: cancelled).
    virtual void OnMenuChoice(IPopupMenu* chosenMenu, int32_t valueIndex);
    // [ui] A value prompt's text field answered.
    virtual void OnValueEntryDone(const char* utf8, int32_t valueIndex);
    // [ui] One of this control's host context-menu items was chosen.
    virtual void OnContextMenuChoice(int32_t tag);

    // ---- Drawing ----
    virtual void Draw(IEditorCore& g) = 0;
    // [ui] The automation dot, when highlighted.
    virtual void DrawHighlight(IEditorCore& g);

    // ---- Values ----
    // [ui] Binds the value at valueIndex to a parameter (-1: none).
    virtual void BindParam(int32_t paramIdx, int32_t valueIndex = 0);
    // [ui] 0 for a control with one value, -1 otherwise.
    virtual int32_t ValueIndexAt(float x, float y) const;
    // [ui] Algorithms of the host value: ignored while the control is
    // captured by a pointer.
    virtual void SetValueFromPlugin(double value, int32_t valueIndex = 0);
    // [ui] A value typed or picked in a prompt, sent as a user change.
    virtual void SetValueFromEntry(double value, int32_t valueIndex = 0);
    // [ui] The bound parameter's default, sent as a user change (-1: every value).
    virtual void ResetToDefault(int32_t valueIndex = 0);
    // [ui] Stores the value as given (SetDirty clamps it).
    virtual void SetValue(double value, int32_t valueIndex = 0);
    virtual void SetText(const ITextStyle& style) { text = style; }
    // [ui] Moves to (max(0, x), max(0, y)); the hit rectangle moves along.
    virtual void SetPosition(float x, float y);
    // [ui] The hit rectangle becomes the drawing rectangle.
    virtual void SetSize(float w, float h);
    virtual void Hide(bool hide);
    virtual void SetDisabled(bool disable);
    virtual void SetPointerIgnored(bool ignore) { ignoreMouse = ignore; }
    virtual bool IsHit(float x, float y) const { return targetRect.Contains(x, y); }
    // [ui] Clamps the value(s) to [0, 1] and schedules a redraw; with
    // triggerAction (a user change) also sends them to the plug-in, brings
    // the other controls of the parameter along and runs the action
    // function. valueIndex -1: every value.
    virtual void SetDirty(bool triggerAction, int32_t valueIndex = -1);
    virtual void SetClean() { dirty = false; }
    virtual bool IsDirty() const { return animationFunction ? true : dirty; }
    virtual bool HandlesGestures() const { return !gestureFunctions.empty() && !animationFunction; }
    // [ui] The value at the pointer within bounds, on a 0.001 grid, clamped to
    // [lowClip, highClip], sent as a user change (valueIndex -1: every value).
    virtual void SetValueFromPointer(float x, float y, int32_t direction, const IRectangle& bounds,
                                     int32_t valueIndex = -1, double lowClip = 0.0,
                                     double highClip = 1.0);
    // [ui] Stops the animation, redraws, then calls the end function.
    virtual void OnAnimationEnd();

    // ---- Non-virtual access ----
    // [ui] 0.0 for an index the control does not have.
    double GetValue(int32_t valueIndex = 0) const;
    // [ui] -1 when unbound or out of range.
    int32_t ParamIndexOf(int32_t valueIndex = 0) const;
    // [ui] The parameter the value is bound to, or null.
    plugin::IParam* BoundParam(int32_t valueIndex = 0) const;
    // [ui] The first value index bound to paramIdx, or -1.
    int32_t ValueIndexForParam(int32_t paramIdx) const;
    int32_t NValues() const { return static_cast<int32_t>(values.size()); }
    // [ui] Runs the animation function, if one is set.
    void Animate();
    // [ui] A value prompt over rect when the value is bound and prompts are enabled.
    void OpenValueEntry(const IRectangle& rect, int32_t valueIndex = 0);

    const IRectangle& GetRect() const { return rect; }
    const IRectangle& GetTargetRect() const { return targetRect; }
    void SetRect(const IRectangle& bounds) { rect = bounds; }
    void SetTargetRect(const IRectangle& bounds) { targetRect = bounds; }
    void SetTargetAndDrawRects(const IRectangle& bounds) { rect = targetRect = bounds; }
    const std::string& GetGroup() const { return group; }
    void SetGroup(const std::string& name) { group = name; }
    const ITextStyle& GetText() const { return text; }
    const IBlendMode& GetBlend() const { return blend; }
    void SetBlend(const IBlendMode& mode) { blend = mode; }
    int32_t GetTextEntryLength() const { return textEntryLength; }
    void SetTextEntryLength(int32_t length) { textEntryLength = length; }
    bool IsHidden() const { return hidden; }
    bool IsDisabled() const { return disabled; }
    bool GetPromptDisabled() const { return promptDisabled; }
    void SetPromptDisabled(bool disable) { promptDisabled = disable; }
    bool GetDoubleClickAsClick() const { return doubleClickAsClick; }
    void SetDoubleClickAsClick(bool asClick) { doubleClickAsClick = asClick; }
    bool GetMouseOverWhenDisabled() const { return mouseOverWhenDisabled; }
    void SetMouseOverWhenDisabled(bool allow) { mouseOverWhenDisabled = allow; }
    bool GetMouseEventsWhenDisabled() const { return mouseEventsWhenDisabled; }
    void SetMouseEventsWhenDisabled(bool allow) { mouseEventsWhenDisabled = allow; }
    bool GetIgnoreMouse() const { return ignoreMouse; }
    bool GetWantsMidi() const { return wantsMidi; }
    void SetWantsMidi(bool wants) { wantsMidi = wants; }
    bool GetWantsMultiTouch() const { return wantsMultiTouch; }
    void SetWantsMultiTouch(bool wants) { wantsMultiTouch = wants; }
    bool GetPromptShowsLabel() const { return promptShowsLabel; }
    void SetPromptShowsLabel(bool shows) { promptShowsLabel = shows; }
    bool GetMouseIsOver() const { return mouseIsOver; }
    const std::string& GetTooltip() const { return tooltip; }
    void SetTooltip(const std::string& tip) { tooltip = tip; }
    void SetHighlightColor(const IColour& colour) { highlightColor = colour; }
    bool IsHighlighted() const { return highlighted; }
    void SetHighlighted(bool highlight) { highlighted = highlight; }
    IControl* GetParent() const { return parent; }
    void SetParent(IControl* control) { parent = control; }
    void SetActionFunction(ActionFunction function) { actionFunction = std::move(function); }
    void SetAnimation(AnimationFunction function) { animationFunction = std::move(function); }
    void SetAnimationEndFunction(AnimationFunction function) {
        animationEndFunction = std::move(function);
    }
    void AttachGestureFunction(GestureType type, GestureFunction function) {
        gestureFunctions[type] = std::move(function);
    }
    GestureType GetLastGesture() const { return lastGesture; }

    // [ui] The editor and delegate while attached, else null.
    IEditorCore* GetUI() const { return graphics; }
    IGraphicalEditorDelegate* GetDelegate() const { return delegate; }

    // [ui] Called by the editor when it takes the control (AttachControl) and
    // when it lets it go; only the editor calls these.
    void AttachToEditor(IEditorCore& editor, IGraphicalEditorDelegate& editorDelegate);
    void DetachFromEditor();

protected:
    bool IsValueIndex(int32_t valueIndex) const {
        return valueIndex >= 0 && valueIndex < NValues();
    }

    IRectangle rect;
    IRectangle targetRect;
    std::string group;
    ITextStyle text;
    IBlendMode blend;
    int32_t textEntryLength = kDefaultTextEntryLength;
    bool dirty = true;
    bool hidden = false;
    bool disabled = false;
    bool promptDisabled = true;
    bool doubleClickAsClick = false;
    bool mouseOverWhenDisabled = false;
    bool mouseEventsWhenDisabled = false;
    bool ignoreMouse = false;
    bool wantsMidi = false;
    bool wantsMultiTouch = false;
    bool promptShowsLabel = false;
    bool mouseIsOver = false;
    std::string tooltip;
    IColour highlightColor = kColourRed;
    bool highlighted = false;
    IControl* parent = nullptr;
    IGraphicalEditorDelegate* delegate = nullptr;
    IEditorCore* graphics = nullptr;
    ActionFunction actionFunction;
    AnimationFunction animationEndFunction;
    AnimationFunction animationFunction;
    std::vector<Value> values;
    std::map<GestureType, GestureFunction> gestureFunctions;
    GestureType lastGesture = GestureType::Unknown;
};

// [any] value clamped to [0, 1]; a NaN becomes 0.
double ClampNormalized(double value);

} // namespace ui
