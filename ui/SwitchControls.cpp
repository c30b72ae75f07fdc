#include "ui/SwitchControls.h"

#include "plugin/IParam.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

// A stepped value past 1 by more than float noise has wrapped.
constexpr double kWrapTolerance = 0.001;

} // namespace

ISwitchControlBase::ISwitchControlBase(const IRectangle& bounds, int32_t paramIdx,
                                       ActionFunction actionFunc, int32_t states)
    : IControl(bounds, paramIdx, std::move(actionFunc)), states(0) {
    SetNStates(states);
    doubleClickAsClick = true;
}

void ISwitchControlBase::SetNStates(int32_t count) {
    states = std::max(count, 1);
    disabledStates.assign(static_cast<size_t>(states), 0);
}

void ISwitchControlBase::SetStateDisabled(int32_t state, bool disable) {
    if (state >= 0 && state < states)
        disabledStates[static_cast<size_t>(state)] = disable ? 1 : 0;
}

bool ISwitchControlBase::GetStateDisabled(int32_t state) const {
    return state >= 0 && state < states && disabledStates[static_cast<size_t>(state)] != 0;
}

void ISwitchControlBase::OnMouseDown(float, float, const IPointerModifiers&) {
    const double current = GetValue(0);
    if (states == 2) {
        SetValue(current == 0.0 ? 1.0 : 0.0, 0);
    } else if (states > 2) {
        // Stepped on the position grid rather than by adding 1 / (states - 1)
        // to the value: repeated float additions could land a hair above 1
        // and wrap one position early.
        const int32_t last = states - 1;
        const int32_t position = static_cast<int32_t>(std::lround(ClampNormalized(current) * last));
        int32_t next = position;
        for (int32_t tries = 0; tries < states; ++tries) {
            next = next >= last ? 0 : next + 1;
            if (!GetStateDisabled(next))
                break;
        }
        SetValue(static_cast<double>(next) / last, 0);
    }
    mouseDown = true;
    SetDirty(true);
}

void ISwitchControlBase::OnMouseUp(float, float, const IPointerModifiers&) {
    mouseDown = false;
    SetDirty(false);
}

void ISwitchControlBase::OnInit() {
    if (const plugin::IParam* param = BoundParam(0)) {
        const double span = param->Max() - param->Min();
        // A parameter's range is its business; a nonsense one must not make
        // the switch allocate without bound.
        constexpr double kMostStates = 4096.0;
        if (std::isfinite(span) && span >= 0.0)
            SetNStates(static_cast<int32_t>(std::min(span, kMostStates)) + 1);
    }
}

IBSwitchControl::IBSwitchControl(float x, float y, const IBitmapRef& bitmap, int32_t paramIdx)
    : ISwitchControlBase(BitmapFrameRect(x, y, bitmap), paramIdx, nullptr, 2), IBitmapBase(bitmap) {
    AttachIControl(this);
}

void IBSwitchControl::OnMouseDown(float, float, const IPointerModifiers&) {
    const int32_t frames = bitmap.frames;
    const double step = frames > 1 ? 1.0 / (frames - 1) : 1.0;
    SetValue(GetValue(0) + step, 0);
    if (GetValue(0) > 1.0 + kWrapTolerance)
        SetValue(0.0, 0);
    SetDirty(true);
}

} // namespace ui
