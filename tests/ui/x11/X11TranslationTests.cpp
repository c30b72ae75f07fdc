// The window layer's pure pieces: X events to plain records, key tables,
// double clicks, dropped-file lists, screen scale and frame pacing.

#include "ui/platform/DoubleClickDetector.h"
#include "ui/platform/FramePacing.h"
#include "ui/platform/X11DropTarget.h"
#include "ui/platform/X11EventTranslation.h"
#include "ui/platform/X11Keyboard.h"
#include "ui/platform/X11Presenter.h"
#include "ui/platform/X11ScreenScale.h"

#include <xcb/present.h>
#include <xcb/shm.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

using ui::x11::TranslateEvent;
using ui::x11::TranslationContext;
using ui::x11::WindowEvent;
using Kind = WindowEvent::Kind;

constexpr xcb_window_t kWindow = 0x400001;
constexpr xcb_window_t kOther = 0x500001;

TranslationContext Context(float pixelScale = 1.0f) {
    TranslationContext context;
    context.window = kWindow;
    context.root = 0x100;
    context.pixelScale = pixelScale;
    context.presentOpcode = 140;
    context.presentEventId = 77;
    context.shmFirstEvent = 65;
    return context;
}

template <typename Event> const xcb_generic_event_t& Generic(const Event& event) {
    return reinterpret_cast<const xcb_generic_event_t&>(event);
}

xcb_button_press_event_t Button(uint8_t type, uint8_t button, int16_t x, int16_t y,
                                uint16_t state = 0, xcb_window_t window = kWindow) {
    xcb_button_press_event_t e{};
    e.response_type = type;
    e.detail = button;
    e.event = window;
    e.event_x = x;
    e.event_y = y;
    e.state = state;
    e.time = 1234;
    return e;
}

TEST(X11Translation, PointerPositionsArriveInLogicalUnits) {
    xcb_motion_notify_event_t motion{};
    motion.response_type = XCB_MOTION_NOTIFY;
    motion.event = kWindow;
    motion.event_x = 100;
    motion.event_y = 50;
    motion.state = uint16_t{XCB_BUTTON_MASK_1} | uint16_t{XCB_MOD_MASK_SHIFT};
    // Draw scale 1 and screen scale 2: pixel (100, 50) is logical (50, 25).
    const WindowEvent e = TranslateEvent(Generic(motion), Context(2.0f));
    EXPECT_EQ(e.kind, Kind::PointerMove);
    EXPECT_FLOAT_EQ(e.pointer.x, 50.0f);
    EXPECT_FLOAT_EQ(e.pointer.y, 25.0f);
    EXPECT_TRUE(e.pointer.modifiers.L);
    EXPECT_TRUE(e.pointer.modifiers.S);
    EXPECT_FALSE(e.pointer.modifiers.R);
    EXPECT_EQ(e.pointer.dX, 0.0f);

    motion.event = kOther; // a window of someone else's
    EXPECT_EQ(TranslateEvent(Generic(motion), Context()).kind, Kind::None);
}

TEST(X11Translation, ButtonsCarryTheStateAfterThePressOrRelease) {
    // X reports the state before the event: the pressed button is not in it.
    const WindowEvent left = TranslateEvent(Generic(Button(XCB_BUTTON_PRESS, 1, 3, 4)), Context());
    EXPECT_EQ(left.kind, Kind::ButtonPress);
    EXPECT_TRUE(left.pointer.modifiers.L);
    EXPECT_EQ(left.button, 1);

    const WindowEvent right = TranslateEvent(
        Generic(Button(XCB_BUTTON_PRESS, 3, 3, 4, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1)),
        Context());
    EXPECT_TRUE(right.pointer.modifiers.R);
    EXPECT_FALSE(right.pointer.modifiers.L);
    EXPECT_TRUE(right.pointer.modifiers.C);
    EXPECT_TRUE(right.pointer.modifiers.A);

    const WindowEvent middle =
        TranslateEvent(Generic(Button(XCB_BUTTON_PRESS, 2, 3, 4)), Context());
    EXPECT_EQ(middle.kind, Kind::ButtonPress);
    EXPECT_FALSE(middle.pointer.modifiers.L || middle.pointer.modifiers.R);

    const WindowEvent release =
        TranslateEvent(Generic(Button(XCB_BUTTON_RELEASE, 1, 3, 4, XCB_BUTTON_MASK_1)), Context());
    EXPECT_EQ(release.kind, Kind::ButtonRelease);
    EXPECT_FALSE(release.pointer.modifiers.L);
}

