#include "plugin/Trace.h"
#include "tests/ui/RecordingEditor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

using Steinberg::kResultFalse;
using Steinberg::kResultOk;
using Steinberg::Vst::IContextMenuTarget;
using ui::IPointerModifiers;
using uitest::FakeHostMenu;
using uitest::ProbeControl;
using uitest::RecordingDelegate;
using uitest::RecordingEditor;
using uitest::TestKnob;
using Log = std::vector<std::string>;

namespace {

// A panel: background, a 47-unit knob on a continuous gain (-20 to 20 dB,
// default 0) at (100, 100).
struct Panel {
    explicit Panel(float scale = 1.0f) {
        delegate.ParamAt(0)->ConfigureDouble("Gain", 0.0, -20.0, 20.0, 0.1, "dB");
        editor = std::make_unique<RecordingEditor>(delegate, 664, 215, scale);
        background = Probe({0, 0, 664, 215});
        knob = static_cast<TestKnob*>(editor->AttachControl(
            std::make_unique<TestKnob>(ui::IRectangle{100, 100, 147, 147}, 0)));
    }
    ProbeControl* Probe(ui::IRectangle rect, int32_t paramIdx = -1) {
        return static_cast<ProbeControl*>(
            editor->AttachControl(std::make_unique<ProbeControl>(rect, paramIdx)));
    }

    RecordingDelegate delegate;
    std::unique_ptr<RecordingEditor> editor;
    ProbeControl* background = nullptr;
    TestKnob* knob = nullptr;
};

IPointerModifiers Right() {
    IPointerModifiers mod;
    mod.R = true;
    return mod;
}

} // namespace

TEST(PointerGestures, DragSendsOneBeginBeforeTheFirstValueAndOneEndAfterTheLast) {
    Panel p;
    p.editor->Press(120, 120);
    p.editor->Drag(120, 110, 0, -10);
    p.editor->Drag(120, 110, 0, 0); // no movement: not delivered
    p.editor->Drag(120, 100, 0, -10);
    p.editor->Release(120, 100);
    p.editor->Drag(120, 90, 0, -10); // nothing is captured any more

    const Log& log = p.delegate.log;
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "begin 0");
    EXPECT_TRUE(log[1].starts_with("set 0") && log[2].starts_with("set 0"));
    EXPECT_EQ(log[3], "end 0");
    EXPECT_NEAR(p.delegate.ParamAt(0)->CurrentNormalized(), 20.0 / 47.0 / 4.0, 1e-12);
    EXPECT_EQ(p.editor->windowLog, (Log{"hide locked", "show locked"}));
}

TEST(PointerGestures, DoubleClickAndWheelAreEditsOfTheirOwn) {
    Panel p;
    p.knob->SetValueFromPlugin(0.5);
    EXPECT_TRUE(p.editor->OnMouseWheel(120, 120, {}, 2));
    EXPECT_DOUBLE_EQ(p.knob->GetValue(), 0.52);
    IPointerModifiers fine;
    fine.C = true;
    EXPECT_TRUE(p.editor->OnMouseWheel(120, 120, fine, -1));
    EXPECT_TRUE(p.editor->OnMouseWheel(120, 120, {}, 0)); // still reaches the knob
    EXPECT_FALSE(p.editor->OnMouseWheel(700, 120, {}, 1));
    EXPECT_EQ(p.delegate.log, (Log{"begin 0", "set 0 0.52", "end 0", "begin 0", "set 0 0.519",
                                   "end 0", "begin 0", "set 0 0.519", "end 0"}));

    p.delegate.log.clear();
    EXPECT_TRUE(p.editor->OnMouseDoubleClick(120, 120, {}));
    EXPECT_EQ(p.delegate.log, (Log{"begin 0", "set 0 0.5", "end 0"})); // the 0 dB default
    EXPECT_EQ(p.editor->CapturedControl(), nullptr);
}

