#include "tests/ui/RecordingEditor.h"
#include "ui/SwitchControls.h"
#include "ui/TextControl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using ui::IPointerModifiers;
using ui::IRectangle;
using uitest::DrawOp;
using uitest::RecordingDelegate;
using uitest::RecordingEditor;
using uitest::TestKnob;
using Log = std::vector<std::string>;

namespace {

class TestSwitch : public ui::ISwitchControlBase {
public:
    using ISwitchControlBase::ISwitchControlBase;
    void Draw(ui::IEditorCore&) override {}
};

enum Params { kGain, kOversampling, kFrequency, kDetentGain };

// Parameters like the equalizer's: a continuous gain, a switch, a list of
// six frequencies and a gain stepped in whole decibels.
struct Editor {
    Editor() {
        delegate.ParamAt(kGain)->ConfigureDouble("Gain", 0.0, -20.0, 20.0, 0.1, "dB");
        delegate.ParamAt(kOversampling)->ConfigureBool("Oversampling", false);
        delegate.ParamAt(kFrequency)
            ->ConfigureEnum("Frequency", 0, 6, "Hz", 0, "",
                            {"off", "30", "50", "80", "160", "300"});
        delegate.ParamAt(kDetentGain)
            ->ConfigureDouble("Low", 0.0, -20.0, 20.0, 1.0, "dB", plugin::IParam::Stepped);
    }
    template <typename T, typename... Args> T* Attach(Args&&... args) {
        return static_cast<T*>(
            editor.AttachControl(std::make_unique<T>(std::forward<Args>(args)...)));
    }
    long Sends() const {
        return std::ranges::count_if(delegate.log, [](auto& line) { return line[0] == 's'; });
    }

    RecordingDelegate delegate;
    RecordingEditor editor{delegate};
};

IPointerModifiers Control() {
    IPointerModifiers mod;
    mod.C = true;
    return mod;
}

} // namespace

TEST(KnobControl, GearingFourOverA47UnitAreaCoversTheRangeIn188Units) {
    Editor e;
    TestKnob* knob = e.Attach<TestKnob>(IRectangle{0, 0, 47, 47}, kGain);
    e.editor.Press(20, 20);
    for (int i = 0; i < 4; ++i)
        e.editor.Drag(20, 20, 0, -47);
    EXPECT_DOUBLE_EQ(knob->GetValue(), 1.0);
    e.editor.Drag(20, 20, 0, -47);
    EXPECT_DOUBLE_EQ(knob->GetValue(), 1.0);
    e.editor.Drag(20, 20, 0, 94); // down again: half the range
    EXPECT_DOUBLE_EQ(knob->GetValue(), 0.5);
    e.editor.Drag(20, 20, 0, -18.8f, Control()); // fine: a tenth of the speed
    EXPECT_NEAR(knob->GetValue(), 0.51, 1e-7);
    e.editor.Release(20, 20);
    EXPECT_NEAR(e.delegate.ParamAt(kGain)->CurrentNormalized(), 0.51, 1e-7);

    // A stepped parameter lands on its grid: 1/47 of the range is 0.85 dB,
    // rounded to the next whole decibel.
    TestKnob* detent =
        e.Attach<TestKnob>(IRectangle{200, 0, 247, 47}, kDetentGain, ui::kVertical, 1.0);
    e.editor.Press(220, 20);
    e.editor.Drag(220, 20, 0, -1);
    EXPECT_DOUBLE_EQ(detent->GetValue(), 1.0 / 40.0);
}

TEST(KnobControl, WheelStepsClampAtTheEndsAndFollowAStepGrid) {
    Editor e;
    TestKnob* knob = e.Attach<TestKnob>(IRectangle{0, 0, 47, 47}, kGain);
    knob->SetValueFromPlugin(0.995);
    e.editor.OnMouseWheel(20, 20, {}, 1);
    EXPECT_EQ(knob->GetValue(), 1.0);
    EXPECT_EQ(e.delegate.log, (Log{"begin 0", "set 0 1", "end 0"}));

    TestKnob* list = e.Attach<TestKnob>(IRectangle{100, 0, 147, 47}, kFrequency);
    e.editor.OnMouseWheel(120, 20, {}, 1);
    EXPECT_DOUBLE_EQ(list->GetValue(), 0.2);
    e.editor.OnMouseWheel(120, 20, {}, -1);
    e.editor.OnMouseWheel(120, 20, {}, -1);
    EXPECT_EQ(list->GetValue(), 0.0);
}

TEST(ControlValues, UserChangesReachTheParameterAndPlugInChangesWaitForTheRelease) {
    Editor e;
    int actions = 0;
    TestKnob* knob = e.Attach<TestKnob>(IRectangle{0, 0, 47, 47}, kGain);
    knob->SetActionFunction([&actions](ui::IControl*) { ++actions; });
    TestKnob* peer = e.Attach<TestKnob>(IRectangle{100, 0, 147, 47}, kGain);
    TestKnob* other = e.Attach<TestKnob>(IRectangle{200, 0, 247, 47}, kDetentGain);

    e.editor.Press(20, 20);
    e.editor.Drag(20, 20, 0, -47);
    EXPECT_DOUBLE_EQ(e.delegate.ParamAt(kGain)->CurrentNormalized(), 0.25);
    EXPECT_EQ(peer->GetValue(), knob->GetValue()); // the other control follows
    EXPECT_EQ(other->GetValue(), 0.0);
    EXPECT_EQ(e.Sends(), 1); // the peer does not send again
    EXPECT_EQ(actions, 1);

    e.editor.SetParamValueFromPlugin(kGain, 0.9); // host automation mid-drag
    EXPECT_EQ(knob->GetValue(), 0.25);
    EXPECT_EQ(peer->GetValue(), 0.9);
    e.editor.Release(20, 20);
    e.editor.MarkAllControlsClean();
    e.editor.SetParamValueFromPlugin(kGain, 0.9);
    EXPECT_EQ(knob->GetValue(), 0.9);
    EXPECT_TRUE(knob->IsDirty());
    e.editor.SetParamValueFromPlugin(kGain, std::nan("")); // held to the range
    EXPECT_EQ(knob->GetValue(), 0.0);
    knob->SetDirty(false);
    EXPECT_EQ(e.Sends(), 1); // neither plug-in values nor redraws reach the host
    EXPECT_EQ(actions, 1);
}

