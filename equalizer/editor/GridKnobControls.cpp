#include "equalizer/editor/GridKnobControls.h"

#include "plugin/IParam.h"
#include "ui/IEditorCore.h"
#include "ui/IGraphicalEditorDelegate.h"

#include <algorithm>
#include <cmath>

namespace equalizer {

namespace {

ui::IRectangle GridFrameRect(float x, float y, const ui::IBitmapRef& bitmap,
                             const GridStrip& strip) {
    const GridFrameSize size = GridFrameSizeOf(bitmap.width, bitmap.height, strip);
    return {x, y, x + static_cast<float>(size.width), y + static_cast<float>(size.height)};
}

bool IsFine(const ui::IPointerModifiers& mod) {
    return mod.C || mod.S;
}

} // namespace

// ---- Grid knob ----

IBGridKnobControl::IBGridKnobControl(float x, float y, const ui::IBitmapRef& bitmap,
                                     int32_t paramIdx, int32_t frames, int32_t columns,
                                     int32_t direction, double gearing)
    : IBGridKnobControl(GridFrameRect(x, y, bitmap, GridStrip{frames, columns}), bitmap, paramIdx,
                        frames, columns, direction, gearing) {}

IBGridKnobControl::IBGridKnobControl(const ui::IRectangle& bounds, const ui::IBitmapRef& bitmap,
                                     int32_t paramIdx, int32_t frames, int32_t columns,
                                     int32_t direction, double gearing)
    : IKnobControlBase(bounds, paramIdx, direction, gearing),
      IBitmapBase(bitmap), strip{std::max(frames, 1), std::max(columns, 1)} {
    AttachIControl(this);
}

void IBGridKnobControl::OnRescale() {
    ReloadBitmapForScale();
}

ui::IRectangle IBGridKnobControl::FrameDestination() const {
    const GridFrameSize size = GridFrameSizeOf(bitmap.width, bitmap.height, strip);
    return rect.GetCentredInside(static_cast<float>(size.width), static_cast<float>(size.height));
}

void IBGridKnobControl::Draw(ui::IEditorCore& g) {
    const GridFrameSize size = GridFrameSizeOf(bitmap.width, bitmap.height, strip);
    const GridCell cell = GridCellOf(ShownFrame(), strip);
    g.DrawBitmap(bitmap, FrameDestination(), size.width * cell.column, size.height * cell.row,
                 &blend);
}

void IBGridKnobControl::OpenPromptAt(float entryX, float entryY, float x, float y) {
    const int32_t valueIndex = ValueIndexAt(x, y);
    if (valueIndex != -1)
        OpenValueEntry(ui::IRectangle(entryX, entryY, entryX + 40.0f, entryY + 16.0f), valueIndex);
}

// ---- Gain knob with its value box ----

ui::ITextStyle IBGridCorvaneKnobControl::DefaultValueText() {
    ui::ITextStyle style;
    style.size = 16.0f;
    style.color = ui::kColourWhite;
    style.align = ui::kAlignCenter;
    style.valign = ui::kVAlignMiddle;
    return style;
}

void IBGridCorvaneKnobControl::OnMouseDown(float x, float y, const ui::IPointerModifiers& mod) {
    if (mod.S) {
        OpenPromptAt(entryX, entryY, x, y);
        // The editor holds this knob until the release, so the drags of this
        // press still reach it: they turn it from where it stands, not from
        // where an earlier turn left off.
        dragValue = GetValue(0);
        return;
    }
    if (showValueWhileDragging) {
        showingValue = true;
        SetDirty(false);
    }
    IKnobControlBase::OnMouseDown(x, y, mod);
}

void IBGridCorvaneKnobControl::OnMouseUp(float x, float y, const ui::IPointerModifiers& mod) {
    showingValue = false;
    SetDirty(false);
    IKnobControlBase::OnMouseUp(x, y, mod);
}

void IBGridCorvaneKnobControl::OnMouseDrag(float x, float y, float dX, float dY,
                                           const ui::IPointerModifiers& mod) {
    IKnobControlBase::OnMouseDrag(x, y, dX, dY, mod);
    if (showingValue)
        SetDirty(false);
}

ui::IRectangle IBGridCorvaneKnobControl::ValueBox() const {
    const float cx = rect.MW() + boxOffsetX;
    const float cy = rect.MH() + boxOffsetY;
    return {cx - boxWidth / 2, cy - boxHeight / 2, cx + boxWidth / 2, cy + boxHeight / 2};
}

void IBGridCorvaneKnobControl::Draw(ui::IEditorCore& g) {
    IBGridKnobControl::Draw(g);
    if (!showingValue || !showValueWhileDragging)
        return;
    const plugin::IParam* param = BoundParam(0);
    if (param == nullptr)
        return;
    plugin::ParamText display{};
    param->FormatValue(param->CurrentValue(), false, display);
    const ui::IRectangle box = ValueBox();
    g.FillRoundRect(kBoxColour, box, kBoxCornerRadius);
    g.DrawText(valueText, display, box);
}

// ---- Stepped frequency knob ----

void IBGridDetentKnobControl::SetSteps(int32_t highestPosition) {
    steps = std::max(highestPosition, 1);
    currentStep = std::clamp(currentStep, 0, steps);
}

void IBGridDetentKnobControl::OnMouseDown(float x, float y, const ui::IPointerModifiers& mod) {
    if (mod.S) {
        OpenPromptAt(entryX, entryY, x, y);
        return;
    }
    IKnobControlBase::OnMouseDown(x, y, mod);
}

void IBGridDetentKnobControl::OnMouseDrag(float, float, float dX, float dY,
                                          const ui::IPointerModifiers& mod) {
    const double g = IsFine(mod) ? gearing * kFineFactor : gearing;
    // Counted in the knob's own extent; up (or right) turns it up.
    const double range = direction == ui::kVertical ? rect.T - rect.B : rect.R - rect.L;
    const double travel = direction == ui::kVertical ? dY : dX;
    const double turn = travel / range / g;
    if (!std::isfinite(turn))
        return;
    SetValue(GetValue(0) + turn, 0);
    const int32_t position = NearestDetent(GetValue(0), steps);
    if (position != currentStep) {
        currentStep = position;
        SendCurrentStep();
    } else {
        SetDirty(false);
    }
}

void IBGridDetentKnobControl::OnMouseUp(float x, float y, const ui::IPointerModifiers& mod) {
    // The picture settles on the position last sent, which goes once more.
    SendCurrentStep();
    IKnobControlBase::OnMouseUp(x, y, mod);
}

void IBGridDetentKnobControl::OnMouseWheel(float, float, const ui::IPointerModifiers&,
                                           float notches) {
    int32_t position = NearestDetent(GetValue(0), steps);
    if (notches > 0.0f)
        position = std::min(steps, position + 1);
    else if (notches < 0.0f)
        position = std::max(0, position - 1);
    currentStep = position;
    SendCurrentStep();
    resendPending = true;
}

void IBGridDetentKnobControl::OnMouseOut() {
    if (resendPending) {
        resendPending = false;
        // Outside a press this is an edit of its own: the host expects every
        // value between a begin and an end.
        ui::IGraphicalEditorDelegate* editDelegate = delegate;
        const int32_t paramIdx = ParamIndexOf(0);
        const bool held = graphics != nullptr && graphics->IsControlCaptured(this);
        const bool wrap = editDelegate != nullptr && paramIdx >= 0 && !held;
        if (wrap)
            editDelegate->BeginParamEdit(paramIdx);
        SendCurrentStep();
        if (wrap)
            editDelegate->EndParamEdit(paramIdx);
    }
    IControl::OnMouseOut();
}

void IBGridDetentKnobControl::OnMouseDoubleClick(float, float, const ui::IPointerModifiers&) {
    ResetToDefault(-1);
    currentStep = NearestDetent(GetValue(0), steps);
    SetDirty(true);
}

void IBGridDetentKnobControl::SetValueFromPlugin(double value, int32_t valueIndex) {
    IControl::SetValueFromPlugin(value, valueIndex);
    if (valueIndex == 0 && std::isfinite(value))
        currentStep = NearestDetent(value, steps);
}

void IBGridDetentKnobControl::SendCurrentStep() {
    SetValue(DetentValue(currentStep, steps), 0);
    SetDirty(true);
}

} // namespace equalizer