TEST(X11Translation, WheelButtonsAreOneNotchEachAndTheirReleasesNothing) {
    const struct {
        uint8_t button;
        float notches;
    } cases[] = {{4, 1.0f}, {5, -1.0f}, {6, -1.0f}, {7, 1.0f}};
    for (const auto& c : cases) {
        const WindowEvent press =
            TranslateEvent(Generic(Button(XCB_BUTTON_PRESS, c.button, 20, 10)), Context(2.0f));
        EXPECT_EQ(press.kind, Kind::Wheel) << int(c.button);
        EXPECT_EQ(press.notches, c.notches) << int(c.button);
        EXPECT_FLOAT_EQ(press.pointer.x, 10.0f);
        EXPECT_EQ(
            TranslateEvent(Generic(Button(XCB_BUTTON_RELEASE, c.button, 20, 10)), Context()).kind,
            Kind::None);
    }
}

TEST(X11Translation, CrossingsFocusAndStructure) {
    xcb_leave_notify_event_t leave{};
    leave.response_type = XCB_LEAVE_NOTIFY;
    leave.event = kWindow;
    leave.mode = XCB_NOTIFY_MODE_NORMAL;
    leave.detail = XCB_NOTIFY_DETAIL_ANCESTOR;
    EXPECT_EQ(TranslateEvent(Generic(leave), Context()).kind, Kind::PointerLeave);
    leave.detail = XCB_NOTIFY_DETAIL_INFERIOR; // into a child of the editor
    EXPECT_EQ(TranslateEvent(Generic(leave), Context()).kind, Kind::None);
    leave.mode = XCB_NOTIFY_MODE_UNGRAB;
    EXPECT_EQ(TranslateEvent(Generic(leave), Context()).kind, Kind::GrabEnded);
    leave.response_type = XCB_ENTER_NOTIFY;
    EXPECT_EQ(TranslateEvent(Generic(leave), Context()).kind, Kind::GrabEnded);

    xcb_focus_out_event_t focus{};
    focus.response_type = XCB_FOCUS_OUT;
    focus.event = kWindow;
    focus.detail = XCB_NOTIFY_DETAIL_NONLINEAR;
    focus.mode = XCB_NOTIFY_MODE_NORMAL;
    EXPECT_EQ(TranslateEvent(Generic(focus), Context()).kind, Kind::FocusLost);
    focus.mode = XCB_NOTIFY_MODE_GRAB; // a grab moves the focus only for its duration
    EXPECT_EQ(TranslateEvent(Generic(focus), Context()).kind, Kind::None);

    xcb_destroy_notify_event_t destroyed{};
    destroyed.response_type = XCB_DESTROY_NOTIFY;
    destroyed.window = kWindow;
    EXPECT_EQ(TranslateEvent(Generic(destroyed), Context()).kind, Kind::Destroyed);

    xcb_expose_event_t expose{};
    expose.response_type = XCB_EXPOSE | 0x80; // sent by another client
    expose.window = kWindow;
    expose.x = 5;
    expose.y = 6;
    expose.width = 10;
    expose.height = 20;
    const WindowEvent shown = TranslateEvent(Generic(expose), Context(2.0f));
    EXPECT_EQ(shown.kind, Kind::Expose);
    EXPECT_TRUE(shown.synthetic);
    EXPECT_EQ(shown.pixels, ui::IRectangle(5, 6, 15, 26)); // pixels, not logical
}

