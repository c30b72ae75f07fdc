// The window layer's pieces against a real server: the embedded window,
// presenting (shared memory and plain requests), frame notifications, the
// Xft.dpi resource, the keyboard layout and the pointer.

#include "X11Fixture.h"

#include "ui/platform/X11EmbedWindow.h"
#include "ui/platform/X11EventTranslation.h"
#include "ui/platform/X11FrameClock.h"
#include "ui/platform/X11Keyboard.h"
#include "ui/platform/X11Pointer.h"
#include "ui/platform/X11Presenter.h"
#include "ui/platform/X11ScreenScale.h"

#include <chrono>
#include <vector>

namespace {

using namespace ui::x11;
using x11test::X11Fixture;

class X11Pieces : public X11Fixture {
protected:
    void SetUp() override {
        X11Fixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        connection = std::make_unique<XcbConnection>(Display());
        ASSERT_TRUE(connection->IsOpen());
        window = std::make_unique<X11EmbedWindow>(*connection);
        ASSERT_TRUE(window->Create(host->Window(), 10, 20, kWidth, kHeight));
        host->Sync();
    }

    // Waits for an event of the window's that passes the filter.
    bool WaitFor(WindowEvent::Kind kind, const TranslationContext& context, WindowEvent& found,
                 int timeoutMs = 1000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            XcbPtr<xcb_generic_event_t> event(xcb_poll_for_event(connection->Get()));
            if (!event) {
                usleep(1000);
                continue;
            }
            const WindowEvent translated = TranslateEvent(*event, context);
            if (translated.kind == kind) {
                found = translated;
                return true;
            }
        }
        return false;
    }

    // Waits until the server has handled everything the window's side sent.
    void SyncOwn() {
        GetReply(connection->Get(), xcb_get_input_focus(connection->Get()),
                 xcb_get_input_focus_reply);
    }

    // An image whose every pixel is different, opaque.
    static std::vector<uint32_t> Pattern(uint32_t seed) {
        std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                pixels[static_cast<size_t>(y) * kWidth + x] =
                    0xFF000000u | ((x * 7 + seed) & 0xFF) << 16 | ((y * 3 + seed) & 0xFF) << 8 |
                    ((x + y + seed) & 0xFF);
        return pixels;
    }

    static PixelView View(const std::vector<uint32_t>& pixels) {
        return PixelView{reinterpret_cast<const uint8_t*>(pixels.data()), kWidth, kHeight,
                         kWidth * 4};
    }

    // Compares the window with the image (alpha is not shown) inside rect;
    // the number of differing pixels.
    int Differences(const std::vector<uint32_t>& image, PixelRect rect) {
        const auto shown = host->ReadPixels(window->Id(), 0, 0, kWidth, kHeight);
        EXPECT_EQ(shown.size(), image.size());
        if (shown.size() != image.size())
            return -1;
        int differing = 0;
        for (int y = rect.y; y < rect.y + rect.h; ++y)
            for (int x = rect.x; x < rect.x + rect.w; ++x) {
                const size_t i = static_cast<size_t>(y) * kWidth + x;
                differing += (shown[i] & 0xFFFFFF) != (image[i] & 0xFFFFFF);
            }
        return differing;
    }

    void CheckPresenting(bool sharedMemory) {
        X11Presenter presenter(*connection, window->Id(), window->Depth(), sharedMemory);
        EXPECT_EQ(presenter.UsesSharedMemory(), sharedMemory);
        const auto first = Pattern(0);
        const PixelRect whole{0, 0, kWidth, kHeight};
        ASSERT_TRUE(presenter.Present(View(first), std::span(&whole, 1)));
        SyncOwn();
        EXPECT_EQ(Differences(first, whole), 0);

        // Only the dirty rectangles travel: outside them the window keeps
        // the first image.
        const auto second = Pattern(101);
        const PixelRect dirty[] = {{5, 7, 30, 11}, {kWidth - 20, kHeight - 9, 40, 40}};
        ASSERT_TRUE(presenter.Present(View(second), dirty));
        SyncOwn();
        EXPECT_EQ(Differences(second, dirty[0]), 0);
        EXPECT_EQ(Differences(second, PixelRect{kWidth - 20, kHeight - 9, 20, 9}), 0);
        EXPECT_EQ(Differences(first, PixelRect{40, 20, 100, 50}), 0);
        EXPECT_EQ(Differences(first, PixelRect{0, 0, kWidth, 7}), 0);
    }

    static constexpr int32_t kWidth = 333;
    static constexpr int32_t kHeight = 121;
    std::unique_ptr<XcbConnection> connection;
    std::unique_ptr<X11EmbedWindow> window;
};

TEST_F(X11Pieces, TheWindowIsAMappedChildWithXembedInfo) {
    ASSERT_EQ(host->Children(), std::vector<xcb_window_t>{window->Id()});
    xcb_connection_t* c = host->Connection();
    auto attributes =
        GetReply(c, xcb_get_window_attributes(c, window->Id()), xcb_get_window_attributes_reply);
    ASSERT_TRUE(attributes);
    EXPECT_EQ(attributes->map_state, XCB_MAP_STATE_VIEWABLE);

    const auto atoms = connection->InternAtoms({"_XEMBED_INFO"});
    auto info = GetReply(c, xcb_get_property(c, 0, window->Id(), atoms[0], atoms[0], 0, 2),
                         xcb_get_property_reply);
    ASSERT_TRUE(info);
    ASSERT_EQ(xcb_get_property_value_length(info.get()), 8);
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(info.get()));
    EXPECT_EQ(values[0], 0u); // version
    EXPECT_EQ(values[1], 0u); // flags

    window->Destroy();
    SyncOwn();
    EXPECT_TRUE(host->Children().empty());
    X11EmbedWindow orphan(*connection);
    EXPECT_FALSE(orphan.Create(0x7FFFFF, 0, 0, 10, 10)); // no such parent
}

