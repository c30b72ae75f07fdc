#pragma once

#include "ui/IControl.h"

namespace ui {

enum ControlDirection : int32_t { kVertical = 0, kHorizontal = 1 };

// A knob turned by dragging: pointer travel of `gearing` drag-area extents
// covers the whole range (ten times that with Control or Shift held for fine
// adjustment); moving up (or right) increases the value. The pointer is
// hidden and held in place while dragging. Wheel notches step by 0.01
// (0.001 fine), or by the parameter's step when it is stepped. UI thread.
class IKnobControlBase : public IControl {
public:
    static constexpr double kDefaultGearing = 4.0;
    static constexpr double kFineFactor = 10.0;
    static constexpr double kWheelIncrement = 0.01;
    static constexpr double kFineWheelIncrement = 0.001;

    // [ui]
    IKnobControlBase(const IRectangle& bounds, int32_t paramIdx = -1, int32_t direction = kVertical,
                     double gearing = kDefaultGearing);

    void OnMouseDown(float x, float y, const IPointerModifiers& mod) override;
    void OnMouseUp(float x, float y, const IPointerModifiers& mod) override;
    void OnMouseDrag(float x, float y, float dX, float dY, const IPointerModifiers& mod) override;
    void OnMouseWheel(float x, float y, const IPointerModifiers& mod, float notches) override;

    // [ui] The area whose extent the gearing counts in.
    virtual IRectangle DragArea() const { return targetRect; }

    int32_t GetDirection() const { return direction; }
    double GetGearing() const { return gearing; }
    void SetGearing(double newGearing) { gearing = newGearing; }
    bool GetHideCursorOnDrag() const { return hideCursorOnDrag; }
    void SetHideCursorOnDrag(bool hide) { hideCursorOnDrag = hide; }
    bool IsMouseDown() const { return mouseDown; }

protected:
    bool hideCursorOnDrag = true;
    int32_t direction;
    double gearing;
    bool mouseDown = false;
    double dragValue = 0.0;
};

} // namespace ui
