#include "equalizer/editor/RasterScaleCornerDragControl.h"

#include "ui/IEditorCore.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace equalizer {

namespace {

// The label: 58 x 20 window pixels, its lower-right corner 8 pixels left of
// and above the triangle, and room around the triangle for it.
constexpr float kLabelWidth = 58.0f;
constexpr float kLabelHeight = 20.0f;
constexpr float kLabelGap = 8.0f;
constexpr float kLabelRoom = 72.0f;
constexpr float kLabelCornerRadius = 4.0f;
constexpr float kLabelTextSize = 12.0f;
constexpr ui::IColour kLabelFill{220, 24, 24, 24};
constexpr ui::IColour kLabelEdge{220, 255, 255, 255};

} // namespace

IRasterScaleCornerDragControl::IRasterScaleCornerDragControl(const ui::IRectangle& editorBounds,
                                                             float size, std::vector<float> scales,
                                                             const ui::IColour& idleColor,
                                                             const ui::IColour& hoverColor,
                                                             const ui::IColour& dragColor,
                                                             const ui::ITextStyle& labelText)
    : IControl(ui::IRectangle(editorBounds.R - 2 * size + 1, editorBounds.B - 2 * size + 1,
                              editorBounds.R - 1, editorBounds.B - 1)),
      size(size), triangleRect(editorBounds.R - size + 1, editorBounds.B - size + 1,
                               editorBounds.R - 1, editorBounds.B - 1),
      labelText(labelText), idleColor(idleColor), hoverColor(hoverColor), dragColor(dragColor),
      scales(std::move(scales)) {
    // A step that is no number could never be snapped to.
    std::erase_if(this->scales, [](float s) { return !std::isfinite(s); });
    std::sort(this->scales.begin(), this->scales.end());
}

void IRasterScaleCornerDragControl::OnAttached() {
    if (graphics != nullptr)
        graphics->EnableHoverTracking(true);
    UpdateGeometry();
}

void IRasterScaleCornerDragControl::UpdateGeometry() {
    if (graphics == nullptr)
        return;
    const float s = std::max(kScaleTolerance, graphics->DrawScale());
    const float w = static_cast<float>(graphics->Width());
    const float h = static_cast<float>(graphics->Height());
    const float g = 2 * size / s;
    SetTargetAndDrawRects({w - g + 1 - kLabelRoom / s, h - g + 1 - kLabelRoom / s, w - 1, h - 1});
    hitRect = {w - g + 1, h - g + 1, w - 1, h - 1};
    triangleRect = {w - size / s + 1, h - size / s + 1, w - 1, h - 1};
}

float IRasterScaleCornerDragControl::NearestStep(float scale) const {
    if (scales.empty())
        return scale;
    float best = scales.front();
    for (float step : scales) {
        // Ascending: a later step must be nearer by more than the tolerance.
        if (std::fabs(step - scale) < std::fabs(best - scale) - kScaleTolerance)
            best = step;
    }
    return best;
}

void IRasterScaleCornerDragControl::OnMouseDown(float, float, const ui::IPointerModifiers& mod) {
    if (mod.R || graphics == nullptr)
        return;
    dragging = true;
    startScale = graphics->DrawScale();
    graphics->SetResizeInProgress(true);
    graphics->SetFreeScaleHeld(false);
}

void IRasterScaleCornerDragControl::OnMouseUp(float, float, const ui::IPointerModifiers& mod) {
    // Only the release of a press that started a resize snaps: the release
    // of a right press must not snap a free zoom set earlier.
    const bool started = dragging;
    dragging = false;
    if (!started || mod.S || graphics == nullptr)
        return; // a free zoom stays
    const float reached = graphics->DrawScale();
    if (std::fabs(reached - startScale) <= kScaleTolerance)
        return;
    const float step = NearestStep(reached);
    // The editor core applies it once the resize has ended.
    if (std::fabs(step - reached) > kScaleTolerance)
        graphics->SetPendingScale(step);
}

void IRasterScaleCornerDragControl::OnMouseDoubleClick(float, float, const ui::IPointerModifiers&) {
    if (graphics == nullptr)
        return;
    graphics->SetResizeInProgress(true);
    graphics->SetFreeScaleHeld(false);
    graphics->Resize(graphics->Width(), graphics->Height(), 1.0f, true);
    graphics->FinishResize();
}

void IRasterScaleCornerDragControl::OnMouseOver(float x, float y,
                                                const ui::IPointerModifiers& mod) {
    if (!cursorChanged && graphics != nullptr) {
        savedCursor = graphics->SetCursorShape(ui::CursorShape::SizeNWSE);
        cursorChanged = true;
    }
    IControl::OnMouseOver(x, y, mod);
}

void IRasterScaleCornerDragControl::OnMouseOut() {
    if (cursorChanged && graphics != nullptr)
        graphics->SetCursorShape(savedCursor);
    cursorChanged = false;
    IControl::OnMouseOut();
}

void IRasterScaleCornerDragControl::Draw(ui::IEditorCore& g) {
    const bool resizing = g.ResizeInProgress();
    const ui::IColour& colour = resizing ? dragColor : mouseIsOver ? hoverColor : idleColor;
    g.FillTriangle(colour, triangleRect.L, triangleRect.B, triangleRect.R, triangleRect.T,
                   triangleRect.R, triangleRect.B);
    const float drawScale = g.DrawScale();
    if (resizing && !g.FreeScaleHeld() && std::fabs(drawScale - startScale) > kScaleTolerance)
        DrawLabel(g, drawScale);
}

void IRasterScaleCornerDragControl::DrawLabel(ui::IEditorCore& g, float drawScale) {
    const float step = NearestStep(drawScale);
    // Window pixels to logical units, so the label keeps its size on screen.
    const float m = 1.0f / std::max(kScaleTolerance, drawScale);
    const ui::IRectangle box(triangleRect.L - (kLabelWidth + kLabelGap) * m,
                             triangleRect.T - (kLabelHeight + kLabelGap) * m,
                             triangleRect.L - kLabelGap * m, triangleRect.T - kLabelGap * m);
    // Steps are zooms; the bound only keeps the conversion defined.
    const double percent = std::clamp(static_cast<double>(step) * 100.0, -1e9, 1e9);
    char text[16];
    std::snprintf(text, sizeof text, "%ld%%", std::lround(percent));
    g.FillRoundRect(kLabelFill, box, kLabelCornerRadius * m);
    g.DrawRoundRect(kLabelEdge, box, kLabelCornerRadius * m, nullptr, 1.0f);
    ui::ITextStyle style = labelText;
    style.size = kLabelTextSize * m;
    g.DrawText(style, text, box);
}

} // namespace equalizer
