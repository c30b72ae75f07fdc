#pragma once

#include "ui/platform/XcbHandles.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace ui::x11 {

// A rectangle of window pixels: [x, x + w) x [y, y + h).
struct PixelRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t w = 0;
    int32_t h = 0;
    bool operator==(const PixelRect&) const = default;
};

// 32-bit pixels, blue, green, red, alpha in memory, premultiplied, rows from
// the top: the drawing backend's frame buffer.
struct PixelView {
    const uint8_t* data = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0; // bytes per row
};

// [any] rect cut to [0, width) x [0, height); w or h 0 when nothing is left.
PixelRect ClipToImage(PixelRect rect, int32_t width, int32_t height);

// [any] How many rows of a w-pixel-wide band fit into one PutImage request
// of at most maxRequestBytes (its 24-byte header included); 0 when not one.
int32_t RowsPerPutImage(int32_t w, size_t maxRequestBytes);

// [any] Whether the server takes these pixels as they are for the window:
// a depth-24 or depth-32 true-colour visual with red, green and blue in
// bytes 2, 1, 0 of a 32-bit pixel stored least significant byte first.
bool IsNativePixelFormat(const xcb_setup_t& setup, const xcb_visualtype_t& visual, uint8_t depth);

// A System V shared-memory segment attached by this process and by the X
// server. It is marked for removal as soon as both sides have attached it,
// so it cannot outlive the process. [ui]
class X11SharedSegment {
public:
    // Null when the server cannot attach it (a server on another machine).
    static std::unique_ptr<X11SharedSegment> Create(const XcbConnection& connection, size_t bytes);
    // Detaches both sides (the server's only while the connection is open).
    ~X11SharedSegment();
    X11SharedSegment(const X11SharedSegment&) = delete;
    X11SharedSegment& operator=(const X11SharedSegment&) = delete;

    uint8_t* Data() const noexcept { return memory; }
    size_t Bytes() const noexcept { return bytes; }
    uint32_t ServerId() const noexcept { return serverId; }

private:
    X11SharedSegment(const XcbConnection& connection, uint8_t* memory, size_t bytes,
                     uint32_t serverId)
        : connection(connection), memory(memory), bytes(bytes), serverId(serverId) {}

    const XcbConnection& connection;
    uint8_t* memory;
    size_t bytes;
    uint32_t serverId;
};

// Shows parts of a pixel buffer in a window. Through MIT-SHM when the server
// offers it on this machine: the dirty rectangles are copied into a shared
// segment and the server reads them from there. Otherwise through plain
// PutImage requests, cut into bands that fit the server's request limit.
// A buffer that already lives in a shared segment (the window hands the
// drawing backend one) is sent without a copy. [ui]
class X11Presenter {
public:
    X11Presenter(const XcbConnection& connection, xcb_window_t window, uint8_t depth,
                 bool allowSharedMemory = true);
    ~X11Presenter();
    X11Presenter(const X11Presenter&) = delete;
    X11Presenter& operator=(const X11Presenter&) = delete;

    // [ui] Sends the rectangles of image to the same place in the window.
    // False when nothing could be sent (no window, empty or oversized image).
    bool Present(const PixelView& image, std::span<const PixelRect> rects);
    // [ui] The server finished reading shared memory (a completion event).
    void OnCompletion() noexcept { putInFlight = false; }
    // [ui] Returns once the server has read everything sent so far: before
    // shared memory is written again.
    void WaitForServerRead();
    // [ui] The segment the frame buffer lives in, or null; not owned, and
    // cleared before it goes.
    void SetFrameSegment(const X11SharedSegment* segment) noexcept { frameSegment = segment; }

    bool UsesSharedMemory() const noexcept { return shmAvailable; }
    // The MIT-SHM first event number, for recognising completions; 0 without.
    uint8_t ShmFirstEvent() const noexcept { return shmFirstEvent; }
    // Bytes of the segment frames are copied into (0 without one).
    size_t CopySegmentBytes() const noexcept { return copySegment ? copySegment->Bytes() : 0; }

private:
    bool EnsureCopySegment(size_t bytes);
    void PresentShared(const X11SharedSegment& segment, const PixelView& image,
                       const PixelRect& rect);
    void PresentBanded(const PixelView& image, const PixelRect& rect);

    const XcbConnection& connection;
    xcb_window_t window;
    uint8_t depth;
    xcb_gcontext_t gc = 0;
    bool shmAvailable = false;
    uint8_t shmFirstEvent = 0;
    std::unique_ptr<X11SharedSegment> copySegment;
    const X11SharedSegment* frameSegment = nullptr;
    bool putInFlight = false;
    std::vector<uint8_t> band; // rows of one PutImage request
};

} // namespace ui::x11
