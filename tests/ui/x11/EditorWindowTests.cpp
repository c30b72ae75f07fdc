// The editor in a host's window on a real X server: painting, pointer input
// through XTest, values both ways, scale, resizing, the hosts' run-loop
// habits and the faults hosts cause.

#include "EditorHostFixture.h"

#include <cmath>

namespace {

using namespace x11test;
using Kind = vst3host::HandlerCall::Kind;
using vst3host::PlugFrame;
using vst3host::PollRunLoop;

constexpr double kDefaultGain = 20.0 / 30.0; // 0 dB on -20 .. 10 dB
constexpr int16_t kKnobX = 130;              // the knob's centre, logical units
constexpr int16_t kKnobY = 90;

class EditorWindow : public EditorHostFixture {};

std::vector<vst3host::HandlerCall> EditsOf(HostedEditor& editor) {
    std::vector<vst3host::HandlerCall> edits;
    for (const auto& call : editor.handler->Calls())
        if (call.kind != Kind::RestartComponent)
            edits.push_back(call);
    return edits;
}

TEST_F(EditorWindow, OpensInTheHostsWindowPaintsAndClosesCleanly) {
    const int32_t hidesBefore = ui::x11::X11Pointer::OutstandingHides();
    auto editor = MakeEditor();
    ASSERT_EQ(editor->Attach(host->ParentHandle()), kResultOk);
    const xcb_window_t id = editor->WindowId();
    ASSERT_EQ(EditorWindowsIn(host->Window()), std::vector<xcb_window_t>{id});
    int16_t x = 0, y = 0;
    uint16_t w = 0, h = 0;
    ASSERT_TRUE(host->Geometry(id, x, y, w, h));
    EXPECT_EQ(w, 664);
    EXPECT_EQ(h, 215);

    ASSERT_TRUE(editor->RunUntilDrawn());
    // The host context offers no run loop: the idle timer uses the frame's.
    ASSERT_NE(editor->plugin->IdleRunLoop(), nullptr);
    EXPECT_EQ(editor->plugin->IdleRunLoop()->RunLoop(),
              static_cast<Linux::IRunLoop*>(editor->loop.get()));
    EXPECT_TRUE(editor->Window()->PresentsFromSharedMemory());
    EXPECT_TRUE(editor->Window()->PacedByFrames());
    EXPECT_GT(editor->Window()->TickGate().FrameCounter(), 0u); // drawn on a frame notification
    EXPECT_EQ(DifferencesFromFrameBuffer(*editor), 0);
    EXPECT_TRUE(ShowsGrey(*editor, kKnobX, kKnobY, editor_test::GreyFor(kDefaultGain)));

    EXPECT_EQ(editor->view->removed(), kResultOk);
    host->Sync();
    EXPECT_TRUE(EditorWindowsIn(host->Window()).empty());
    EXPECT_EQ(editor->loop->TimerCount(), 0u); // the idle timer left with the editor
    EXPECT_EQ(editor->plugin->IdleRunLoop(), nullptr);
    EXPECT_EQ(editor->loop->EventHandlerCount(), 0u);
    EXPECT_EQ(editor->loop->CallsFromInsideHandlers(), 0u);
    EXPECT_EQ(ui::x11::X11Pointer::OutstandingHides(), hidesBefore);
}

TEST_F(EditorWindow, HostValuesRepaintTheirControlAndAnIdleEditorSendsNothing) {
    auto editor = MakeEditor();
    ASSERT_EQ(editor->Attach(host->ParentHandle()), kResultOk);
    ASSERT_TRUE(editor->RunUntilDrawn());

    const uint32_t frames = editor->Window()->FramesDrawn();
    const uint32_t rects = editor->Window()->RectanglesSent();
    editor->loop->RunFor(300);
    EXPECT_EQ(editor->Window()->FramesDrawn(), frames);
    EXPECT_EQ(editor->Window()->RectanglesSent(), rects);

    editor->controller->setParamNormalized(editor_test::kGain, 0.2);
    ASSERT_TRUE(editor->RunUntilDrawn(frames));
    EXPECT_TRUE(ShowsGrey(*editor, kKnobX, kKnobY, editor_test::GreyFor(0.2)));
    EXPECT_EQ(DifferencesFromFrameBuffer(*editor), 0);
    // Only the knob's own rectangle went to the server.
    EXPECT_EQ(editor->Window()->RectanglesSent(), rects + 1);
    EXPECT_TRUE(EditsOf(*editor).empty()); // a host value is not sent back
}

TEST_F(EditorWindow, AKnobDragIsOneGestureWithThePointerHeldInPlace) {
    auto editor = MakeEditor();
    ASSERT_EQ(editor->Attach(host->ParentHandle()), kResultOk);
    ASSERT_TRUE(editor->RunUntilDrawn());
    const xcb_window_t id = editor->WindowId();
    const int32_t hidesBefore = ui::x11::X11Pointer::OutstandingHides();

    host->MovePointer(kKnobX, kKnobY, id);
    editor->loop->RunFor(30);
    host->PressButton(1);
    editor->loop->RunUntil([&] { return editor->handler->Count(Kind::BeginEdit) == 1; }, 1000);
    EXPECT_EQ(ui::x11::X11Pointer::OutstandingHides(), hidesBefore + 1);

    // Four moves of 10 pixels up from the press point: the pointer is put
    // back after each, so the knob travels 40 pixels although the pointer
    // never got further than 10 from where it was pressed.
    for (int step = 1; step <= 4; ++step) {
        host->MovePointer(kKnobX, kKnobY - 10, id);
        editor->loop->RunUntil(
            [&] {
                int16_t px = 0, py = 0;
                return editor->handler->Count(Kind::PerformEdit) >= static_cast<size_t>(step) &&
                       host->PointerPosition(px, py, id) && px == kKnobX && py == kKnobY;
            },
            1000);
    }
    host->ReleaseButton(1);
    editor->loop->RunUntil([&] { return editor->handler->Count(Kind::EndEdit) == 1; }, 1000);
    editor->loop->RunFor(30);

    const auto edits = EditsOf(*editor);
    ASSERT_GE(edits.size(), 3u);
    EXPECT_EQ(edits.front().kind, Kind::BeginEdit);
    EXPECT_EQ(edits.back().kind, Kind::EndEdit);
    EXPECT_EQ(editor->handler->Count(Kind::BeginEdit), 1u);
    EXPECT_EQ(editor->handler->Count(Kind::EndEdit), 1u);
    EXPECT_EQ(editor->handler->Count(Kind::PerformEdit), 4u);
    // Travel of gearing (4) drag heights (60) covers the range: 40 / 240.
    const double expected = kDefaultGain + 40.0 / 240.0;
    EXPECT_NEAR(edits[edits.size() - 2].normalized, expected, 1e-6);
    int16_t px = 0, py = 0;
    ASSERT_TRUE(host->PointerPosition(px, py, id));
    EXPECT_EQ(px, kKnobX); // the pointer shows where the drag began
    EXPECT_EQ(py, kKnobY);
    EXPECT_EQ(ui::x11::X11Pointer::OutstandingHides(), hidesBefore);
    ASSERT_TRUE(editor->RunUntilDrawn(editor->Window()->FramesDrawn() - 1));
    EXPECT_TRUE(ShowsGrey(*editor, kKnobX, kKnobY, editor_test::GreyFor(expected)));
}

TEST_F(EditorWindow, WheelNotchesAndDoubleClicksAreOneShotEdits) {
    auto editor = MakeEditor();
    ASSERT_EQ(editor->Attach(host->ParentHandle()), kResultOk);
    ASSERT_TRUE(editor->RunUntilDrawn());
    const xcb_window_t id = editor->WindowId();
    host->MovePointer(kKnobX, kKnobY, id);
    for (uint8_t button : {4, 4, 5}) { // two notches up, one down
        host->PressButton(button);
        host->ReleaseButton(button);
    }
    editor->loop->RunUntil([&] { return editor->handler->Count(Kind::EndEdit) == 3; }, 1000);
    auto edits = EditsOf(*editor);
    ASSERT_EQ(edits.size(), 9u);
    EXPECT_NEAR(edits[1].normalized, kDefaultGain + 0.01, 1e-9);
    EXPECT_NEAR(edits[4].normalized, kDefaultGain + 0.02, 1e-9);
    EXPECT_NEAR(edits[7].normalized, kDefaultGain + 0.01, 1e-9);

    // A double click resets to the default.
    editor->handler->Clear();
    for (int click = 0; click < 2; ++click) {
        host->PressButton(1);
        host->ReleaseButton(1);
    }
    editor->loop->RunUntil([&] { return editor->handler->Count(Kind::EndEdit) >= 2; }, 1000);
    editor->loop->RunFor(30);
    edits = EditsOf(*editor);
    ASSERT_FALSE(edits.empty());
    EXPECT_EQ(edits.back().kind, Kind::EndEdit);
    double last = -1.0;
    for (const auto& call : edits)
        if (call.kind == Kind::PerformEdit)
            last = call.normalized;
    EXPECT_NEAR(last, kDefaultGain, 1e-9);
    EXPECT_EQ(editor->handler->Count(Kind::BeginEdit), editor->handler->Count(Kind::EndEdit));
}

TEST_F(EditorWindow, TheScreenFactorComesFromXftDpiUnlessTheHostGivesOne) {
    host->SetResources("Xft.dpi:\t192\n");
    auto editor = MakeEditor();
    ASSERT_EQ(editor->Attach(host->ParentHandle()), kResultOk);
    const xcb_window_t id = editor->WindowId();
    int16_t x = 0, y = 0;
    uint16_t w = 0, h = 0;
    ASSERT_TRUE(host->Geometry(id, x, y, w, h));
    EXPECT_EQ(w, 1328);
    EXPECT_EQ(h, 430);
    ViewRect size;
    editor->view->getSize(&size); // the host was asked for the pixel size
    EXPECT_EQ(size.getWidth(), 1328);
    EXPECT_EQ(size.getHeight(), 430);
    ASSERT_TRUE(editor->RunUntilDrawn());
    EXPECT_EQ(DifferencesFromFrameBuffer(*editor), 0);
    // Pointer pixels are divided by the factor: the knob is at twice its
    // logical position.
    host->MovePointer(2 * kKnobX, 2 * kKnobY, id);
    host->PressButton(4);
    host->ReleaseButton(4);
    editor->loop->RunUntil([&] { return editor->handler->Count(Kind::EndEdit) == 1; }, 1000);
    EXPECT_EQ(editor->handler->Count(Kind::PerformEdit), 1u);

    // The host's factor wins, at once and for the next opening.
    auto scale = QueryAs<IPlugViewContentScaleSupport>(editor->view);
    scale->setContentScaleFactor(1.0f);
    host->Sync();
    editor->loop->RunFor(20);
    ASSERT_TRUE(host->Geometry(id, x, y, w, h));
    EXPECT_EQ(w, 664);
    editor->view->removed();
    ASSERT_EQ(editor->Attach(host->ParentHandle()), kResultOk);
    ASSERT_TRUE(host->Geometry(editor->WindowId(), x, y, w, h));
    EXPECT_EQ(w, 664);
    EXPECT_EQ(h, 215);
}

TEST_F(EditorWindow, ADesktopFactorChangeIsTakenUpWhileOpen) {
    auto editor = MakeEditor();
    ASSERT_EQ(editor->Attach(host->ParentHandle()), kResultOk);
    ASSERT_TRUE(editor->RunUntilDrawn());
    host->SetResources("Xft.dpi:\t144\n"); // 1.5 rounds to 2
    const xcb_window_t id = editor->WindowId();
    uint16_t w = 0, h = 0;
    int16_t x = 0, y = 0;
    editor->loop->RunUntil([&] { return host->Geometry(id, x, y, w, h) && w == 1328; }, 1000);
    EXPECT_EQ(w, 1328);
    EXPECT_EQ(h, 430);
    ASSERT_TRUE(editor->RunUntilDrawn(editor->Window()->FramesDrawn()));
    EXPECT_EQ(DifferencesFromFrameBuffer(*editor), 0);
}

TEST_F(EditorWindow, PlugInResizesReachTheHostAndTheWindowWhateverTheHostDoes) {
    for (const auto policy :
         {PlugFrame::ResizePolicy::AcceptAndResizeView, PlugFrame::ResizePolicy::AcceptSilently,
          PlugFrame::ResizePolicy::Refuse}) {
        editor_test::Options resizable;
        resizable.hostResize = true;
        auto editor = MakeEditor({}, resizable, policy);
        ASSERT_EQ(editor->Attach(host->ParentHandle()), kResultOk);
        editor->plugin->Graphics()->Resize(664, 215, 1.5f, true);
        const auto& requests = editor->frame->ResizeRequests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests.back().getWidth(), 996);
        EXPECT_EQ(requests.back().getHeight(), 322);
        int16_t x = 0, y = 0;
        uint16_t w = 0, h = 0;
        host->Sync();
        ASSERT_TRUE(host->Geometry(editor->WindowId(), x, y, w, h));
        EXPECT_EQ(w, 996) << static_cast<int>(policy);
        EXPECT_EQ(h, 322);
        // A host answering with onSize of the requested size leaves the
        // zoom as the plug-in set it.
        EXPECT_EQ(editor->plugin->Graphics()->DrawScale(), 1.5f);
        ASSERT_TRUE(editor->RunUntilDrawn());
        EXPECT_EQ(DifferencesFromFrameBuffer(*editor), 0);

        // Closing and opening again keeps the size and the zoom.
        editor->view->removed();
        ASSERT_EQ(editor->Attach(host->ParentHandle()), kResultOk);
        EXPECT_EQ(editor->plugin->Graphics()->DrawScale(), 1.5f);
        host->Sync();
        ASSERT_TRUE(host->Geometry(editor->WindowId(), x, y, w, h));
        EXPECT_EQ(w, 996);
        EXPECT_EQ(h, 322);
    }
}