TEST(SwitchControl, StepsThroughThePositionsOfItsParameterAndWraps) {
    Editor e;
    TestSwitch* list = e.Attach<TestSwitch>(IRectangle{0, 0, 29, 29}, kFrequency);
    EXPECT_EQ(list->GetNStates(), 6);
    list->SetStateDisabled(3, true);
    std::vector<double> seen;
    for (int press = 0; press < 5; ++press) {
        e.editor.Press(10, 10);
        e.editor.Release(10, 10);
        seen.push_back(list->GetValue());
    }
    EXPECT_EQ(seen, (std::vector<double>{1 / 5.0, 2 / 5.0, 4 / 5.0, 1.0, 0.0}));

    TestSwitch* toggle = e.Attach<TestSwitch>(IRectangle{100, 0, 129, 29}, kOversampling);
    e.editor.OnMouseDoubleClick(110, 10, {}); // a press like any other
    e.editor.Release(110, 10);
    EXPECT_EQ(toggle->GetValue(), 1.0);
    EXPECT_EQ(e.delegate.ParamAt(kOversampling)->CurrentValue(), 1.0);
}

TEST(SwitchControl, BitmapSwitchTogglesAndShowsTheFrameOfItsValue) {
    Editor e;
    e.editor.resources = {{"button.png", {29, 58}}};
    const ui::IBitmapRef bitmap = e.editor.LoadBitmap("button.png", 2);
    auto* button = e.Attach<ui::IBSwitchControl>(10.0f, 20.0f, bitmap, kOversampling);
    EXPECT_EQ(button->GetRect(), IRectangle(10, 20, 39, 49));
    button->SetValueFromPlugin(1.0);

    std::vector<int32_t> frameOffsets;
    for (int press = 0; press < 2; ++press) {
        e.editor.Press(20, 30);
        e.editor.Release(20, 30);
        e.editor.ops.clear();
        e.editor.DrawControl(*button, button->GetRect(), 1.0f);
        frameOffsets.push_back(e.editor.ops.back().srcY);
    }
    EXPECT_EQ(frameOffsets, (std::vector<int32_t>{0, 29}));
    EXPECT_EQ(e.delegate.log, (Log{"begin 1", "set 1 0", "end 1", "begin 1", "set 1 1", "end 1"}));
}

TEST(TextControl, SizesToItsTextIgnoresThePointerAndDrawsBackgroundThenText) {
    Editor e;
    const ui::IColour grey{255, 40, 40, 40};
    auto* label = e.Attach<ui::ITextControl>(IRectangle{100, 100, 200, 120}, "Hello",
                                             ui::ITextStyle{}, grey, true);
    // Measured 7 units per character and 14 high, centred where it was.
    EXPECT_EQ(label->GetRect(), IRectangle(132.5f, 103, 167.5f, 117));
    EXPECT_EQ(e.editor.ControlUnderPointer(150, 110, false, false), nullptr);
    label->SetTextValue("Hi");
    EXPECT_EQ(label->GetRect(), IRectangle(143, 103, 157, 117));
    e.editor.DrawControl(*label, {0, 0, 664, 215}, 1.0f);
    ASSERT_EQ(e.editor.ops.size(), 3u);
    EXPECT_EQ(e.editor.ops[1].kind, DrawOp::Fill);
    EXPECT_EQ(e.editor.ops[1].colour, grey);
    EXPECT_EQ(e.editor.ops[2].kind, DrawOp::Text);
}

TEST(ValuePrompts, ListsPickAndNumbersAreTypedAsEditsOfTheirOwn) {
    Editor e;
    TestKnob* list = e.Attach<TestKnob>(IRectangle{0, 0, 47, 47}, kFrequency);
    TestKnob* gain = e.Attach<TestKnob>(IRectangle{100, 0, 147, 47}, kGain);
    list->OpenValueEntry(list->GetRect()); // prompts are disabled by default
    EXPECT_TRUE(e.editor.windowLog.empty());

    list->SetPromptDisabled(false);
    gain->SetPromptDisabled(false);
    e.editor.popupChoice = 3;
    list->OpenValueEntry(list->GetRect());
    EXPECT_EQ(e.editor.windowLog, Log{"popup 6"});
    EXPECT_DOUBLE_EQ(list->GetValue(), 3 / 5.0);

    gain->OpenValueEntry(gain->GetRect());
    ASSERT_EQ(e.editor.windowLog.size(), 2u);
    EXPECT_TRUE(e.editor.windowLog[1].starts_with("text field 0 7 "));
    EXPECT_EQ(e.editor.ControlInTextEntry(), gain);
    e.editor.SetControlValueAfterTextEdit("5");
    EXPECT_EQ(e.editor.ControlInTextEntry(), nullptr);
    EXPECT_DOUBLE_EQ(gain->GetValue(), 25.0 / 40.0);
    EXPECT_EQ(e.delegate.log,
              (Log{"begin 2", "set 2 0.6", "end 2", "begin 0", "set 0 0.625", "end 0"}));
}
