#pragma once

#include "ui/IControl.h"

namespace ui {

// A bitmap held by a control (a mix-in): it draws the frame that shows the
// owning control's first value, centred in the control's rectangle.
class IBitmapBase {
public:
    explicit IBitmapBase(const IBitmapRef& bitmap) : bitmap(bitmap) {}
    virtual ~IBitmapBase() = default;

    const IBitmapRef& GetBitmap() const { return bitmap; }
    void SetBitmap(const IBitmapRef& newBitmap) { bitmap = newBitmap; }

protected:
    // [ui] The owning control's constructor calls this.
    void AttachIControl(IControl* control) { owner = control; }
    // [ui] The frame for the owner's value 0, one frame's size, centred.
    void DrawBitmapFrameOfOwner(IEditorCore& g);
    // [ui] The same image at the editor's current backing scale.
    void ReloadBitmapForScale();

    IBitmapRef bitmap;
    IControl* owner = nullptr;
};

// [any] (x, y) and one frame of the bitmap: the rectangle of a bitmap control.
IRectangle BitmapFrameRect(float x, float y, const IBitmapRef& bitmap);

// A bitmap showing a value (the panel background, for one). UI thread.
class IBitmapControl : public IControl, public IBitmapBase {
public:
    // [ui] The rectangle is one frame of the bitmap at (x, y).
    IBitmapControl(float x, float y, const IBitmapRef& bitmap, int32_t paramIdx = -1,
                   int32_t blendType = kBlendDefault);

    void Draw(IEditorCore& g) override { DrawBitmapFrameOfOwner(g); }
    void OnRescale() override { ReloadBitmapForScale(); }
};

} // namespace ui
