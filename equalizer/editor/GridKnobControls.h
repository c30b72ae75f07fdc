#pragma once

// The equalizer's knobs, drawn from grid film strips: the plain grid knob,
// the continuous gain knob that shows its value in a box while it is
// turned, and the stepped frequency knob whose picture turns smoothly while
// its value snaps from position to position. UI thread.

#include "equalizer/editor/GridFilmStrip.h"
#include "ui/BitmapControls.h"
#include "ui/KnobControlBase.h"

namespace equalizer {

// A knob showing the frame of its grid strip nearest its value, centred in
// its rectangle.
class IBGridKnobControl : public ui::IKnobControlBase, public ui::IBitmapBase {
public:
    static constexpr double kPanelGearing = 4.0;

    // [ui] The rectangle is one frame of the bitmap at (x, y).
    IBGridKnobControl(float x, float y, const ui::IBitmapRef& bitmap, int32_t paramIdx,
                      int32_t frames, int32_t columns, int32_t direction = ui::kVertical,
                      double gearing = kPanelGearing);
    // [ui] A rectangle of its own: whatever the frame size of the resolution
    // variant in use, the frame is drawn centred in it.
    IBGridKnobControl(const ui::IRectangle& bounds, const ui::IBitmapRef& bitmap, int32_t paramIdx,
                      int32_t frames, int32_t columns, int32_t direction = ui::kVertical,
                      double gearing = kPanelGearing);

    // [ui] The strip again for the current backing scale; the rectangle stays.
    void OnRescale() override;
    void Draw(ui::IEditorCore& g) override;

    const GridStrip& Strip() const { return strip; }
    // [ui] The frame the current value shows, 0-based.
    int32_t ShownFrame() const { return GridFrameForValue(GetValue(0), strip.frames); }
    // [ui] One frame of the current bitmap, centred in the rectangle.
    ui::IRectangle FrameDestination() const;

protected:
    // The top-left corner of the 40 x 16 value-prompt box: centred on the knob.
    float DefaultEntryX() const { return rect.MW() - 20.0f; }
    float DefaultEntryY() const { return rect.MH() - 8.0f; }
    // A Shift-press asks for a value prompt (which stays shut while prompts
    // are disabled) instead of starting a turn.
    void OpenPromptAt(float entryX, float entryY, float x, float y);

    GridStrip strip;
};

// The gain knob: continuous, and while it is held its parameter's display
// text appears in a box over it.
class IBGridCorvaneKnobControl : public IBGridKnobControl {
public:
    using IBGridKnobControl::IBGridKnobControl;

    // [ui] With Shift: the value prompt only. Otherwise the box appears and
    // the turn begins.
    void OnMouseDown(float x, float y, const ui::IPointerModifiers& mod) override;
    // [ui] The box goes, the pointer shows again.
    void OnMouseUp(float x, float y, const ui::IPointerModifiers& mod) override;
    void OnMouseDrag(float x, float y, float dX, float dY,
                     const ui::IPointerModifiers& mod) override;
    void Draw(ui::IEditorCore& g) override;

    bool ShowingValue() const { return showingValue; }
    void SetShowValueWhileDragging(bool show) { showValueWhileDragging = show; }
    void SetEntryPosition(float x, float y) {
        entryX = x;
        entryY = y;
    }
    // [ui] Where the value box is drawn (it is clipped to the knob).
    ui::IRectangle ValueBox() const;

    static constexpr ui::IColour kBoxColour{180, 0, 0, 0};
    static constexpr float kBoxCornerRadius = 5.0f;

private:
    static ui::ITextStyle DefaultValueText();

    float entryX = DefaultEntryX();
    float entryY = DefaultEntryY();
    bool showingValue = false;
    bool showValueWhileDragging = true;
    float boxWidth = 80.0f;
    float boxHeight = 24.0f;
    float boxOffsetX = 0.0f;
    float boxOffsetY = 0.0f;
    ui::ITextStyle valueText = DefaultValueText();
};

// The stepped frequency knob: steps + 1 positions, position k being the
// value k / steps (single precision). Dragging turns the picture
// continuously; the value sent jumps to the next position once the turn
// passes half-way towards it, and the release sends the position it settled
// on once more. One wheel event moves one position; the wheel's change is
// sent once more when the pointer leaves the knob.
class IBGridDetentKnobControl : public IBGridKnobControl {
public:
    using IBGridKnobControl::IBGridKnobControl;

    // [ui] At least 1.
    void SetSteps(int32_t highestPosition);
    int32_t Steps() const { return steps; }
    int32_t CurrentStep() const { return currentStep; }
    bool ResendPending() const { return resendPending; }
    void SetEntryPosition(float x, float y) {
        entryX = x;
        entryY = y;
    }

    void OnMouseDown(float x, float y, const ui::IPointerModifiers& mod) override;
    void OnMouseUp(float x, float y, const ui::IPointerModifiers& mod) override;
    void OnMouseDrag(float x, float y, float dX, float dY,
                     const ui::IPointerModifiers& mod) override;
    // [ui] The parameter's default, sent; the position follows it.
    void OnMouseDoubleClick(float x, float y, const ui::IPointerModifiers& mod) override;
    void OnMouseWheel(float x, float y, const ui::IPointerModifiers& mod, float notches) override;
    void OnMouseOut() override;
    // [ui] The position follows the value, also while the knob is held (the
    // value itself is then left alone).
    void SetValueFromPlugin(double value, int32_t valueIndex = 0) override;

private:
    // Value 0 at position currentStep, sent as a user change.
    void SendCurrentStep();

    int32_t steps = 1;
    int32_t currentStep = 0;
    bool resendPending = false;
    float entryX = DefaultEntryX();
    float entryY = DefaultEntryY();
};

} // namespace equalizer