TEST(X11Translation, SelectionsFocusGainsAndScreenPositions) {
    xcb_selection_request_event_t request{};
    request.response_type = XCB_SELECTION_REQUEST;
    request.owner = kWindow;
    request.requestor = kOther;
    request.selection = 11;
    request.target = 12;
    request.property = 13;
    request.time = 99;
    const WindowEvent asked = TranslateEvent(Generic(request), Context());
    EXPECT_EQ(asked.kind, Kind::SelectionRequest);
    EXPECT_EQ(asked.requestor, kOther);
    EXPECT_EQ(asked.selection, 11u);
    EXPECT_EQ(asked.target, 12u);
    EXPECT_EQ(asked.property, 13u);
    EXPECT_EQ(asked.time, 99u);
    request.owner = kOther; // another window's business
    EXPECT_EQ(TranslateEvent(Generic(request), Context()).kind, Kind::None);

    xcb_selection_clear_event_t clear{};
    clear.response_type = XCB_SELECTION_CLEAR;
    clear.owner = kWindow;
    clear.selection = 11;
    EXPECT_EQ(TranslateEvent(Generic(clear), Context()).kind, Kind::SelectionClear);
    EXPECT_EQ(TranslateEvent(Generic(clear), Context()).selection, 11u);

    xcb_focus_in_event_t focus{};
    focus.response_type = XCB_FOCUS_IN;
    focus.event = kWindow;
    focus.detail = XCB_NOTIFY_DETAIL_ANCESTOR;
    focus.mode = XCB_NOTIFY_MODE_NORMAL;
    EXPECT_EQ(TranslateEvent(Generic(focus), Context()).kind, Kind::FocusGained);
    focus.detail = XCB_NOTIFY_DETAIL_INFERIOR; // back from the text field
    EXPECT_EQ(TranslateEvent(Generic(focus), Context()).kind, Kind::None);

    xcb_button_press_event_t press = Button(XCB_BUTTON_PRESS, 1, 10, 20);
    press.root_x = 310;
    press.root_y = -5;
    const WindowEvent pressed = TranslateEvent(Generic(press), Context(2.0f));
    EXPECT_EQ(pressed.rootX, 310); // screen pixels, whatever the scale
    EXPECT_EQ(pressed.rootY, -5);
}

TEST(X11Translation, ExtensionEventsAreRecognisedByTheirNumbers) {
    xcb_present_complete_notify_event_t complete{};
    complete.response_type = XCB_GE_GENERIC;
    complete.extension = 140;
    complete.event_type = XCB_PRESENT_EVENT_COMPLETE_NOTIFY;
    complete.kind = XCB_PRESENT_COMPLETE_KIND_NOTIFY_MSC;
    complete.event = 77;
    complete.window = kWindow;
    complete.serial = 9;
    complete.msc = 123456;
    const WindowEvent frame = TranslateEvent(Generic(complete), Context());
    EXPECT_EQ(frame.kind, Kind::FrameComplete);
    EXPECT_EQ(frame.serial, 9u);
    EXPECT_EQ(frame.msc, 123456u);
    complete.event = 78; // another selection's
    EXPECT_EQ(TranslateEvent(Generic(complete), Context()).kind, Kind::None);
    TranslationContext noPresent = Context();
    noPresent.presentOpcode = 0;
    complete.event = 77;
    EXPECT_EQ(TranslateEvent(Generic(complete), noPresent).kind, Kind::None);

    xcb_shm_completion_event_t shm{};
    shm.response_type = 65 + XCB_SHM_COMPLETION;
    shm.drawable = kWindow;
    EXPECT_EQ(TranslateEvent(Generic(shm), Context()).kind, Kind::ShmCompletion);

    xcb_generic_error_t error{};
    error.response_type = 0;
    error.error_code = XCB_WINDOW;
    error.major_code = 4;
    const WindowEvent failed = TranslateEvent(Generic(error), Context());
    EXPECT_EQ(failed.kind, Kind::Error);
    EXPECT_EQ(failed.errorCode, XCB_WINDOW);
}

