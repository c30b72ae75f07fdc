#include "ui/IControl.h"

#include "plugin/IParam.h"
#include "ui/IEditorCore.h"
#include "ui/IGraphicalEditorDelegate.h"

#include <algorithm>
#include <cmath>

using Steinberg::kInvalidArgument;
using Steinberg::kResultFalse;
using Steinberg::kResultOk;

namespace ui {

namespace {

// Prompts for parameters without named values are this box, centred in the
// control: room for a short number.
constexpr float kPromptWidth = 40.0f;
constexpr float kPromptHeight = 16.0f;
// The grid SetValueFromPointer quantises to.
constexpr double kPointerValueGrid = 0.001;

} // namespace

double ClampNormalized(double value) {
    if (!(value >= 0.0))
        return 0.0; // also a NaN
    return value > 1.0 ? 1.0 : value;
}

IControl::IControl(const IRectangle& bounds, int32_t paramIdx, ActionFunction actionFunc)
    : rect(bounds), targetRect(bounds),
      actionFunction(std::move(actionFunc)), values{Value{paramIdx, 0.0}} {}

IControl::~IControl() = default;

Steinberg::tresult PLUGIN_API IControl::queryInterface(const Steinberg::TUID iid, void** obj) {
    if (obj == nullptr)
        return kInvalidArgument;
    QUERY_INTERFACE(iid, obj, Steinberg::Vst::IContextMenuTarget::iid,
                    Steinberg::Vst::IContextMenuTarget)
    return FObject::queryInterface(iid, obj);
}

Steinberg::tresult PLUGIN_API IControl::executeMenuItem(Steinberg::int32 tag) {
    // A host may keep our items (and so this control) past the editor's life.
    if (graphics == nullptr)
        return kResultFalse;
    OnContextMenuChoice(tag);
    return kResultOk;
}

void IControl::AttachToEditor(IEditorCore& editor, IGraphicalEditorDelegate& editorDelegate) {
    graphics = &editor;
    delegate = &editorDelegate;
}

void IControl::DetachFromEditor() {
    graphics = nullptr;
    delegate = nullptr;
    parent = nullptr;
    // Functions may hold references into the editor or the plug-in.
    actionFunction = nullptr;
    animationFunction = nullptr;
    animationEndFunction = nullptr;
    gestureFunctions.clear();
}

// ---- Pointer ----

void IControl::OnMouseDown(float x, float y, const IPointerModifiers& mod) {
    if (!mod.R || promptDisabled || graphics == nullptr)
        return;
    const int32_t valueIndex = ValueIndexAt(x, y);
    const plugin::IParam* param = BoundParam(valueIndex);
    if (param == nullptr)
        return;
    const IRectangle prompt =
        param->ValueTextCount() > 0 ? rect : rect.GetCentredInside(kPromptWidth, kPromptHeight);
    graphics->OpenValueEntry(*this, prompt, valueIndex);
    SetDirty(false);
}

void IControl::OnMouseUp(float, float, const IPointerModifiers&) {}

void IControl::OnMouseDrag(float, float, float, float, const IPointerModifiers&) {}

void IControl::OnMouseDoubleClick(float x, float y, const IPointerModifiers&) {
    ResetToDefault(ValueIndexAt(x, y));
}

void IControl::OnMouseWheel(float, float, const IPointerModifiers&, float) {}

bool IControl::OnKeyDown(float, float, const IKeyEvent&) {
    return false;
}

bool IControl::OnKeyUp(float, float, const IKeyEvent&) {
    return false;
}

void IControl::OnMouseOver(float, float, const IPointerModifiers&) {
    const bool wasOver = mouseIsOver;
    mouseIsOver = true;
    if (!wasOver)
        SetDirty(false);
}

void IControl::OnMouseOut() {
    if (mouseIsOver)
        SetDirty(false);
    mouseIsOver = false;
}

void IControl::OnDrop(const char*) {}

void IControl::OnDropFiles(const std::vector<std::string>& utf8Paths) {
    if (!utf8Paths.empty())
        OnDrop(utf8Paths.front().c_str());
}

// ---- Messages ----

void IControl::OnPluginMessage(int32_t, int32_t, const void*) {}

void IControl::OnMidi(const plugin::MidiMessage&) {}

bool IControl::OnGesture(const IGestureInfo& info) {
    const auto found = gestureFunctions.find(info.type);
    if (found == gestureFunctions.end() || !found->second)
        return false;
    lastGesture = info.type;
    found->second(this, info);
    return true;
}

// ---- Menus and prompts ----

void IControl::FillContextMenu(IPopupMenu&) {}

void IControl::OnMenuChoice(IPopupMenu* chosenMenu, int32_t valueIndex) {
    const plugin::IParam* param = BoundParam(valueIndex);
    if (chosenMenu == nullptr || param == nullptr || promptDisabled)
        return;
    // The prompt lists the parameter's named values in order.
    const plugin::IParam::ValueText* chosen = param->ValueTextAt(chosenMenu->chosenIndex);
    if (chosen != nullptr)
        SetValueFromEntry(param->NormalizeValue(chosen->value), valueIndex);
}

void IControl::OnValueEntryDone(const char*, int32_t) {}

void IControl::OnContextMenuChoice(int32_t) {}

// ---- Drawing ----

void IControl::DrawHighlight(IEditorCore& g) {
    // A small dot in the top-right corner marks an automated parameter.
    constexpr float kInset = 5.0f;
    constexpr float kRadius = 2.0f;
    if (highlighted)
        g.FillCircle(highlightColor, rect.R - kInset, rect.T + kInset, kRadius);
}

// ---- Values ----

void IControl::BindParam(int32_t paramIdx, int32_t valueIndex) {
    if (!IsValueIndex(valueIndex))
        return;
    values[static_cast<size_t>(valueIndex)].paramIdx = paramIdx;
    SetDirty(false);
}

int32_t IControl::ValueIndexAt(float, float) const {
    return NValues() == 1 ? 0 : -1;
}

void IControl::SetValueFromPlugin(double value, int32_t valueIndex) {
    if (!IsValueIndex(valueIndex))
        return;
    // Host automation must not fight the user's hand.
    if (graphics != nullptr && graphics->IsControlCaptured(this))
        return;
    const double stored = values[static_cast<size_t>(valueIndex)].value;
    if (!(value == stored)) {
        SetValue(value, valueIndex);
        SetDirty(false);
    }
}

void IControl::SetValueFromEntry(double value, int32_t valueIndex) {
    if (!IsValueIndex(valueIndex))
        return;
    if (!(value == values[static_cast<size_t>(valueIndex)].value)) {
        SetValue(value, valueIndex);
        SetDirty(true, valueIndex);
    }
}

void IControl::ResetToDefault(int32_t valueIndex) {
    if (NValues() == 1)
        valueIndex = 0;
    for (int32_t i = 0; i < NValues(); ++i) {
        if (valueIndex != -1 && i != valueIndex)
            continue;
        if (const plugin::IParam* param = BoundParam(i))
            SetValue(param->NormalizeValue(param->DefaultValue()), i);
    }
    SetDirty(true, valueIndex);
}

void IControl::SetValue(double value, int32_t valueIndex) {
    if (IsValueIndex(valueIndex))
        values[static_cast<size_t>(valueIndex)].value = value;
}

void IControl::SetPosition(float x, float y) {
    const float left = std::max(0.0f, x);
    const float top = std::max(0.0f, y);
    const float dx = left - rect.L;
    const float dy = top - rect.T;
    rect = rect.GetTranslated(dx, dy);
    targetRect = targetRect.GetTranslated(dx, dy);
    OnResize();
}

void IControl::SetSize(float w, float h) {
    rect.R = rect.L + std::max(0.0f, w);
    rect.B = rect.T + std::max(0.0f, h);
    targetRect = rect;
    OnResize();
}

void IControl::Hide(bool hide) {
    hidden = hide;
    SetDirty(false);
}

void IControl::SetDisabled(bool disable) {
    disabled = disable;
    blend.weight = disable ? kDisabledWeight : 1.0f;
    SetDirty(false);
}

void IControl::SetDirty(bool triggerAction, int32_t valueIndex) {
    if (NValues() == 1)
        valueIndex = 0;
    for (int32_t i = 0; i < NValues(); ++i) {
        if (valueIndex == -1 || i == valueIndex)
            SetValue(ClampNormalized(GetValue(i)), i);
    }
    dirty = true;
    if (!triggerAction)
        return;
    for (int32_t i = 0; i < NValues(); ++i) {
        if (valueIndex != -1 && i != valueIndex)
            continue;
        const int32_t paramIdx = ParamIndexOf(i);
        if (paramIdx < 0 || delegate == nullptr)
            continue;
        delegate->SetParamFromEditor(paramIdx, GetValue(i));
        if (graphics != nullptr)
            graphics->SyncParamPeers(*this, i);
    }
    if (actionFunction)
        actionFunction(this);
}

void IControl::SetValueFromPointer(float x, float y, int32_t direction, const IRectangle& bounds,
                                   int32_t valueIndex, double lowClip, double highClip) {
    const float px = std::clamp(x, bounds.L, std::max(bounds.L, bounds.R));
    const float py = std::clamp(y, bounds.T, std::max(bounds.T, bounds.B));
    double position = 0.0;
    if (direction == 1 && bounds.W() > 0.0f)
        position = (px - bounds.L) / bounds.W();
    else if (direction != 1 && bounds.H() > 0.0f)
        position = 1.0 - (py - bounds.T) / bounds.H();
    position = std::round(position / kPointerValueGrid) * kPointerValueGrid;
    position = std::clamp(position, std::min(lowClip, highClip), std::max(lowClip, highClip));
    for (int32_t i = 0; i < NValues(); ++i) {
        if (valueIndex == -1 || i == valueIndex)
            SetValue(position, i);
    }
    SetDirty(true, valueIndex);
}

void IControl::OnAnimationEnd() {
    animationFunction = nullptr;
    SetDirty(false);
    if (animationEndFunction)
        animationEndFunction(this);
}

// ---- Non-virtual access ----

double IControl::GetValue(int32_t valueIndex) const {
    return IsValueIndex(valueIndex) ? values[static_cast<size_t>(valueIndex)].value : 0.0;
}

int32_t IControl::ParamIndexOf(int32_t valueIndex) const {
    return IsValueIndex(valueIndex) ? values[static_cast<size_t>(valueIndex)].paramIdx : -1;
}

plugin::IParam* IControl::BoundParam(int32_t valueIndex) const {
    const int32_t paramIdx = ParamIndexOf(valueIndex);
    if (paramIdx < 0 || delegate == nullptr)
        return nullptr;
    return delegate->ParamAt(paramIdx);
}

int32_t IControl::ValueIndexForParam(int32_t paramIdx) const {
    if (paramIdx < 0)
        return -1;
    for (int32_t i = 0; i < NValues(); ++i) {
        if (values[static_cast<size_t>(i)].paramIdx == paramIdx)
            return i;
    }
    return -1;
}

void IControl::Animate() {
    if (animationFunction)
        animationFunction(this);
}

void IControl::OpenValueEntry(const IRectangle& bounds, int32_t valueIndex) {
    if (graphics != nullptr && !promptDisabled && BoundParam(valueIndex) != nullptr)
        graphics->OpenValueEntry(*this, bounds, valueIndex);
}

} // namespace ui
