#include "ui/KnobControlBase.h"

#include "plugin/IParam.h"
#include "ui/IEditorCore.h"

#include <cmath>

namespace ui {

namespace {

bool IsFine(const IPointerModifiers& mod) {
    return mod.C || mod.S;
}

// A parameter whose values lie on a grid the knob must land on.
bool HasStepGrid(const plugin::IParam* param) {
    return param != nullptr && param->HasFlag(plugin::IParam::Stepped) && param->Step() > 0.0;
}

} // namespace

IKnobControlBase::IKnobControlBase(const IRectangle& bounds, int32_t paramIdx, int32_t direction,
                                   double gearing)
    : IControl(bounds, paramIdx), direction(direction), gearing(gearing) {}

void IKnobControlBase::OnMouseDown(float x, float y, const IPointerModifiers& mod) {
    mouseDown = true;
    dragValue = GetValue(0);
    if (hideCursorOnDrag && graphics != nullptr)
        graphics->SetPointerHidden(true, true);
    IControl::OnMouseDown(x, y, mod);
}

void IKnobControlBase::OnMouseUp(float, float, const IPointerModifiers&) {
    if (hideCursorOnDrag && graphics != nullptr)
        graphics->SetPointerHidden(false, true);
    mouseDown = false;
    SetDirty(false);
}

void IKnobControlBase::OnMouseDrag(float, float, float dX, float dY, const IPointerModifiers& mod) {
    const double g = IsFine(mod) ? gearing * kFineFactor : gearing;
    const IRectangle area = DragArea();
    // Screen y grows downwards: the negative height makes upward travel
    // increase the value.
    const double range = direction == kVertical ? area.T - area.B : area.R - area.L;
    const double travel = direction == kVertical ? dY : dX;
    const double step = travel / range / g;
    if (!std::isfinite(step))
        return; // a drag area without extent, or no gearing
    dragValue = ClampNormalized(dragValue + step);

    const plugin::IParam* param = BoundParam(0);
    const double value =
        HasStepGrid(param) ? param->NormalizeValue(param->DenormalizeValue(dragValue)) : dragValue;
    SetValue(value, 0);
    SetDirty(true);
}

void IKnobControlBase::OnMouseWheel(float, float, const IPointerModifiers& mod, float notches) {
    const double current = GetValue(0);
    const plugin::IParam* param = BoundParam(0);
    double value = current;
    if (HasStepGrid(param)) {
        const double real = param->DenormalizeValue(current);
        if (notches > 0.0f)
            value = param->NormalizeValue(real + param->Step());
        else if (notches < 0.0f)
            value = param->NormalizeValue(real - param->Step());
    } else if (std::isfinite(notches)) {
        value = current + notches * (IsFine(mod) ? kFineWheelIncrement : kWheelIncrement);
    }
    SetValue(value, 0);
    SetDirty(true);
}

} // namespace ui
