// The corner zoom handle and the oversampling button on the real panel:
// where the handle lies at each zoom, what a drag, a release, a double
// click and hovering do, and what the button sends.

#include "PanelFixture.h"

#include "equalizer/editor/RasterScaleCornerDragControl.h"

#include <algorithm>

namespace {

using namespace paneltest;
namespace panel = equalizer::panel;

class PanelCorner : public PanelFixture {
protected:
    equalizer::IRasterScaleCornerDragControl& Corner() {
        auto* corner = dynamic_cast<equalizer::IRasterScaleCornerDragControl*>(
            editor->GetControl(editor->NControls() - 1));
        EXPECT_NE(corner, nullptr);
        return *corner;
    }
    // A press 8 window pixels in from the corner, over the handle at any
    // zoom; the zoom then follows the pointer's distance from the editor's
    // top-left corner.
    void PressCorner() {
        pressScale = editor->DrawScale();
        const float inset = 8.0f / pressScale;
        const float x = static_cast<float>(editor->Width()) - 1.0f - inset;
        const float y = static_cast<float>(editor->Height()) - 1.0f - inset;
        pressPixelsX = x * pressScale;
        pressPixelsY = y * pressScale;
        editor->Press(x, y, {});
    }
    // The pointer moved to where the zoom follows it to, reported in the
    // logical units of the zoom of the moment, as the window reports it.
    void DragTo(float zoom, ui::IPointerModifiers mod = {}) {
        const float k = editor->DrawScale();
        editor->Drag(pressPixelsX * zoom / pressScale / k, pressPixelsY * zoom / pressScale / k,
                     1.0f, 1.0f, mod);
    }
    void ReleaseCorner(ui::IPointerModifiers mod = {}) {
        const float k = editor->DrawScale();
        editor->Up(pressPixelsX / k, pressPixelsY / k, mod);
    }
    bool LabelShows(const std::string& text) {
        editor->Redraw();
        return std::find(editor->texts.begin(), editor->texts.end(), text) != editor->texts.end();
    }
    bool AnyLabel() {
        editor->Redraw();
        return std::any_of(editor->texts.begin(), editor->texts.end(),
                           [](const std::string& t) { return t.back() == '%'; });
    }

