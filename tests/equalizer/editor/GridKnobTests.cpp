// The film-strip format and the panel's knobs, through the real plug-in
// object: what the host receives from a turn, a wheel notch or a double
// click, and which frame the knob shows.

#include "PanelFixture.h"

#include "equalizer/editor/GridFilmStrip.h"
#include "equalizer/editor/GridKnobControls.h"

#include <cmath>

namespace {

using namespace paneltest;
using equalizer::GridCell;
using equalizer::GridStrip;
namespace panel = equalizer::panel;

constexpr GridStrip kStrip{panel::kStripFrames, panel::kStripColumns};

// The frame a knob's bitmap was drawn from, read back from the source offset
// of its DrawBitmap call and the frame size.
int32_t DrawnFrame(const PanelRecorder& editor, const ui::IRectangle& dest, int32_t frameSide) {
    for (const uitest::DrawOp& op : editor.ops) {
        if (op.kind == uitest::DrawOp::Bitmap && op.rect == dest)
            return op.srcY / frameSide * panel::kStripColumns + op.srcX / frameSide;
    }
    return -1;
}

TEST(GridFilmStrip, FramesAreTheNearestOfTheStripLaidOutRowByRow) {
    EXPECT_EQ(kStrip.Rows(), 17);
    const struct {
        double value;
        int32_t frame;
        GridCell cell;
    } cases[] = {{0.0, 0, {0, 0}},
                 {0.5, 135, {7, 8}},
                 {1.0, 270, {14, 16}},
                 // Halves go up; beyond the range the end frames; NaN the first.
                 {0.5 / 270, 1, {1, 0}},
                 {-3.0, 0, {0, 0}},
                 {7.0, 270, {14, 16}},
                 {std::nan(""), 0, {0, 0}}};
    for (const auto& c : cases) {
        const int32_t frame = equalizer::GridFrameForValue(c.value, panel::kStripFrames);
        EXPECT_EQ(frame, c.frame) << c.value;
        EXPECT_EQ(equalizer::GridCellOf(frame, kStrip), c.cell) << c.value;
    }
    // The artwork's image sizes give the frames of the panel's knobs; the
    // frequency strip's scale-2 variant holds 59-unit frames.
    EXPECT_EQ(equalizer::GridFrameSizeOf(752, 799, kStrip), (equalizer::GridFrameSize{47, 47}));
    EXPECT_EQ(equalizer::GridFrameSizeOf(1024, 1088, kStrip), (equalizer::GridFrameSize{64, 64}));
    EXPECT_EQ(equalizer::GridFrameSizeOf(1888 / 2, 2006 / 2, kStrip),
              (equalizer::GridFrameSize{59, 59}));
}

TEST(GridFilmStrip, DetentPositionsAreSinglePrecisionAndLandOnEvenlySpacedFrames) {
    EXPECT_EQ(equalizer::DetentValue(1, 3), static_cast<double>(1.0f / 3.0f));
    EXPECT_EQ(equalizer::DetentValue(1, 3), 0.3333333432674408);
    const struct {
        int32_t steps;
        std::vector<int32_t> frames;
    } cases[] = {{5, {0, 54, 108, 162, 216, 270}},
                 {3, {0, 90, 180, 270}},
                 {6, {0, 45, 90, 135, 180, 225, 270}}};
    for (const auto& c : cases) {
        for (int32_t k = 0; k <= c.steps; ++k) {
            const double value = equalizer::DetentValue(k, c.steps);
            EXPECT_EQ(equalizer::GridFrameForValue(value, panel::kStripFrames),
                      c.frames[static_cast<size_t>(k)])
                << k << " of " << c.steps;
            EXPECT_EQ(equalizer::NearestDetent(value, c.steps), k);
        }
    }
    // A value pushed past either end by a fast drag still names a position.
    EXPECT_EQ(equalizer::NearestDetent(1.3, 5), 5);
    EXPECT_EQ(equalizer::NearestDetent(-0.3, 5), 0);
}

class PanelKnobs : public PanelFixture {};

TEST_F(PanelKnobs, AFrequencyKnobSendsOnlyWhenItPassesHalfWayAndAgainAtTheRelease) {
    Open();
    controller->setParamNormalized(equalizer::HPF, 0.2); // position 1 of 5
    auto& knob = static_cast<equalizer::IBGridDetentKnobControl&>(ControlFor(equalizer::HPF));
    EXPECT_EQ(knob.CurrentStep(), 1);
    const float x = CentreX(panel::kHighPassFrequency);
    const float y = CentreY(panel::kHighPassFrequency);
    // The full range is four heights of the 64-unit knob.
    const float unitsPerRange = 4.0f * 64.0f;

    editor->Press(x, y);
    editor->Drag(x, y, 0.0f, -0.09f * unitsPerRange);
    EXPECT_EQ(Traffic(), "b0");               // 0.29: still nearer position 1
    EXPECT_NEAR(knob.GetValue(), 0.29, 1e-6); // but the picture turns
    editor->Drag(x, y, 0.0f, -0.011f * unitsPerRange);
    const double position2 = static_cast<double>(2.0f / 5.0f);
    EXPECT_EQ(Sent(equalizer::HPF), std::vector<double>{position2});
    editor->Release(x, y);
    EXPECT_EQ(Sent(equalizer::HPF), (std::vector<double>{position2, position2}));
    EXPECT_EQ(handler->Calls().back().kind, Kind::EndEdit);
    EXPECT_EQ(controller->getParamNormalized(equalizer::HPF), position2);
    EXPECT_EQ(knob.CurrentStep(), 2);

    // Dragged far past the top in one move: the last position, sent once.
    handler->Clear();
    editor->Press(x, y);
    editor->Drag(x, y, 0.0f, -3.0f * unitsPerRange);
    editor->Drag(x, y, 0.0f, -10.0f);
    editor->Release(x, y);
    EXPECT_EQ(Sent(equalizer::HPF), (std::vector<double>{1.0, 1.0}));
}

TEST_F(PanelKnobs, TheWheelStopsAtTheLastPositionAndSendsOnceMoreWhenThePointerLeaves) {
    Open();
    controller->setParamNormalized(equalizer::MF2Freq, 1.0); // 8000 Hz, the last of 7
    const float x = CentreX(panel::kMid2Frequency);
    const float y = CentreY(panel::kMid2Frequency);
    editor->OnMouseOver(x, y, {});
    editor->OnMouseWheel(x, y, {}, 3.0f);
    EXPECT_EQ(Traffic(), "b5 p5:1 e5");
    // Leaving the knob is one more edit of its own.
    handler->Clear();
    editor->OnMouseOver(CentreX(panel::kMid1Frequency), CentreY(panel::kMid1Frequency), {});
    EXPECT_EQ(Traffic(), "b5 p5:1 e5");
    handler->Clear();
    editor->OnMouseOut();
    EXPECT_EQ(Traffic(), "");

    // Down one position whatever the notch count.
    editor->OnMouseWheel(x, y, {}, -4.0f);
    EXPECT_EQ(Sent(equalizer::MF2Freq), std::vector<double>{static_cast<double>(5.0f / 6.0f)});
}

TEST_F(PanelKnobs, ADoubleClickSendsTheDefaultAndTheKnobTakesItsPosition) {
    Open();
    controller->setParamNormalized(equalizer::MF1Freq, 1.0);
    auto& knob = static_cast<equalizer::IBGridDetentKnobControl&>(ControlFor(equalizer::MF1Freq));
    editor->OnMouseDoubleClick(CentreX(panel::kMid1Frequency), CentreY(panel::kMid1Frequency), {});
    // 240 Hz, the third of six values.
    EXPECT_EQ(Sent(equalizer::MF1Freq), (std::vector<double>{0.4, 0.4}));
    EXPECT_EQ(knob.CurrentStep(), 2);
    EXPECT_EQ(handler->Count(Kind::BeginEdit), handler->Count(Kind::EndEdit));
}

TEST_F(PanelKnobs, HostAutomationShowsItsFrameAndWaitsWhileTheKnobIsHeld) {
    Open();
    controller->setParamNormalized(equalizer::HPF, 0.6); // 80 Hz
    editor->Redraw();
    const auto& knob = static_cast<equalizer::IBGridKnobControl&>(ControlFor(equalizer::HPF));
    EXPECT_EQ(DrawnFrame(*editor, knob.FrameDestination(), 64), 162);
    EXPECT_TRUE(Sent(equalizer::HPF).empty()); // nothing goes back to the host

    // Held by the user, the knob keeps its value but follows the position.
    auto& gain = ControlFor(equalizer::Gain);
    editor->Press(CentreX(panel::kOutputGain), CentreY(panel::kOutputGain));
    controller->setParamNormalized(equalizer::Gain, 0.1);
    EXPECT_NEAR(gain.GetValue(), 20.0 / 30.0, 1e-12);
}

TEST_F(PanelKnobs, AGainKnobCoversItsRangeIn188UnitsAnd1880WithControlOrShift) {
    Open();
    const float x = CentreX(panel::kOutputGain);
    const float y = CentreY(panel::kOutputGain);
    const auto dragFromBottom = [&](float units, ui::IPointerModifiers mod) {
        controller->setParamNormalized(equalizer::Gain, 0.0);
        handler->Clear();
        editor->Press(x, y);
        editor->Drag(x, y, 0.0f, -units, mod);
        editor->Release(x, y);
        return Sent(equalizer::Gain).back();
    };
    EXPECT_NEAR(dragFromBottom(94.0f, {}), 0.5, 1e-9);
    EXPECT_NEAR(dragFromBottom(187.0f, {}), 187.0 / 188.0, 1e-9);
    EXPECT_EQ(dragFromBottom(188.0f, {}), 1.0);
    ui::IPointerModifiers control;
    control.C = true;
    EXPECT_NEAR(dragFromBottom(940.0f, control), 0.5, 1e-9);
    EXPECT_NEAR(dragFromBottom(18.8f, control), 0.01, 1e-7);
    ui::IPointerModifiers shift;
    shift.S = true;
    EXPECT_EQ(dragFromBottom(1880.0f, shift), 1.0);

    // A Shift-press opens no turn of its own (it asks for a value prompt),
    // yet its drags still reach the knob: they turn it from where it stands,
    // not from where the last turn ended (1.0).
    controller->setParamNormalized(equalizer::Gain, 0.25);
    handler->Clear();
    editor->Press(x, y, shift);
    editor->Drag(x, y, 0.0f, -18.8f, shift);
    editor->Up(x, y, shift);
    EXPECT_NEAR(Sent(equalizer::Gain).back(), 0.26, 1e-7);
}

TEST_F(PanelKnobs, ATurnRepaintsOnlyTheKnobTurned) {
    Open(2.0f);
    editor->Redraw();
    const float x = CentreX(panel::kHighShelfGain);
    const float y = CentreY(panel::kHighShelfGain);
    editor->Press(x, y);
    editor->Drag(x, y, 0.0f, -5.0f);
    std::vector<ui::IRectangle> dirty;
    ASSERT_TRUE(editor->IsDirty(dirty));
    EXPECT_EQ(
        dirty,
        std::vector<ui::IRectangle>{
            ToRectangle(panel::kHighShelfGain.rect).GetPadded(ui::IEditorCore::kDirtyPadding)});
}

TEST_F(PanelKnobs, TheValueBoxShowsFromPressToReleaseAndNotForAShiftPress) {
    Open();
    controller->setParamNormalized(equalizer::MFLevel1, 0.5 + 6.0 / 40.0); // +6 dB
    auto& knob = static_cast<equalizer::IBGridCorvaneKnobControl&>(ControlFor(equalizer::MFLevel1));
    const float x = CentreX(panel::kMid1Gain);
    const float y = CentreY(panel::kMid1Gain);
    const auto boxDrawn = [&] {
        editor->Redraw();
        int fills = 0;
        for (const uitest::DrawOp& op : editor->ops)
            fills += op.kind == uitest::DrawOp::Fill &&
                     op.colour == equalizer::IBGridCorvaneKnobControl::kBoxColour;
        return fills;
    };
    EXPECT_EQ(boxDrawn(), 0);
    editor->Press(x, y);
    EXPECT_EQ(boxDrawn(), 1);
    EXPECT_NE(std::find(editor->texts.begin(), editor->texts.end(), "6.0"), editor->texts.end());
    // It follows the turn: +6 dB + 40 dB x 47 / 188 = +16 dB.
    editor->Drag(x, y, 0.0f, -47.0f);
    EXPECT_EQ(boxDrawn(), 1);
    EXPECT_NE(std::find(editor->texts.begin(), editor->texts.end(), "16.0"), editor->texts.end());
    editor->Release(x, y);
    EXPECT_EQ(boxDrawn(), 0);
    EXPECT_FALSE(knob.ShowingValue());

    // A Shift-press shows nothing, sends nothing and leaves the pointer.
    handler->Clear();
    const size_t logged = editor->windowLog.size();
    ui::IPointerModifiers shift;
    shift.S = true;
    editor->Press(x, y, shift);
    EXPECT_EQ(boxDrawn(), 0);
    editor->Up(x, y, shift);
    EXPECT_TRUE(Sent(equalizer::MFLevel1).empty());
    for (size_t i = logged; i < editor->windowLog.size(); ++i)
        EXPECT_NE(editor->windowLog[i], "hide locked");
    // The value box lies over the knob's middle; drawing is clipped to the knob.
    const ui::IRectangle box = knob.ValueBox();
    EXPECT_EQ(box, ui::IRectangle(x - 40, y - 12, x + 40, y + 12));
}

} // namespace