// A plug-in whose host resize requests all fail.
class RefusedResizePlugin : public editor_test::EditorTestPlugin {
public:
    bool ResizeEditorWindow(int32_t width, int32_t height) override {
        EditorTestPlugin::ResizeEditorWindow(width, height);
        return false;
    }
};

TEST_F(EditorWindow, AResizeTheHostDidNotMakeGrowsTheTwoEnclosingWindowsToo) {
    // Host windows nested two deep inside the top-level one.
    xcb_connection_t* c = host->Connection();
    xcb_window_t outer = xcb_generate_id(c);
    xcb_window_t inner = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, outer, host->Window(), 5, 5, 700, 250, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, inner, outer, 3, 3, 680, 230, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_map_window(c, inner);
    xcb_map_window(c, outer);
    host->Sync();
    const auto size = [&](xcb_window_t window) {
        int16_t x = 0, y = 0;
        uint16_t w = 0, h = 0;
        host->Geometry(window, x, y, w, h);
        return std::pair<int, int>(w, h);
    };

    for (const bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "host refused" : "host resized");
        auto editor = std::make_unique<HostedEditor>(PollRunLoop::Options{}, editor_test::Options{},
                                                     PlugFrame::ResizePolicy::AcceptAndResizeView,
                                                     refused ? new RefusedResizePlugin : nullptr);
        ASSERT_EQ(editor->Attach(reinterpret_cast<void*>(static_cast<uintptr_t>(inner))),
                  kResultOk);
        const auto innerBefore = size(inner);
        const auto outerBefore = size(outer);
        editor->plugin->Graphics()->Resize(664, 215, 1.5f, true); // 996 x 322: 332 x 107 more
        host->Sync();
        editor->loop->RunFor(10);
        EXPECT_EQ(size(editor->WindowId()), (std::pair<int, int>(996, 322)));
        const int grow = refused ? 1 : 0;
        EXPECT_EQ(size(inner), (std::pair<int, int>(innerBefore.first + grow * 332,
                                                    innerBefore.second + grow * 107)));
        EXPECT_EQ(size(outer), (std::pair<int, int>(outerBefore.first + grow * 332,
                                                    outerBefore.second + grow * 107)));
        EXPECT_EQ(size(host->Window()), (std::pair<int, int>(kHostWidth, kHostHeight)));
    }
    xcb_destroy_window(c, outer);
    host->Sync();
}

