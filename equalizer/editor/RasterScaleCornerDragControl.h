#pragma once

#include "ui/IControl.h"

#include <vector>

namespace equalizer {

// The triangle in the editor's bottom-right corner. Dragging it zooms the
// whole editor with its aspect kept (the editor core turns the drags into
// resizes); a label shows the zoom step it will settle on, and the release
// snaps to the nearest step unless Shift is held then. A double-click
// returns to 100 %. The handle keeps its size on screen at every zoom.
// Binds no parameter. UI thread.
class IRasterScaleCornerDragControl : public ui::IControl {
public:
    // Two zooms this close count as the same.
    static constexpr float kScaleTolerance = 0.0001f;

    // [ui] editorBounds (0, 0, width, height); size: the triangle's edge in
    // window pixels at zoom 1; scales: the steps to snap to (any order).
    IRasterScaleCornerDragControl(const ui::IRectangle& editorBounds, float size,
                                  std::vector<float> scales, const ui::IColour& idleColor,
                                  const ui::IColour& hoverColor, const ui::IColour& dragColor,
                                  const ui::ITextStyle& labelText);

    void OnMouseDown(float x, float y, const ui::IPointerModifiers& mod) override;
    void OnMouseUp(float x, float y, const ui::IPointerModifiers& mod) override;
    void OnMouseDoubleClick(float x, float y, const ui::IPointerModifiers& mod) override;
    // [ui] The diagonal resize cursor while hovered, the previous one after.
    void OnMouseOver(float x, float y, const ui::IPointerModifiers& mod) override;
    void OnMouseOut() override;
    void OnRescale() override { UpdateGeometry(); }
    void OnResize() override { UpdateGeometry(); }
    // [ui] Turns hover tracking on, then takes its place in the corner.
    void OnAttached() override;
    void Draw(ui::IEditorCore& g) override;
    bool IsHit(float x, float y) const override { return hitRect.Contains(x, y); }

    // [ui] The step nearest scale; of two equally near, the smaller.
    float NearestStep(float scale) const;
    const ui::IRectangle& HitRect() const { return hitRect; }
    const ui::IRectangle& TriangleRect() const { return triangleRect; }
    const std::vector<float>& Scales() const { return scales; }
    float StartScale() const { return startScale; }

private:
    void UpdateGeometry();
    void DrawLabel(ui::IEditorCore& g, float drawScale);

    float size;
    float startScale = 1.0f;
    bool dragging = false; // a left press started a resize
    bool cursorChanged = false;
    ui::CursorShape savedCursor = ui::CursorShape::Arrow;
    ui::IRectangle hitRect;
    ui::IRectangle triangleRect;
    ui::ITextStyle labelText;
    ui::IColour idleColor;
    ui::IColour hoverColor;
    ui::IColour dragColor;
    std::vector<float> scales;
};

} // namespace equalizer