TEST(PointerGestures, RightPressOnABoundKnobOpensTheHostMenuWithoutAGesture) {
    Panel p(2.0f);
    FakeHostMenu menu;
    p.delegate.hostMenu = &menu;
    p.editor->Press(120, 110, Right());
    EXPECT_EQ(p.delegate.log, Log{"host menu 0"});
    EXPECT_EQ(menu.popups, (std::vector<std::pair<int32_t, int32_t>>{{240, 220}}));
    EXPECT_EQ(menu.refs, 1); // the reference handed out was released

    // The background has no parameter: the press reaches it.
    p.editor->Press(10, 10, Right());
    p.editor->Release(10, 10);
    EXPECT_EQ(p.background->calls, (Log{"right down", "up"}));
    EXPECT_EQ(p.delegate.log.size(), 1u);

    p.delegate.hostMenu = nullptr; // no host menu: nothing is shown, no gesture
    p.editor->Press(120, 110, Right());
    EXPECT_EQ(p.delegate.log, (Log{"host menu 0", "host menu 0"}));
}

TEST(HostMenu, ControlItemsReachTheControlAndAHostHoldingThemCannotCrashUs) {
    RecordingDelegate delegate;
    FakeHostMenu menu;
    delegate.hostMenu = &menu;
    auto editor = std::make_unique<RecordingEditor>(delegate);
    auto* control = static_cast<ProbeControl*>(
        editor->AttachControl(std::make_unique<ProbeControl>(ui::IRectangle{0, 0, 50, 50}, 2)));
    control->menuItems = {"Reset \xC3\xA0 z\xE9ro", "Learn"}; // a stray byte in the first
    menu.chooseTag = 1;
    editor->Press(10, 10, Right());

    ASSERT_EQ(menu.entries.size(), 2u);
    EXPECT_EQ(menu.entries[0].name, u"Reset \u00E0 z\uFFFDro");
    EXPECT_EQ(menu.entries[0].tag, 0);
    EXPECT_EQ(menu.entries[0].target, static_cast<IContextMenuTarget*>(control));
    EXPECT_EQ(menu.choiceResult, kResultOk);
    EXPECT_EQ(control->calls, Log{"choice 1"});
    void* target = nullptr;
    ASSERT_EQ(control->queryInterface(IContextMenuTarget::iid, &target), kResultOk);
    EXPECT_EQ(target, static_cast<IContextMenuTarget*>(control));
    control->release();

    // The host keeps the items past the editor's life.
    IContextMenuTarget* held = menu.entries[0].target;
    editor.reset();
    EXPECT_EQ(held->executeMenuItem(0), kResultFalse);
    menu.DropTargets(); // the host's last release deletes the control
}

TEST(Hover, NeverReachesTheBackgroundAndMovesBetweenControls) {
    Panel p;
    EXPECT_FALSE(p.editor->OnMouseOver(120, 120, {})); // hover tracking is off
    p.editor->EnableHoverTracking(true);
    EXPECT_FALSE(p.editor->OnMouseOver(10, 10, {}));
    EXPECT_TRUE(p.editor->OnMouseOver(120, 120, {}));
    EXPECT_EQ(p.editor->MouseOverIndex(), 1);
    EXPECT_TRUE(p.knob->GetMouseIsOver());
    EXPECT_FALSE(p.editor->OnMouseOver(300, 10, {}));
    EXPECT_FALSE(p.knob->GetMouseIsOver());
    EXPECT_TRUE(p.background->calls.empty());
}

TEST(HitRules, HiddenDisabledAndIgnoredControlsLetThePointerThrough) {
    Panel p;
    p.editor->EnableHoverTracking(true);
    ProbeControl* top = p.Probe({100, 100, 147, 147});
    ui::IEditorCore& core = *p.editor;
    EXPECT_EQ(core.ControlUnderPointer(120, 120, false, false), top);
    top->SetDisabled(true);
    EXPECT_EQ(core.ControlUnderPointer(120, 120, false, false), p.knob);
    top->SetMouseEventsWhenDisabled(true);
    EXPECT_EQ(core.ControlUnderPointer(120, 120, false, false), top);
    EXPECT_EQ(core.ControlUnderPointer(120, 120, false, true), p.knob);
    top->SetMouseOverWhenDisabled(true);
    EXPECT_EQ(core.ControlUnderPointer(120, 120, false, true), top);
    top->SetDisabled(false);
    top->Hide(true);
    EXPECT_EQ(core.ControlUnderPointer(120, 120, false, false), p.knob);
    p.knob->SetPointerIgnored(true);
    EXPECT_EQ(core.ControlUnderPointer(120, 120, false, false), p.background);
}

