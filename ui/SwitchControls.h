#pragma once

#include "ui/BitmapControls.h"

#include <cstdint>
#include <vector>

namespace ui {

// A multi-position switch: each press moves to the next position, wrapping
// to the first after the last; a double-click counts as a press. Bound to a
// parameter, it has as many positions as the parameter's range holds
// integers. UI thread.
class ISwitchControlBase : public IControl {
public:
    // [ui]
    ISwitchControlBase(const IRectangle& bounds, int32_t paramIdx = -1,
                       ActionFunction actionFunc = nullptr, int32_t states = 2);

    void OnMouseDown(float x, float y, const IPointerModifiers& mod) override;
    void OnMouseUp(float x, float y, const IPointerModifiers& mod) override;
    void OnInit() override;

    int32_t GetNStates() const { return states; }
    // [ui] A disabled position is passed over by presses.
    void SetStateDisabled(int32_t state, bool disable);
    bool GetStateDisabled(int32_t state) const;
    bool IsMouseDown() const { return mouseDown; }

protected:
    void SetNStates(int32_t count);

    int32_t states;
    std::vector<uint8_t> disabledStates;
    bool mouseDown = false;
};

// A two-state switch drawn from a film-strip bitmap: each press moves one
// frame on, wrapping after the last frame. UI thread.
class IBSwitchControl : public ISwitchControlBase, public IBitmapBase {
public:
    // [ui] The rectangle is one frame of the bitmap at (x, y).
    IBSwitchControl(float x, float y, const IBitmapRef& bitmap, int32_t paramIdx = -1);

    void OnMouseDown(float x, float y, const IPointerModifiers& mod) override;
    void OnRescale() override { ReloadBitmapForScale(); }
    void Draw(IEditorCore& g) override { DrawBitmapFrameOfOwner(g); }
};

} // namespace ui
