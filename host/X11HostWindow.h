#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vst3host {

// The host's side of an embedded editor on X11: a top-level window whose id
// is handed to IPlugView::attached as the parent, on a connection of its
// own. It also drives and inspects the display the way a test needs: reads
// pixels back, lists the windows inside the parent, and moves and presses
// the pointer through XTest (real input, as a user's).
class X11HostWindow {
public:
    // Null with a reason when the display cannot be opened.
    static std::unique_ptr<X11HostWindow> Open(const std::string& display, uint16_t width,
                                               uint16_t height, std::string& whyNot);
    ~X11HostWindow();
    X11HostWindow(const X11HostWindow&) = delete;
    X11HostWindow& operator=(const X11HostWindow&) = delete;

    xcb_connection_t* Connection() const noexcept { return connection; }
    xcb_window_t Window() const noexcept { return window; }
    xcb_window_t Root() const noexcept { return root; }
    // The parent as IPlugView::attached takes it.
    void* ParentHandle() const noexcept {
        return reinterpret_cast<void*>(static_cast<uintptr_t>(window));
    }

    // Waits until the server has handled everything sent so far.
    void Sync();
    void Resize(uint16_t width, uint16_t height);
    // Destroys the window now (a host that does this before removed()).
    void DestroyWindow();
    bool Exists() const noexcept { return window != XCB_NONE; }

    // The windows directly inside window (default: the parent).
    std::vector<xcb_window_t> Children(xcb_window_t of = XCB_NONE);
    // Size of a window; false when it does not exist.
    bool Geometry(xcb_window_t of, int16_t& x, int16_t& y, uint16_t& width, uint16_t& height);
    // A window's pixels (x, y, w, h in its own pixels) as 32-bit BGRX, rows
    // from the top; empty when they cannot be read.
    std::vector<uint32_t> ReadPixels(xcb_window_t of, int16_t x, int16_t y, uint16_t w, uint16_t h);

    // XTest input at positions relative to window `of` (default: parent).
    void MovePointer(int16_t x, int16_t y, xcb_window_t of = XCB_NONE);
    void PressButton(uint8_t button);
    void ReleaseButton(uint8_t button);
    // The pointer's position relative to `of`.
    bool PointerPosition(int16_t& x, int16_t& y, xcb_window_t of = XCB_NONE);

    // Sets the root window's RESOURCE_MANAGER text (Xft.dpi and friends).
    void SetResources(const std::string& text);

private:
    X11HostWindow() = default;

    xcb_connection_t* connection = nullptr;
    xcb_window_t root = XCB_NONE;
    xcb_window_t window = XCB_NONE;
};

} // namespace vst3host