TEST(X11Keys, KeysymsGiveTheVirtualKeysOfTheBindingsTable) {
    using ui::x11::VirtualKeyForKeysym;
    EXPECT_EQ(VirtualKeyForKeysym(XKB_KEY_a), 65);
    EXPECT_EQ(VirtualKeyForKeysym(XKB_KEY_A), 65);
    EXPECT_EQ(VirtualKeyForKeysym(XKB_KEY_7), 55);
    EXPECT_EQ(VirtualKeyForKeysym(XKB_KEY_semicolon), 0xBA);
    EXPECT_EQ(VirtualKeyForKeysym(XKB_KEY_BackSpace), 8);
    EXPECT_EQ(VirtualKeyForKeysym(XKB_KEY_Return), 13);
    EXPECT_EQ(VirtualKeyForKeysym(XKB_KEY_KP_Enter), 13);
    EXPECT_EQ(VirtualKeyForKeysym(XKB_KEY_space), 32);
    EXPECT_EQ(VirtualKeyForKeysym(XKB_KEY_Prior), 33);
    EXPECT_EQ(VirtualKeyForKeysym(XKB_KEY_Down), 40);
    EXPECT_EQ(VirtualKeyForKeysym(XKB_KEY_KP_3), 99);
    EXPECT_EQ(VirtualKeyForKeysym(XKB_KEY_KP_Divide), 111);
    EXPECT_EQ(VirtualKeyForKeysym(XKB_KEY_F12), 123);
    EXPECT_EQ(VirtualKeyForKeysym(XKB_KEY_Scroll_Lock), 145);
    EXPECT_EQ(VirtualKeyForKeysym(XKB_KEY_Control_R), 17);
    EXPECT_EQ(VirtualKeyForKeysym(XKB_KEY_eacute), 0);
}

TEST(X11Pointer, DoubleClicksNeedTheSameButtonSoonAndNear) {
    ui::DoubleClickDetector clicks;
    EXPECT_FALSE(clicks.Press(1, 1000, 10, 10));
    EXPECT_TRUE(clicks.Press(1, 1300, 12, 9));
    EXPECT_FALSE(clicks.Press(1, 1350, 12, 9)); // a third press starts over
    EXPECT_TRUE(clicks.Press(1, 1400, 12, 9));

    EXPECT_FALSE(clicks.Press(1, 5000, 10, 10));
    EXPECT_FALSE(clicks.Press(1, 5401, 10, 10)); // too late
    EXPECT_FALSE(clicks.Press(3, 5500, 10, 10)); // another button
    EXPECT_FALSE(clicks.Press(1, 5600, 10, 10));
    EXPECT_FALSE(clicks.Press(1, 5700, 16, 10)); // too far
    // The server's clock wraps after 49 days; a press just after the wrap
    // still pairs with one just before it.
    EXPECT_FALSE(clicks.Press(1, 0xFFFFFF00u, 0, 0));
    EXPECT_TRUE(clicks.Press(1, 0x50, 0, 0));
}

TEST(X11Drops, UriListsGiveLocalPathsDecoded) {
    const auto paths = ui::x11::ParseUriList("# from a file manager\r\n"
                                             "file:///home/me/My%20Take.wav\r\n"
                                             "file://localhost/tmp/a%2Bb.aif\r\n"
                                             "file://otherhost/tmp/remote.wav\r\n"
                                             "https://example.org/x.wav\r\n"
                                             "file:/tmp/short-form\n"
                                             "file:///bad%2\r\n"
                                             "file:///nul%00byte\r\n"
                                             "file:///last");
    ASSERT_EQ(paths.size(), 4u);
    EXPECT_EQ(paths[0], "/home/me/My Take.wav");
    EXPECT_EQ(paths[1], "/tmp/a+b.aif");
    EXPECT_EQ(paths[2], "/tmp/short-form");
    EXPECT_EQ(paths[3], "/last");
    EXPECT_TRUE(ui::x11::ParseUriList("").empty());
}

TEST(X11ScreenScale, DpiBecomesAWholeFactor) {
    using ui::x11::ScreenScaleForDpi;
    EXPECT_EQ(ScreenScaleForDpi(96), 1.0f);
    EXPECT_EQ(ScreenScaleForDpi(120), 1.0f);
    EXPECT_EQ(ScreenScaleForDpi(144), 2.0f); // 1.5 rounds away from zero
    EXPECT_EQ(ScreenScaleForDpi(168), 2.0f);
    EXPECT_EQ(ScreenScaleForDpi(192), 2.0f);
    EXPECT_EQ(ScreenScaleForDpi(240), 3.0f);
    EXPECT_EQ(ScreenScaleForDpi(30), 1.0f); // never below 1
    EXPECT_EQ(ScreenScaleForDpi(0), 1.0f);
    EXPECT_EQ(ScreenScaleForDpi(std::nan("")), 1.0f);
    EXPECT_EQ(ScreenScaleForDpi(INFINITY), 1.0f);

    using ui::x11::ParseDpi;
    EXPECT_EQ(ParseDpi("144"), 144.0);
    EXPECT_EQ(ParseDpi(" 96.0\n"), 96.0);
    EXPECT_EQ(ParseDpi("96dpi"), 0.0);
    EXPECT_EQ(ParseDpi("-96"), 0.0);
    EXPECT_EQ(ParseDpi("nan"), 0.0);
    EXPECT_EQ(ParseDpi(""), 0.0);
    EXPECT_EQ(ParseDpi(nullptr), 0.0);
}

