// The film-strip format, and the panel's controls on the real plug-in
// object: what the host receives from turns, wheel notches, clicks and the
// corner handle, which frame a knob shows, and the layout at both image
// resolutions.

#include "PanelFixture.h"

#include "equalizer/editor/GridFilmStrip.h"
#include "equalizer/editor/GridKnobControls.h"
#include "equalizer/editor/RasterScaleCornerDragControl.h"
#include "ui/TextControl.h"

#include "pluginterfaces/gui/iplugview.h"

#include <cmath>

namespace {

using namespace paneltest;
using equalizer::GridFrameForValue;
using equalizer::IBGridCorvaneKnobControl;
using equalizer::IBGridDetentKnobControl;
using equalizer::IRasterScaleCornerDragControl;

constexpr equalizer::GridStrip kStrip{panel::kStripFrames, panel::kStripColumns};
constexpr double kFrequencyRange = 4.0 * 64.0; // units of travel for the whole range
ui::IPointerModifiers Shift() {
    ui::IPointerModifiers mod;
    mod.S = true;
    return mod;
}

TEST(GridFilmStrip, FramesAreTheNearestLaidOutRowByRowAndDetentsLandEvenly) {
    const struct {
        double value;
        int32_t frame, column, row;
    } cases[] = {{0.0, 0, 0, 0},  {0.5, 135, 7, 8},   {1.0, 270, 14, 16},
                 {-3.0, 0, 0, 0}, {7.0, 270, 14, 16}, {std::nan(""), 0, 0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(GridFrameForValue(c.value, 271), c.frame) << c.value;
        EXPECT_EQ(equalizer::GridCellOf(c.frame, kStrip), (equalizer::GridCell{c.column, c.row}));
    }
    // 59-unit frames in the frequency strip's scale-2 image.
    EXPECT_EQ(equalizer::GridFrameSizeOf(1888 / 2, 2006 / 2, kStrip).width, 59);
    EXPECT_EQ(equalizer::DetentValue(1, 3), 0.3333333432674408); // single precision
    const std::vector<std::vector<int32_t>> frames{
        {0, 90, 180, 270}, {0, 54, 108, 162, 216, 270}, {0, 45, 90, 135, 180, 225, 270}};
    for (const std::vector<int32_t>& expected : frames) {
        const auto steps = static_cast<int32_t>(expected.size() - 1);
        for (int32_t k = 0; k <= steps; ++k)
            EXPECT_EQ(GridFrameForValue(equalizer::DetentValue(k, steps), 271), expected[k]);
    }
}

class PanelControls : public PanelFixture {};

TEST_F(PanelControls, AFrequencyKnobSendsWhenItPassesHalfWayAndAgainAtTheRelease) {
    Open();
    SetParam(equalizer::HPF, 0.2); // position 1 of 5
    const auto& knob = ControlFor<IBGridDetentKnobControl>(equalizer::HPF);
    const float x = X(panel::kHighPassFrequency), y = Y(panel::kHighPassFrequency);
    editor->Press(x, y);
    editor->Drag(x, y, 0.0f, static_cast<float>(-0.09 * kFrequencyRange));
    EXPECT_TRUE(Sent(equalizer::HPF).empty());
    EXPECT_NEAR(knob.GetValue(), 0.29, 1e-6); // the picture turns meanwhile
    editor->Drag(x, y, 0.0f, static_cast<float>(-0.011 * kFrequencyRange));
    const double position2 = static_cast<double>(2.0f / 5.0f);
    EXPECT_EQ(Sent(equalizer::HPF), std::vector<double>{position2});
    editor->Release(x, y);
    EXPECT_EQ(Sent(equalizer::HPF), (std::vector<double>{position2, position2}));
    EXPECT_TRUE(EditsBalanced());

    // Far past the top in one move: the last position, once.
    handler->Clear();
    editor->Press(x, y);
    editor->Drag(x, y, 0.0f, -3000.0f);
    editor->Drag(x, y, 0.0f, -10.0f);
    editor->Release(x, y);
    EXPECT_EQ(Sent(equalizer::HPF), (std::vector<double>{1.0, 1.0}));
}

TEST_F(PanelControls, TheWheelStopsAtTheLastPositionAndSendsOnceMoreWhenThePointerLeaves) {
    Open();
    SetParam(equalizer::MF2Freq, 1.0); // 8000 Hz, the last of 7
    const float x = X(panel::kMid2Frequency), y = Y(panel::kMid2Frequency);
    editor->OnMouseOver(x, y, {});
    editor->OnMouseWheel(x, y, {}, 3.0f);
    EXPECT_EQ(Sent(equalizer::MF2Freq), std::vector<double>{1.0});
    editor->OnMouseOver(10.0f, 10.0f, {}); // leaves: one more edit of its own
    editor->OnMouseOut();                  // nothing further
    EXPECT_EQ(Sent(equalizer::MF2Freq), (std::vector<double>{1.0, 1.0}));
    EXPECT_EQ(handler->Count(Kind::BeginEdit), 2u);
    EXPECT_TRUE(EditsBalanced());
}

TEST_F(PanelControls, HostAutomationShowsItsFrame) {
    Open();
    SetParam(equalizer::HPF, 0.6); // 80 Hz
    editor->Redraw();
    const auto& knob = ControlFor<equalizer::IBGridKnobControl>(equalizer::HPF);
    // Frame 162: column 2, row 10 of 64-unit frames.
    bool shown = false;
    for (const uitest::DrawOp& op : editor->ops)
        shown |= op.rect == knob.FrameDestination() && op.srcX == 2 * 64 && op.srcY == 10 * 64;
    EXPECT_TRUE(shown);
    EXPECT_TRUE(handler->Calls().empty()); // nothing goes back to the host
}

TEST_F(PanelControls, AGainKnobCoversItsRangeIn188UnitsOrFineIn1880) {
    Open();
    const float x = X(panel::kOutputGain), y = Y(panel::kOutputGain);
    const auto turn = [&](double from, float units, ui::IPointerModifiers press,
                          ui::IPointerModifiers drag) {
        SetParam(equalizer::Gain, from);
        editor->Press(x, y, press);
        editor->Drag(x, y, 0.0f, -units, drag);
        editor->Up(x, y, press);
        return Sent(equalizer::Gain).back();
    };
    ui::IPointerModifiers control;
    control.C = true;
    EXPECT_EQ(turn(0.0, 188.0f, {}, {}), 1.0);
    EXPECT_NEAR(turn(0.0, 940.0f, {}, control), 0.5, 1e-9);
    EXPECT_EQ(turn(0.0, 1880.0f, {}, Shift()), 1.0);
    // After a Shift-press (a value prompt, not a turn) the drag still turns
    // the knob from where it stands, not from where the last turn ended.
    EXPECT_NEAR(turn(0.25, 18.8f, Shift(), Shift()), 0.26, 1e-7);
}

TEST_F(PanelControls, TheValueBoxShowsWhileTheKnobIsHeldAndATurnRepaintsOnlyThatKnob) {
    Open(2.0f);
    SetParam(equalizer::MFLevel1, 0.5 + 6.0 / 40.0); // +6 dB
    const float x = X(panel::kMid1Gain), y = Y(panel::kMid1Gain);
    const auto boxShown = [&] {
        editor->Redraw();
        return std::any_of(editor->ops.begin(), editor->ops.end(), [](const uitest::DrawOp& op) {
            return op.kind == uitest::DrawOp::Fill &&
                   op.colour == IBGridCorvaneKnobControl::kBoxColour;
        });
    };
    editor->Press(x, y, Shift());
    EXPECT_FALSE(boxShown());
    editor->Up(x, y, Shift());
    editor->Press(x, y);
    EXPECT_TRUE(boxShown());
    EXPECT_TRUE(editor->Drew("6.0"));
    editor->Drag(x, y, 0.0f, -47.0f); // a quarter of the range: +16 dB
    std::vector<ui::IRectangle> dirty;
    ASSERT_TRUE(editor->IsDirty(dirty));
    EXPECT_EQ(dirty,
              std::vector<ui::IRectangle>{
                  ToRectangle(panel::kMid1Gain.rect).GetPadded(ui::IEditorCore::kDirtyPadding)});
    EXPECT_TRUE(boxShown());
    EXPECT_TRUE(editor->Drew("16.0"));
    editor->Release(x, y);
    EXPECT_FALSE(boxShown());
}

TEST_F(PanelControls, TheButtonIgnoresAShiftPress) {
    Open();
    editor->Press(X(panel::kOversamplingSwitch), Y(panel::kOversamplingSwitch), Shift());
    EXPECT_TRUE(Sent(equalizer::Oversampling).empty());
}

// The corner handle: a press 8 window pixels in from the corner, then the
// zoom follows the pointer's distance from the editor's top-left corner.
// Positions reach the editor in the logical units of the zoom of the moment.
class PanelCorner : public PanelFixture {
protected:
    void Press(ui::IPointerModifiers mod = {}) {
        pressScale = editor->DrawScale();
        pressX = 663.0f * pressScale - 8.0f;
        pressY = 214.0f * pressScale - 8.0f;
        editor->Press(pressX / pressScale, pressY / pressScale, mod);
    }
    void DragTo(float zoom, ui::IPointerModifiers mod = {}) {
        const float k = editor->DrawScale() * pressScale;
        editor->Drag(pressX * zoom / k, pressY * zoom / k, 1.0f, 1.0f, mod);
    }
    void Release(ui::IPointerModifiers mod = {}) { editor->Up(1.0f, 1.0f, mod); }
    std::string Label() {
        editor->Redraw();
        const auto found = std::find_if(editor->texts.begin(), editor->texts.end(),
                                        [](const std::string& t) { return t.back() == '%'; });
        return found == editor->texts.end() ? "" : *found;
    }
    float pressScale = 1.0f, pressX = 0.0f, pressY = 0.0f;
};

TEST_F(PanelCorner, TheReleaseSnapsToTheStepTheLabelShowsUnlessShiftIsHeld) {
    Open(1.0f);
    editor->OnMouseOver(650.0f, 200.0f, {});
    EXPECT_EQ(editor->CurrentCursorShape(), ui::CursorShape::SizeNWSE);
    Press();
    EXPECT_EQ(Label(), ""); // nothing moved yet
    DragTo(1.37f);
    EXPECT_EQ(Label(), "125%");
    Release();
    EXPECT_EQ(editor->DrawScale(), 1.25f);
    Press();
    DragTo(1.375f); // a tie goes to the smaller step
    Release();
    EXPECT_EQ(editor->DrawScale(), 1.25f);
    Press();
    DragTo(1.37f, Shift());
    EXPECT_EQ(Label(), "");
    Release(Shift());
    EXPECT_FLOAT_EQ(editor->DrawScale(), 1.37f);
    // A right press starts nothing, and its release snaps nothing.
    ui::IPointerModifiers right;
    right.R = true;
    Press(right);
    DragTo(1.5f, right);
    Release(right);
    EXPECT_FLOAT_EQ(editor->DrawScale(), 1.37f);
    Press();
    DragTo(9.0f); // up to the editor's limit, back to the last step
    EXPECT_EQ(Label(), "200%");
    Release();
    EXPECT_EQ(editor->DrawScale(), 2.0f);
    // The handle keeps its size on screen: 20 pixels of triangle at 200 %.
    const auto& corner = dynamic_cast<IRasterScaleCornerDragControl&>(*editor->GetControl(12));
    EXPECT_EQ(corner.TriangleRect(), ui::IRectangle(655, 206, 663, 214));
    EXPECT_TRUE(editor->OnMouseDoubleClick(660.0f, 212.0f, {}));
    EXPECT_EQ(editor->DrawScale(), 1.0f);
    EXPECT_TRUE(handler->Calls().empty()); // the zoom is no parameter
}

TEST_F(PanelControls, TheThirteenControlsInDrawingOrder) {
    Open(1.0f);
    ASSERT_EQ(editor->NControls(), 13);
    using namespace equalizer;
    const std::vector<int32_t> params{
        -1,      Gain,    LoShelfLevel, MFLevel1, MFLevel2, HiShelfLevel, HPF, LoShelfFreq,
        MF1Freq, MF2Freq, Oversampling, -1,       -1};
    for (int32_t i = 0; i < 13; ++i)
        EXPECT_EQ(editor->GetControl(i)->ParamIndexOf(0), params[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(ControlFor<IBGridDetentKnobControl>(LoShelfFreq).Steps(), 3); // 4 values
    EXPECT_EQ(ControlFor<IBGridDetentKnobControl>(MF2Freq).Steps(), 6);     // 7 values
    EXPECT_EQ(dynamic_cast<ui::ITextControl&>(*editor->GetControl(11)).GetTextValue(), "4.0.6");
}

TEST_F(PanelControls, TheStoredZoomWinsAtOpeningAndTheViewKnowsItsSizeBefore) {
    const struct {
        const char* stored;
        float opensAt;
    } cases[] = {{"1.00005\n", 1.0f}, // within 0.0001: no resize
                 {"1.5\n", 1.5f},
                 {"1.75\n", 1.75f},     // another instance's choice beats this one's 1.5
                 {"garbage\n", 1.75f}}; // none: this instance's last size stays
    for (const auto& c : cases) {
        config.Store(c.stored);
        IPtr<IPlugView> view = owned(plugin->createView(Vst::ViewType::kEditor));
        ViewRect size;
        ASSERT_EQ(view->getSize(&size), kResultOk);
        Open(1.0f);
        EXPECT_EQ(editor->DrawScale(), c.opensAt) << c.stored;
        EXPECT_EQ(size.getWidth(), static_cast<int32_t>(664 * c.opensAt)) << c.stored;
        plugin->CloseWindow();
    }
    EXPECT_EQ(config.Stored(), "1.7500\n");
}

} // namespace
