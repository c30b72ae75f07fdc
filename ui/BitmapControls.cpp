#include "ui/BitmapControls.h"

#include "ui/BitmapFrames.h"
#include "ui/IEditorCore.h"

namespace ui {

IRectangle BitmapFrameRect(float x, float y, const IBitmapRef& bitmap) {
    return {x, y, x + static_cast<float>(bitmap.FrameWidth()),
            y + static_cast<float>(bitmap.FrameHeight())};
}

void IBitmapBase::DrawBitmapFrameOfOwner(IEditorCore& g) {
    if (owner == nullptr)
        return;
    const int32_t frame = FrameForValue(owner->GetValue(0), bitmap.frames);
    const IRectangle dest = owner->GetRect().GetCentredInside(
        static_cast<float>(bitmap.FrameWidth()), static_cast<float>(bitmap.FrameHeight()));
    g.DrawBitmapFrame(bitmap, dest, frame, &owner->GetBlend());
}

void IBitmapBase::ReloadBitmapForScale() {
    if (owner != nullptr && owner->GetUI() != nullptr)
        bitmap = owner->GetUI()->BitmapForScale(bitmap);
}

IBitmapControl::IBitmapControl(float x, float y, const IBitmapRef& bitmap, int32_t paramIdx,
                               int32_t blendType)
    : IControl(BitmapFrameRect(x, y, bitmap), paramIdx), IBitmapBase(bitmap) {
    AttachIControl(this);
    blend = IBlendMode{blendType, 1.0f};
}

} // namespace ui