    float pressScale = 1.0f;
    float pressPixelsX = 0.0f;
    float pressPixelsY = 0.0f;
};

TEST_F(PanelCorner, TheHandleKeepsItsSizeOnScreenAtEveryZoom) {
    Open(1.0f);
    EXPECT_EQ(Corner().HitRect(), ui::IRectangle(625, 176, 663, 214));
    EXPECT_EQ(Corner().TriangleRect(), ui::IRectangle(645, 196, 663, 214));
    EXPECT_EQ(Corner().GetRect(), ui::IRectangle(553, 104, 663, 214));
    EXPECT_TRUE(Corner().IsHit(630, 180));
    EXPECT_FALSE(Corner().IsHit(620, 180));

    // Zoomed to 200 %: the handle shrinks into the corner in logical units.
    PressCorner();
    DragTo(2.0f);
    ReleaseCorner();
    ASSERT_EQ(editor->DrawScale(), 2.0f);
    EXPECT_EQ(Corner().HitRect(), ui::IRectangle(645, 196, 663, 214));
    EXPECT_EQ(Corner().TriangleRect(), ui::IRectangle(655, 206, 663, 214));
    EXPECT_FALSE(Corner().IsHit(640, 200)); // over the version label now
}

TEST_F(PanelCorner, AReleaseSnapsToTheNearestStepAndTheClosingEditorStoresIt) {
    Open(1.0f);
    PressCorner();
    EXPECT_FALSE(AnyLabel()); // nothing moved yet
    DragTo(1.37f);
    EXPECT_FLOAT_EQ(editor->DrawScale(), 1.37f);
    EXPECT_TRUE(LabelShows("125%")); // the step it will settle on
    ReleaseCorner();
    EXPECT_EQ(editor->DrawScale(), 1.25f);
    EXPECT_FALSE(editor->ResizeInProgress());
    EXPECT_FALSE(AnyLabel());
    // The view was asked for the snapped size.
    EXPECT_EQ(plugin->EditorWidth(), 830);
    EXPECT_EQ(plugin->EditorHeight(), 268);

    // Half-way between 1.25 and 1.5 the smaller step wins.
    PressCorner();
    DragTo(1.375f);
    ReleaseCorner();
    EXPECT_EQ(editor->DrawScale(), 1.25f);

    plugin->CloseWindow();
    EXPECT_EQ(config.Stored(), "1.2500\n");
}

TEST_F(PanelCorner, ShiftKeepsAFreeZoomAndBeyondTheLastStepTheReleaseComesBack) {
    Open(1.0f);
    ui::IPointerModifiers shift;
    shift.S = true;
    PressCorner();
    DragTo(1.37f, shift);
    EXPECT_FALSE(AnyLabel()); // free scaling shows no step
    ReleaseCorner(shift);
    EXPECT_FLOAT_EQ(editor->DrawScale(), 1.37f);

    PressCorner();
    DragTo(3.0f);
    EXPECT_FLOAT_EQ(editor->DrawScale(), 3.0f);
    EXPECT_TRUE(LabelShows("200%"));
    DragTo(9.0f); // the editor's own limit
    EXPECT_EQ(editor->DrawScale(), 4.0f);
    ReleaseCorner();
    EXPECT_EQ(editor->DrawScale(), 2.0f);
}

TEST_F(PanelCorner, ADoubleClickReturnsTo100PercentAndARightPressStartsNothing) {
    Open(1.5f);
    const ui::IRectangle triangle = Corner().TriangleRect();
    const float x = triangle.R - 2.0f;
    const float y = triangle.B - 2.0f;
    ui::IPointerModifiers right;
    right.R = true;
    editor->Press(x, y, right);
    EXPECT_FALSE(editor->ResizeInProgress());
    editor->Drag(x * 2, y * 2, 1.0f, 1.0f, right);
    editor->Up(x * 2, y * 2, right);
    EXPECT_EQ(editor->DrawScale(), 1.5f);

    EXPECT_TRUE(editor->OnMouseDoubleClick(x, y, {}));
    EXPECT_EQ(editor->DrawScale(), 1.0f);
    EXPECT_FALSE(editor->ResizeInProgress());
    EXPECT_TRUE(handler->Calls().empty()); // the zoom is not a parameter
}

TEST_F(PanelCorner, HoverShowsTheResizeCursorOnlyOverTheHandleAndNeverPicksTheBackground) {
    Open(1.0f);
    editor->OnMouseOver(10.0f, 10.0f, {});
    EXPECT_EQ(editor->MouseOverControl(), nullptr);
    editor->OnMouseOver(CentreX(panel::kOutputGain), CentreY(panel::kOutputGain), {});
    EXPECT_EQ(editor->MouseOverControl(), &ControlFor(equalizer::Gain));

    editor->OnMouseOver(650.0f, 200.0f, {});
    EXPECT_EQ(editor->MouseOverControl(), &Corner());
    EXPECT_EQ(editor->CurrentCursorShape(), ui::CursorShape::SizeNWSE);
    editor->OnMouseOver(300.0f, 10.0f, {});
    EXPECT_EQ(editor->CurrentCursorShape(), ui::CursorShape::Arrow);
}

class PanelSwitch : public PanelFixture {};

TEST_F(PanelSwitch, APressTogglesAndSendsAShiftPressChangesNothing) {
    Open();
    const float x = CentreX(panel::kOversamplingSwitch);
    const float y = CentreY(panel::kOversamplingSwitch);
    ui::IPointerModifiers shift;
    shift.S = true;
    editor->Press(x, y, shift);
    editor->Up(x, y, shift);
    EXPECT_TRUE(Sent(equalizer::Oversampling).empty());

    editor->Press(x, y);
    editor->Release(x, y);
    EXPECT_EQ(Traffic(), "b9 e9 b9 p9:1 e9");
    EXPECT_EQ(controller->getParamNormalized(equalizer::Oversampling), 1.0);
    // The lit frame, the lower half of the button image.
    editor->Redraw();
    const ui::IRectangle button(173, 157, 202, 186);
    bool lowerFrame = false;
    for (const uitest::DrawOp& op : editor->ops)
        lowerFrame |= op.kind == uitest::DrawOp::Bitmap && op.rect == button && op.srcY == 29;
    EXPECT_TRUE(lowerFrame);

    editor->Press(x, y);
    editor->Release(x, y);
    EXPECT_EQ(Sent(equalizer::Oversampling), (std::vector<double>{1.0, 0.0}));
}

} // namespace
