#pragma once

#include "ui/SwitchControls.h"

namespace equalizer {

// The oversampling button: a two-frame bitmap switch (upper frame off, lower
// frame on) that toggles on every press. A Shift-press asks for a value
// prompt instead (which stays shut while prompts are disabled). UI thread.
class IBCorvaneSwitchControl : public ui::IBSwitchControl {
public:
    // [ui] The rectangle is one frame of the bitmap at (x, y); the prompt box
    // starts centred on it.
    IBCorvaneSwitchControl(float x, float y, const ui::IBitmapRef& bitmap, int32_t paramIdx = -1);

    void OnMouseDown(float x, float y, const ui::IPointerModifiers& mod) override;

    // [ui] The top-left corner of the 40 x 16 value-prompt box.
    void SetEntryPosition(float x, float y) {
        entryX = x;
        entryY = y;
    }
    float EntryX() const { return entryX; }
    float EntryY() const { return entryY; }

private:
    float entryX;
    float entryY;
};

} // namespace equalizer