TEST(FramePacing, TimerPeriodsNeverFasterThan15Ms) {
    EXPECT_EQ(ui::FrameTimerPeriodMs(60), 15);
    EXPECT_EQ(ui::FrameTimerPeriodMs(50), 20);
    EXPECT_EQ(ui::FrameTimerPeriodMs(30), 33);
    EXPECT_EQ(ui::FrameTimerPeriodMs(100), 15);
    EXPECT_EQ(ui::FrameTimerPeriodMs(0), 15);
}

TEST(FramePacing, OnlyTheNewestPostedFrameRepaintsAndPileUpsAreSkipped) {
    ui::FrameTickGate gate;
    const uint32_t first = gate.Post();
    const uint32_t second = gate.Post();
    const uint32_t third = gate.Post();
    EXPECT_FALSE(gate.Admit(first));
    EXPECT_FALSE(gate.Admit(second));
    EXPECT_TRUE(gate.Admit(third));

    // Two more frames were posted while the third painted: both skipped,
    // and the one after them runs.
    gate.Post();
    const uint32_t fifth = gate.Post();
    gate.AfterPaint(third);
    EXPECT_EQ(gate.SkipUntilFrame(), fifth + 1);
    EXPECT_FALSE(gate.Admit(fifth));
    const uint32_t sixth = gate.Post();
    EXPECT_TRUE(gate.Admit(sixth));
    gate.AfterPaint(sixth);
    EXPECT_EQ(gate.SkipUntilFrame(), 0u);
}

TEST(FramePacing, AnUnansweredFrameRequestHandsPacingToTheTimerForASecond) {
    ui::FramePacer unavailable(false);
    EXPECT_FALSE(unavailable.PacedByFrames(0));

    ui::FramePacer pacer(true);
    EXPECT_TRUE(pacer.PacedByFrames(0));
    const uint32_t answered = pacer.Request(0);
    EXPECT_FALSE(pacer.CheckStall(16));
    EXPECT_TRUE(pacer.Complete(answered));
    EXPECT_FALSE(pacer.Waiting());

    const uint32_t lost = pacer.Request(1000);
    EXPECT_FALSE(pacer.CheckStall(1000 + ui::FramePacer::kStallMs));
    EXPECT_TRUE(pacer.CheckStall(1000 + ui::FramePacer::kStallMs + 1));
    EXPECT_FALSE(pacer.PacedByFrames(1500));
    EXPECT_FALSE(pacer.Complete(lost)); // the late answer changes nothing
    EXPECT_TRUE(pacer.PacedByFrames(1101 + ui::FramePacer::kRetryMs));
}

TEST(X11Presenting, BandsFitTheRequestLimitAndRectanglesTheImage) {
    // A 1328-pixel row is 5312 bytes: 49 rows fit into 262140 bytes.
    EXPECT_EQ(ui::x11::RowsPerPutImage(1328, 262140), 49);
    EXPECT_EQ(ui::x11::RowsPerPutImage(10, 24 + 40 * 3 + 39), 3);
    EXPECT_EQ(ui::x11::RowsPerPutImage(10, 24), 0);
    EXPECT_EQ(ui::x11::RowsPerPutImage(0, 1 << 20), 0);

    using ui::x11::ClipToImage;
    using ui::x11::PixelRect;
    EXPECT_EQ(ClipToImage(PixelRect{-5, 10, 20, 500}, 100, 50), (PixelRect{0, 10, 15, 40}));
    EXPECT_EQ(ClipToImage(PixelRect{100, 0, 5, 5}, 100, 50).w, 0);
    EXPECT_EQ(ClipToImage(PixelRect{0x7FFFFFF0, 0, 0x7FFFFFF0, 5}, 100, 50).w, 0);
}

} // namespace