TEST_F(EditorWindow, EveryHostsRunLoopHabitServesTheEditor) {
    struct Habit {
        const char* host;
        PollRunLoop::Options options;
    };
    std::vector<Habit> habits(4);
    habits[0] = {"descriptor never signalled (Bitwig)", {}};
    habits[0].options.signalDescriptors = false;
    habits[1] = {"descriptor handler called all the time (editorhost)", {}};
    habits[1].options.signalContinuously = true;
    habits[2] = {"one handler per descriptor number (Ardour)", {}};
    habits[2].options.refuseSecondHandlerPerDescriptor = true;
    habits[3] = {"timers capped near 40 a second (REAPER)", {}};
    habits[3].options.shortestTimerMs = 25;
    for (const Habit& habit : habits) {
        SCOPED_TRACE(habit.host);
        auto editor = MakeEditor(habit.options);
        for (int opening = 0; opening < 2; ++opening) {
            ASSERT_EQ(editor->Attach(host->ParentHandle()), kResultOk);
            ASSERT_TRUE(editor->RunUntilDrawn());
            EXPECT_EQ(DifferencesFromFrameBuffer(*editor), 0);
            const uint32_t frames = editor->Window()->FramesDrawn();
            editor->controller->setParamNormalized(editor_test::kGain, 0.1 + 0.3 * opening);
            ASSERT_TRUE(editor->RunUntilDrawn(frames));
            EXPECT_TRUE(
                ShowsGrey(*editor, kKnobX, kKnobY, editor_test::GreyFor(0.1 + 0.3 * opening)));
            // Idle: however often the host calls, nothing is drawn.
            const uint32_t idle = editor->Window()->FramesDrawn();
            editor->loop->RunFor(100);
            EXPECT_EQ(editor->Window()->FramesDrawn(), idle);
            editor->view->removed();
        }
        EXPECT_EQ(editor->loop->CallsFromInsideHandlers(), 0u);
        EXPECT_EQ(editor->loop->TimerCount(), 0u);
    }
}

} // namespace
