#include "equalizer/editor/CorvaneSwitchControl.h"

namespace equalizer {

IBCorvaneSwitchControl::IBCorvaneSwitchControl(float x, float y, const ui::IBitmapRef& bitmap,
                                               int32_t paramIdx)
    : IBSwitchControl(x, y, bitmap, paramIdx), entryX(rect.MW() - 20.0f), entryY(rect.MH() - 8.0f) {
}

void IBCorvaneSwitchControl::OnMouseDown(float x, float y, const ui::IPointerModifiers& mod) {
    if (mod.S) {
        const int32_t valueIndex = ValueIndexAt(x, y);
        if (valueIndex != -1)
            OpenValueEntry(ui::IRectangle(entryX, entryY, entryX + 40.0f, entryY + 16.0f),
                           valueIndex);
        return;
    }
    IBSwitchControl::OnMouseDown(x, y, mod);
}

} // namespace equalizer
