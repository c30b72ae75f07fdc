// The editor core's pointer and key entries: hit testing, captures, the
// host's begin/end edit gestures, hover, the interactive resize drag and the
// host's parameter context menu.

#include "ui/IEditorCore.h"

#include "plugin/Trace.h"
#include "ui/HostContextMenu.h"
#include "ui/IControl.h"
#include "ui/IGraphicalEditorDelegate.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace ui {

namespace {

// A pointer coordinate as a logical size; false for no number.
bool TruncateToSize(float value, int32_t& size) {
    if (!std::isfinite(value))
        return false;
    constexpr float kMost = static_cast<float>(std::numeric_limits<int32_t>::max() / 2);
    size = static_cast<int32_t>(std::clamp(value, -kMost, kMost));
    return true;
}

} // namespace

// ---- Hit testing and captures ----

IControl* IEditorCore::ControlUnderPointer(float x, float y, bool capture, bool mouseOver,
                                           int64_t touchId) {
    if (const auto captured = capturedControls.find(touchId); captured != capturedControls.end())
        return captured->second;

    IControl* found = nullptr;
    int32_t foundIndex = -1;
    if (!mouseOver || hoverTracking) {
        // The background (index 0) never receives hover.
        const int32_t lowest = mouseOver ? 1 : 0;
        for (int32_t i = NControls() - 1; i >= lowest; --i) {
            IControl& control = *controls[static_cast<size_t>(i)];
            if (control.IsHidden() || control.GetIgnoreMouse())
                continue;
            if (control.IsDisabled() && !(mouseOver ? control.GetMouseOverWhenDisabled()
                                                    : control.GetMouseEventsWhenDisabled()))
                continue;
            if (control.IsHit(x, y)) {
                found = &control;
                foundIndex = i;
                break;
            }
        }
    }
    if (capture && found != nullptr) {
        if (enableMultiTouch && !found->GetWantsMultiTouch() && IsControlCaptured(found))
            return nullptr; // another touch holds it
        capturedControls[touchId] = found;
    }
    if (mouseOver)
        mouseOverIndex = foundIndex;
    return found;
}

IControl* IEditorCore::CapturedControl(int64_t touchId) const {
    const auto found = capturedControls.find(touchId);
    return found == capturedControls.end() ? nullptr : found->second;
}

bool IEditorCore::IsControlCaptured(const IControl* control) const {
    for (const auto& [touch, captured] : capturedControls) {
        if (captured == control)
            return true;
    }
    return false;
}

void IEditorCore::ReleaseMouseCapture() {
    CancelCaptures(true);
    ShowPointerIfHidden();
}

void IEditorCore::SetPointerHidden(bool hide, bool lock) {
    cursorHidden = hide;
    HidePointer(hide, lock);
}

void IEditorCore::ShowPointerIfHidden() {
    if (cursorHidden)
        SetPointerHidden(false, false);
}

void IEditorCore::BeginGesture(int64_t touchId, IControl& control) {
    // A second press on the same touch (another button) keeps the gesture
    // that is open: the host sees one begin and one end.
    if (openGestures.contains(touchId))
        return;
    OpenGesture gesture{&control, {}};
    for (int32_t i = 0; i < control.NValues(); ++i) {
        const int32_t paramIdx = control.ParamIndexOf(i);
        if (paramIdx >= 0) {
            gesture.params.push_back(paramIdx);
            delegate.BeginParamEdit(paramIdx);
        }
    }
    if (!gesture.params.empty())
        openGestures.emplace(touchId, std::move(gesture));
}

void IEditorCore::EndGesture(int64_t touchId) {
    const auto found = openGestures.find(touchId);
    if (found == openGestures.end())
        return;
    const std::vector<int32_t> params = std::move(found->second.params);
    openGestures.erase(found);
    for (int32_t paramIdx : params)
        delegate.EndParamEdit(paramIdx);
}

void IEditorCore::CancelCaptures(bool releaseControls) {
    // A control that loses the pointer mid-drag is released as if the
    // button had gone up, and the host's gesture is closed: an edit left
    // open would keep the host's automation in its touch state.
    const std::map<int64_t, IControl*> captured = std::move(capturedControls);
    capturedControls.clear();
    for (const auto& [touchId, control] : captured) {
        if (releaseControls && openGestures.contains(touchId))
            control->OnMouseUp(lastMouseX, lastMouseY, IPointerModifiers{});
        EndGesture(touchId);
    }
    while (!openGestures.empty())
        EndGesture(openGestures.begin()->first);
}