TEST_F(X11Pieces, PresentingThroughSharedMemoryShowsExactlyTheDirtyPixels) {
    const int segmentsBefore = x11test::OwnSharedMemorySegments();
    CheckPresenting(true);
    // The segment goes with the presenter, once the server has let go.
    SyncOwn();
    EXPECT_EQ(x11test::OwnSharedMemorySegments(), segmentsBefore);
}

TEST_F(X11Pieces, PresentingThroughPlainRequestsShowsTheSamePixels) {
    CheckPresenting(false);
}

TEST_F(X11Pieces, AFrameNotificationArrivesWithinAFrame) {
    X11FrameClock clock(*connection, window->Id());
    ASSERT_TRUE(clock.IsAvailable());
    TranslationContext context;
    context.window = window->Id();
    context.presentOpcode = clock.MajorOpcode();
    context.presentEventId = clock.EventId();
    WindowEvent frame;
    for (uint32_t serial = 1; serial <= 3; ++serial) {
        const auto start = std::chrono::steady_clock::now();
        clock.RequestNextFrame(serial);
        xcb_flush(connection->Get());
        ASSERT_TRUE(WaitFor(WindowEvent::Kind::FrameComplete, context, frame));
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(frame.serial, serial);
        EXPECT_LT(waited, std::chrono::milliseconds(100));
    }
}

TEST_F(X11Pieces, XftDpiComesFromTheRootResources) {
    host->SetResources("Xft.antialias:\t1\nXft.dpi:\t144\n");
    EXPECT_EQ(ReadXftDpi(connection->Get(), connection->Screen()), 144.0);
    host->SetResources("Xft.antialias:\t1\n");
    EXPECT_EQ(ReadXftDpi(connection->Get(), connection->Screen()), 0.0);
    xcb_delete_property(host->Connection(), host->Root(), XCB_ATOM_RESOURCE_MANAGER);
    host->Sync();
    EXPECT_EQ(ReadXftDpi(connection->Get(), connection->Screen()), 0.0);
}

TEST_F(X11Pieces, KeysFollowTheServersLayout) {
    X11Keyboard keyboard;
    ASSERT_TRUE(keyboard.Setup(connection->Get()));
    // Evdev keycodes, as Xvfb's default layout (us) has them.
    constexpr xcb_keycode_t kKeyA = 38;
    constexpr xcb_keycode_t kKeyReturn = 36;
    constexpr xcb_keycode_t kKeyKp7 = 79;
    const ui::IKeyEvent a = keyboard.Translate(kKeyA, 0);
    EXPECT_EQ(a.virtualKey, 65);
    EXPECT_STREQ(a.utf8, "a");
    const ui::IKeyEvent shiftA = keyboard.Translate(kKeyA, XCB_MOD_MASK_SHIFT);
    EXPECT_EQ(shiftA.virtualKey, 65);
    EXPECT_STREQ(shiftA.utf8, "A");
    EXPECT_TRUE(shiftA.shift);
    const ui::IKeyEvent controlA = keyboard.Translate(kKeyA, XCB_MOD_MASK_CONTROL);
    EXPECT_TRUE(controlA.control);
    EXPECT_STREQ(controlA.utf8, ""); // a control character is no text
    const ui::IKeyEvent enter = keyboard.Translate(kKeyReturn, 0);
    EXPECT_EQ(enter.virtualKey, 13);
    EXPECT_STREQ(enter.utf8, "");
    // The keypad follows Num Lock (Mod2), as on Windows.
    EXPECT_EQ(keyboard.Translate(kKeyKp7, XCB_MOD_MASK_2).virtualKey, 96 + 7);
    EXPECT_STREQ(keyboard.Translate(kKeyKp7, XCB_MOD_MASK_2).utf8, "7");
    EXPECT_EQ(keyboard.Translate(kKeyKp7, 0).virtualKey, 36);
}

TEST_F(X11Pieces, PointerHidesAreBalancedAndWarpsMoveThePointer) {
    const int32_t before = X11Pointer::OutstandingHides();
    {
        X11Pointer pointer(*connection, window->Id());
        pointer.Hide();
        pointer.Hide(); // counted once
        EXPECT_EQ(X11Pointer::OutstandingHides(), before + 1);
        pointer.Show();
        EXPECT_EQ(X11Pointer::OutstandingHides(), before);
        pointer.Hide();
        pointer.Grab();
        pointer.Warp(40, 30);
        xcb_flush(connection->Get());
        host->Sync();
        int16_t x = 0, y = 0;
        ASSERT_TRUE(host->PointerPosition(x, y, window->Id()));
        EXPECT_EQ(x, 40);
        EXPECT_EQ(y, 30);
        pointer.SetShape(ui::CursorShape::Hand);
    } // still hidden and grabbed: the destructor balances both
    EXPECT_EQ(X11Pointer::OutstandingHides(), before);
    // The grab is gone: another client can grab the pointer now.
    SyncOwn();
    xcb_connection_t* c = host->Connection();
    auto grab =
        GetReply(c,
                 xcb_grab_pointer(c, 0, host->Window(), 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                                  XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
                 xcb_grab_pointer_reply);
    ASSERT_TRUE(grab);
    EXPECT_EQ(grab->status, XCB_GRAB_STATUS_SUCCESS);
    xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    host->Sync();
}

} // namespace
