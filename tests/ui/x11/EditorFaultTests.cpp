// The faults hosts cause and the resources an editor must give back: views
// attached twice or removed without being attached, parents destroyed
// first, several editors at once, many openings in a row.

#include "EditorHostFixture.h"

namespace {

using namespace x11test;
using Kind = vst3host::HandlerCall::Kind;

constexpr int16_t kKnobX = 130;
constexpr int16_t kKnobY = 90;

class EditorFaults : public EditorHostFixture {};

TEST_F(EditorFaults, AttachedTwiceMovesTheEditorToTheNewParent) {
    std::string whyNot;
    auto second = vst3host::X11HostWindow::Open(Display(), 800, 400, whyNot);
    ASSERT_TRUE(second) << whyNot;
    auto editor = MakeEditor();
    ASSERT_EQ(editor->Attach(host->ParentHandle()), kResultOk);
    ASSERT_EQ(editor->Attach(second->ParentHandle()), kResultOk);
    host->Sync();
    EXPECT_TRUE(EditorWindowsIn(host->Window()).empty());
    EXPECT_EQ(second->Children().size(), 1u);
    ASSERT_TRUE(editor->RunUntilDrawn());
    EXPECT_EQ(DifferencesFromFrameBuffer(*editor), 0);
    // One window with its timer, and the idle timer, which ticks on the
    // editor's run loop while no other is offered.
    EXPECT_EQ(editor->loop->TimerCount(), 2u);
    EXPECT_EQ(editor->view->removed(), kResultOk);
    EXPECT_EQ(editor->view->removed(), kResultOk); // removed twice
    second->Sync();
    EXPECT_TRUE(second->Children().empty());
}

TEST_F(EditorFaults, AParentDestroyedMidDragLeavesNoGestureOrHiddenPointer) {
    const int32_t hidesBefore = ui::x11::X11Pointer::OutstandingHides();
    auto editor = MakeEditor();
    ASSERT_EQ(editor->Attach(host->ParentHandle()), kResultOk);
    ASSERT_TRUE(editor->RunUntilDrawn());
    host->MovePointer(kKnobX, kKnobY, editor->WindowId());
    editor->loop->RunFor(20);
    host->PressButton(1);
    editor->loop->RunUntil([&] { return editor->handler->Count(Kind::BeginEdit) == 1; }, 1000);
    ASSERT_EQ(ui::x11::X11Pointer::OutstandingHides(), hidesBefore + 1);

    // The host tears its window down before removing the view.
    host->DestroyWindow();
    editor->loop->RunUntil([&] { return editor->handler->Count(Kind::EndEdit) == 1; }, 1000);
    EXPECT_EQ(editor->handler->Count(Kind::EndEdit), 1u);
    EXPECT_EQ(ui::x11::X11Pointer::OutstandingHides(), hidesBefore);
    EXPECT_FALSE(editor->Window()->IsWindowOpen());
    editor->loop->RunFor(50); // nothing is drawn into a window that is gone
    EXPECT_EQ(editor->view->removed(), kResultOk);
    host->ReleaseButton(1);
    EXPECT_EQ(editor->handler->Count(Kind::BeginEdit), 1u);
    EXPECT_EQ(editor->loop->TimerCount(), 0u);
}

TEST_F(EditorFaults, AViewReleasedWhileAttachedClosesItsEditor) {
    auto editor = MakeEditor();
    ASSERT_EQ(editor->Attach(host->ParentHandle()), kResultOk);
    editor->view = nullptr; // no removed()
    host->Sync();
    editor->loop->RunFor(20);
    EXPECT_EQ(editor->plugin->Graphics(), nullptr);
    EXPECT_TRUE(EditorWindowsIn(host->Window()).empty());
    EXPECT_EQ(editor->loop->TimerCount(), 0u);
    EXPECT_EQ(editor->loop->EventHandlerCount(), 0u);
}

TEST_F(EditorFaults, FourEditorsOpenAtOnceEachPaintTheirOwn) {
    std::vector<std::unique_ptr<vst3host::X11HostWindow>> parents;
    std::vector<std::unique_ptr<HostedEditor>> editors;
    std::string whyNot;
    for (int i = 0; i < 4; ++i) {
        parents.push_back(vst3host::X11HostWindow::Open(Display(), 700, 230, whyNot));
        ASSERT_TRUE(parents.back()) << whyNot;
        // Side by side, so that none covers another.
        const uint32_t position[] = {static_cast<uint32_t>(i % 2 * 700),
                                     static_cast<uint32_t>(i / 2 * 240)};
        xcb_configure_window(parents.back()->Connection(), parents.back()->Window(),
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, position);
        parents.back()->Sync();
        editors.push_back(MakeEditor());
        ASSERT_EQ(editors.back()->Attach(parents.back()->ParentHandle()), kResultOk);
    }
    for (int i = 0; i < 4; ++i)
        editors[static_cast<size_t>(i)]->controller->setParamNormalized(editor_test::kGain,
                                                                        0.25 * i);
    for (auto& editor : editors)
        ASSERT_TRUE(editor->RunUntilDrawn());
    for (auto& editor : editors)
        editor->loop->RunFor(40); // each host's loop serves only its own editor
    for (int i = 0; i < 4; ++i) {
        HostedEditor& editor = *editors[static_cast<size_t>(i)];
        EXPECT_EQ(DifferencesFromFrameBuffer(editor), 0) << i;
        EXPECT_TRUE(ShowsGrey(editor, kKnobX, kKnobY, editor_test::GreyFor(0.25 * i))) << i;
    }
    editors.clear();
    for (auto& parent : parents) {
        parent->Sync();
        EXPECT_TRUE(parent->Children().empty());
    }
}

TEST_F(EditorFaults, TwoHundredOpeningsLeaveNothingBehind) {
    auto editor = MakeEditor();
    // The first opening fills the process-wide caches (images, fonts).
    ASSERT_EQ(editor->Attach(host->ParentHandle()), kResultOk);
    ASSERT_TRUE(editor->RunUntilDrawn());
    editor->view->removed();
    host->Sync();

    const int descriptors = OpenDescriptors();
    const int segments = OwnSharedMemorySegments();
    const int32_t hides = ui::x11::X11Pointer::OutstandingHides();
    for (int cycle = 0; cycle < 200; ++cycle) {
        ASSERT_EQ(editor->Attach(host->ParentHandle()), kResultOk) << cycle;
        if (cycle % 50 == 0)
            ASSERT_TRUE(editor->RunUntilDrawn()) << cycle;
        else
            editor->loop->RunFor(1);
        ASSERT_EQ(editor->view->removed(), kResultOk);
    }
    host->Sync();
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(OwnSharedMemorySegments(), segments);
    EXPECT_EQ(ui::x11::X11Pointer::OutstandingHides(), hides);
    EXPECT_TRUE(EditorWindowsIn(host->Window()).empty());
    EXPECT_EQ(editor->loop->TimerCount(), 0u);
    EXPECT_EQ(editor->loop->EventHandlerCount(), 0u);
}

} // namespace