void IEditorCore::RunAsOneShotEdit(IControl& control, const std::function<void()>& change) {
    // The host's component handler expects every performEdit between a
    // beginEdit and an endEdit. A control being dragged is inside its
    // gesture already.
    for (const auto& [touchId, gesture] : openGestures) {
        if (gesture.control == &control) {
            change();
            return;
        }
    }
    std::vector<int32_t> params;
    for (int32_t i = 0; i < control.NValues(); ++i) {
        if (control.ParamIndexOf(i) >= 0)
            params.push_back(control.ParamIndexOf(i));
    }
    for (int32_t paramIdx : params)
        delegate.BeginParamEdit(paramIdx);
    change();
    for (int32_t paramIdx : params)
        delegate.EndParamEdit(paramIdx);
}

// ---- Pointer entries ----

void IEditorCore::OnMouseDown(std::span<const IPointerEvent> points) {
    if (points.size() == 1) {
        mouseDownX = points[0].x;
        mouseDownY = points[0].y;
    }
    for (const IPointerEvent& point : points) {
        lastMouseX = point.x;
        lastMouseY = point.y;
        const int64_t touchId = point.modifiers.touchId;
        const bool wasCaptured = capturedControls.contains(touchId);
        IControl* control = ControlUnderPointer(point.x, point.y, true, false, touchId);
        if (control == nullptr)
            continue;
        const int32_t valueIndex = control->ValueIndexAt(point.x, point.y);
        const int32_t paramIdx = control->ParamIndexOf(std::max(valueIndex, 0));
        if (point.modifiers.R && paramIdx >= 0) {
            // The host's menu instead of a press: no gesture for this
            // control, and whatever else held the pointer lets go.
            if (!wasCaptured)
                capturedControls.erase(touchId);
            CancelCaptures(true);
            ShowPointerIfHidden();
            ShowHostParamMenu(*control, paramIdx, point.x, point.y);
            return;
        }
        BeginGesture(touchId, *control);
        control->OnMouseDown(point.x, point.y, point.modifiers);
    }
}

void IEditorCore::OnMouseUp(std::span<const IPointerEvent> points) {
    for (const IPointerEvent& point : points) {
        lastMouseX = point.x;
        lastMouseY = point.y;
        const int64_t touchId = point.modifiers.touchId;
        IControl* control = CapturedControl(touchId);
        if (control == nullptr)
            continue;
        control->OnMouseUp(point.x, point.y, point.modifiers);
        EndGesture(touchId);
        capturedControls.erase(touchId);
    }
    if (resizeInProgress) {
        FinishResize();
        freeScaleHeld = false;
    }
    if (pendingScale > 0.0f) {
        const float scale = pendingScale;
        pendingScale = 0.0f;
        resizeInProgress = true;
        freeScaleHeld = false;
        Resize(width, height, scale, true);
        FinishResize();
    }
    if (points.size() == 1 && points[0].modifiers.touchId == 0)
        OnMouseOver(points[0].x, points[0].y, points[0].modifiers);
}

void IEditorCore::OnMouseDrag(std::span<const IPointerEvent> points) {
    if (resizeInProgress && points.size() == 1) {
        const IPointerEvent& point = points[0];
        freeScaleHeld = point.modifiers.S;
        if (resizeMode == 1) {
            int32_t w = 0;
            int32_t h = 0;
            if (TruncateToSize(point.x, w) && TruncateToSize(point.y, h))
                Resize(w, h, drawScale, true);
            return;
        }
        // The scale follows the pointer's distance from the top-left corner,
        // relative to the press; a press on the corner's own row or column
        // gives that direction no ratio.
        float scale = std::numeric_limits<float>::infinity();
        if (mouseDownY > 0.0f)
            scale = std::min(scale, drawScale * point.y / mouseDownY);
        if (mouseDownX > 0.0f)
            scale = std::min(scale, drawScale * point.x / mouseDownX);
        if (std::isfinite(scale))
            Resize(width, height, scale, true);
        return;
    }
    if (capturedControls.empty() || inTextEntry != nullptr)
        return;
    for (const IPointerEvent& point : points) {
        lastMouseX = point.x;
        lastMouseY = point.y;
        IControl* control = CapturedControl(point.modifiers.touchId);
        if (control != nullptr && (point.dX != 0.0f || point.dY != 0.0f))
            control->OnMouseDrag(point.x, point.y, point.dX, point.dY, point.modifiers);
    }
}