TEST(Resize, ScaleIsClampedAndAnUnchangedRequestDoesNothing) {
    Panel p;
    p.editor->Resize(664, 215, 5.0f, true);
    EXPECT_EQ(p.editor->DrawScale(), 4.0f);
    EXPECT_EQ(p.delegate.log, Log{"view 2656x860 platform"});
    p.editor->Resize(664, 215, 0.2f, false);
    EXPECT_EQ(p.editor->DrawScale(), 0.5f);
    EXPECT_EQ(p.delegate.log.back(), "view 332x107");
    p.editor->Resize(664, 215, 0.5f, true);
    p.editor->Resize(664, 215, std::nanf(""), true);
    EXPECT_EQ(p.delegate.log.size(), 2u);
    p.editor->Resize(5, 215, 0.5f, true); // below the delegate's minimum width
    EXPECT_EQ(p.editor->Width(), 10);
    EXPECT_EQ(p.delegate.log.back(), "view 5x107 platform");
}

TEST(Resize, HostResizeMidDragEndsTheGestureAndReleasesTheKnob) {
    Panel p;
    p.editor->Press(120, 120);
    p.editor->Resize(700, 215, 1.0f, false);
    p.editor->Drag(120, 110, 0, -10);
    p.editor->Release(120, 110);
    EXPECT_EQ(p.delegate.log, (Log{"begin 0", "end 0", "view 700x215"}));
    EXPECT_EQ(p.editor->windowLog, (Log{"hide locked", "show locked"}));
}

TEST(Resize, CornerDragScalesFromThePressAndRescalesOnceOnRelease) {
    Panel p;
    ProbeControl* corner = p.Probe({640, 190, 664, 215});
    p.editor->Press(650, 200);
    p.editor->SetResizeInProgress(true); // as the corner control's press does
    p.editor->Drag(715, 260, 65, 60);
    // The smaller of the two ratios to the press: 715 / 650 against 260 / 200.
    EXPECT_FLOAT_EQ(p.editor->DrawScale(), 1.1f);
    p.editor->Drag(780, 220, 65, -40);
    EXPECT_FLOAT_EQ(p.editor->DrawScale(), 1.1f * 220.0f / 200.0f);
    EXPECT_EQ(corner->rescales, 1); // bitmaps keep their variant while dragging
    p.editor->Release(780, 220);
    EXPECT_FALSE(p.editor->ResizeInProgress());
    EXPECT_EQ(corner->rescales, 2);

    p.editor->SetPendingScale(2.0f); // left by the corner control's double-click
    p.editor->Press(650, 200);
    p.editor->Release(650, 200);
    EXPECT_EQ(p.editor->DrawScale(), 2.0f);
    EXPECT_EQ(p.editor->PendingScale(), 0.0f);
    EXPECT_EQ(corner->rescales, 3);
}

namespace {
Log traced;
void RecordTrace(const char* function, const char* format, std::va_list args) {
    char text[128];
    std::vsnprintf(text, sizeof text, format, args);
    traced.push_back(std::string(function) + " " + text);
}
} // namespace

TEST(Keys, AreTracedThenOfferedToTheKeyHandler) {
    Panel p;
    const plugin::TraceSink previous = plugin::SetTraceSink(RecordTrace);
    ui::IKeyEvent key;
    std::snprintf(key.utf8, sizeof key.utf8, "a");
    EXPECT_FALSE(p.editor->OnKeyDown(3.5f, 4.25f, key));
    std::memset(key.utf8, 'x', sizeof key.utf8); // unterminated
    p.editor->SetKeyHandler([](const ui::IKeyEvent&, bool isUp) { return isUp; });
    EXPECT_TRUE(p.editor->OnKeyUp(120, 120, key));
    EXPECT_FALSE(p.editor->OnKeyDown(120, 120, key));
    plugin::SetTraceSink(previous);
    EXPECT_EQ(traced, (Log{"IEditorCore::OnKeyDown x:3.50, y:4.25, key:a",
                           "IEditorCore::OnKeyUp x:120.00, y:120.00, key:xxxxxxxx",
                           "IEditorCore::OnKeyDown x:120.00, y:120.00, key:xxxxxxxx"}));
}