bool IEditorCore::OnMouseDoubleClick(float x, float y, const IPointerModifiers& modifiers) {
    IControl* control = ControlUnderPointer(x, y, true, false, 0);
    if (control == nullptr)
        return false;
    if (control->GetDoubleClickAsClick()) {
        const IPointerEvent point{x, y, 0.0f, 0.0f, modifiers};
        OnMouseDown(std::span<const IPointerEvent>(&point, 1));
        return true;
    }
    RunAsOneShotEdit(*control, [&] { control->OnMouseDoubleClick(x, y, modifiers); });
    CancelCaptures(true);
    ShowPointerIfHidden();
    return true;
}

bool IEditorCore::OnMouseWheel(float x, float y, const IPointerModifiers& modifiers,
                               float notches) {
    IControl* control = ControlUnderPointer(x, y, false, false, 0);
    if (control == nullptr)
        return false;
    RunAsOneShotEdit(*control, [&] { control->OnMouseWheel(x, y, modifiers, notches); });
    return true;
}

bool IEditorCore::OnMouseOver(float x, float y, const IPointerModifiers& modifiers) {
    lastMouseX = x;
    lastMouseY = y;
    IControl* control = ControlUnderPointer(x, y, false, true, 0);
    if (control != mouseOverControl) {
        if (mouseOverControl != nullptr)
            mouseOverControl->OnMouseOut();
        mouseOverControl = control;
    }
    if (control != nullptr)
        control->OnMouseOver(x, y, modifiers);
    return control != nullptr;
}

void IEditorCore::OnMouseOut() {
    // cursorKind follows what is shown: the arrow.
    SetCursorShape(CursorShape::Arrow);
    for (std::unique_ptr<IControl>& control : controls)
        control->OnMouseOut();
    mouseOverControl = nullptr;
    mouseOverIndex = -1;
}

// ---- Keys and drops ----

namespace {

bool HandleKey(IEditorCore& core, float x, float y, const IKeyEvent& key, bool isUp,
               const IEditorCore::KeyHandlerFunction& keyHandler) {
    // The key's text is traced from a terminated copy, whatever arrived.
    char text[sizeof key.utf8 + 1] = {};
    std::memcpy(text, key.utf8, sizeof key.utf8);
    plugin::Trace(isUp ? "IEditorCore::OnKeyUp" : "IEditorCore::OnKeyDown",
                  "x:%0.2f, y:%0.2f, key:%s", static_cast<double>(x), static_cast<double>(y), text);
    IControl* control = core.ControlUnderPointer(x, y, false, false, 0);
    if (control != nullptr && control != core.GetControl(0)) {
        if (isUp ? control->OnKeyUp(x, y, key) : control->OnKeyDown(x, y, key))
            return true;
    }
    return keyHandler ? keyHandler(key, isUp) : false;
}

} // namespace

bool IEditorCore::OnKeyDown(float x, float y, const IKeyEvent& key) {
    return HandleKey(*this, x, y, key, false, keyHandler);
}

bool IEditorCore::OnKeyUp(float x, float y, const IKeyEvent& key) {
    return HandleKey(*this, x, y, key, true, keyHandler);
}

void IEditorCore::OnDrop(const char* utf8Path, float x, float y) {
    IControl* control = ControlUnderPointer(x, y, false, false, 0);
    if (control != nullptr && control->AcceptsDrop() && utf8Path != nullptr)
        control->OnDrop(utf8Path);
}

void IEditorCore::OnDropFiles(const std::vector<std::string>& utf8Paths, float x, float y) {
    IControl* control = ControlUnderPointer(x, y, false, false, 0);
    if (control != nullptr && control->AcceptsDrop() && !utf8Paths.empty())
        control->OnDropFiles(utf8Paths);
}

// ---- The host's parameter menu ----

void IEditorCore::ShowHostParamMenu(IControl& control, int32_t paramIdx, float x, float y) {
    promptMenu.Clear();
    control.FillContextMenu(promptMenu);
    Steinberg::Vst::IContextMenu* menu = delegate.CreateHostContextMenu(paramIdx);
    if (menu == nullptr)
        return;
    // The menu is modal and the host may do anything meanwhile, closing the
    // editor included: the control is held for the duration, and nothing of
    // this object is touched after the popup but the menu's release.
    control.addRef();
    AppendToHostMenu(*menu, promptMenu, control);
    const float k = PixelScale();
    menu->popup(ToHostCoordinate(x * k), ToHostCoordinate(y * k));
    menu->release();
    control.release();
}

} // namespace ui
