#include "ui/platform/X11Presenter.h"

#include <xcb/shm.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstring>

namespace ui::x11 {

namespace {

constexpr int32_t kBytesPerPixel = 4;
constexpr size_t kPutImageHeaderBytes = 24;
constexpr uint32_t kRedMask = 0xFF0000;
constexpr uint32_t kGreenMask = 0x00FF00;
constexpr uint32_t kBlueMask = 0x0000FF;
// The X protocol's limit on window and image sides.
constexpr int32_t kMaxSidePixels = 32767;

} // namespace

PixelRect ClipToImage(PixelRect rect, int32_t width, int32_t height) {
    const int32_t left = std::max(rect.x, 0);
    const int32_t top = std::max(rect.y, 0);
    const int64_t right = std::min<int64_t>(static_cast<int64_t>(rect.x) + rect.w, width);
    const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(rect.y) + rect.h, height);
    PixelRect clipped{left, top, 0, 0};
    if (rect.w > 0 && rect.h > 0 && right > left && bottom > top) {
        clipped.w = static_cast<int32_t>(right - left);
        clipped.h = static_cast<int32_t>(bottom - top);
    }
    return clipped;
}

int32_t RowsPerPutImage(int32_t w, size_t maxRequestBytes) {
    if (w <= 0 || maxRequestBytes <= kPutImageHeaderBytes)
        return 0;
    const size_t rowBytes = static_cast<size_t>(w) * kBytesPerPixel;
    const size_t rows = (maxRequestBytes - kPutImageHeaderBytes) / rowBytes;
    return static_cast<int32_t>(std::min<size_t>(rows, 0x7FFF));
}

bool IsNativePixelFormat(const xcb_setup_t& setup, const xcb_visualtype_t& visual, uint8_t depth) {
    if (depth != 24 && depth != 32)
        return false;
    if (setup.image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return false;
    if (visual._class != XCB_VISUAL_CLASS_TRUE_COLOR &&
        visual._class != XCB_VISUAL_CLASS_DIRECT_COLOR)
        return false;
    if (visual.red_mask != kRedMask || visual.green_mask != kGreenMask ||
        visual.blue_mask != kBlueMask)
        return false;
    xcb_format_iterator_t it = xcb_setup_pixmap_formats_iterator(&setup);
    for (; it.rem > 0; xcb_format_next(&it))
        if (it.data->depth == depth)
            return it.data->bits_per_pixel == 32;
    return false;
}

std::unique_ptr<X11SharedSegment> X11SharedSegment::Create(const XcbConnection& connection,
                                                           size_t bytes) {
    if (!connection.IsOpen() || bytes == 0)
        return nullptr;
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0)
        return nullptr;
    void* attached = shmat(id, nullptr, 0);
    if (attached == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return nullptr;
    }
    xcb_connection_t* c = connection.Get();
    const uint32_t serverId = connection.NewId();
    // The server must have attached before the segment is marked for
    // removal; a server on another machine refuses here. Read-only: the
    // server only ever reads frames.
    const bool ok =
        serverId != 0 &&
        CheckRequest(c, xcb_shm_attach_checked(c, serverId, static_cast<uint32_t>(id), 1));
    shmctl(id, IPC_RMID, nullptr);
    if (!ok) {
        shmdt(attached);
        return nullptr;
    }
    return std::unique_ptr<X11SharedSegment>(
        new X11SharedSegment(connection, static_cast<uint8_t*>(attached), bytes, serverId));
}

X11SharedSegment::~X11SharedSegment() {
    // The server reads through its own attachment: requests sent before the
    // detach are still served, so nothing needs waiting for here.
    if (connection.IsOpen())
        xcb_shm_detach(connection.Get(), serverId);
    shmdt(memory);
}

X11Presenter::X11Presenter(const XcbConnection& xcb, xcb_window_t target, uint8_t windowDepth,
                           bool allowSharedMemory)
    : connection(xcb), window(target), depth(windowDepth) {
    xcb_connection_t* c = connection.Get();
    gc = connection.NewId();
    if (gc != 0) {
        const uint32_t noExposures = 0;
        xcb_create_gc(c, gc, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    }
    if (!allowSharedMemory)
        return;
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_shm_id);
    if (extension == nullptr || extension->present == 0)
        return;
    auto version = GetReply(c, xcb_shm_query_version(c), xcb_shm_query_version_reply);
    if (!version)
        return;
    shmAvailable = true;
    shmFirstEvent = extension->first_event;
}

X11Presenter::~X11Presenter() {
    copySegment.reset();
    if (gc != 0 && connection.IsOpen())
        xcb_free_gc(connection.Get(), gc);
}

bool X11Presenter::EnsureCopySegment(size_t bytes) {
    if (copySegment && copySegment->Bytes() >= bytes)
        return true;
    WaitForServerRead();
    copySegment = X11SharedSegment::Create(connection, bytes);
    if (!copySegment)
        shmAvailable = false; // plain requests from now on
    return copySegment != nullptr;
}

void X11Presenter::WaitForServerRead() {
    if (!putInFlight || !connection.IsOpen())
        return;
    // The server reads shared memory while it runs the put request; any
    // reply to a later request proves that it has.
    xcb_connection_t* c = connection.Get();
    GetReply(c, xcb_get_input_focus(c), xcb_get_input_focus_reply);
    putInFlight = false;
}

bool X11Presenter::Present(const PixelView& image, std::span<const PixelRect> rects) {
    if (!connection.IsOpen() || gc == 0 || image.data == nullptr || image.width <= 0 ||
        image.height <= 0 || image.stride != image.width * kBytesPerPixel ||
        image.width > kMaxSidePixels || image.height > kMaxSidePixels)
        return false;
    const size_t bytes =
        static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * kBytesPerPixel;
    const X11SharedSegment* segment = nullptr;
    if (frameSegment != nullptr && image.data == frameSegment->Data() &&
        frameSegment->Bytes() >= bytes) {
        segment = frameSegment;
    } else if (shmAvailable && EnsureCopySegment(bytes)) {
        segment = copySegment.get();
        // Copy everything before the first put: the server may read a
        // rectangle while the next one is written.
        WaitForServerRead();
        for (const PixelRect& rect : rects) {
            const PixelRect r = ClipToImage(rect, image.width, image.height);
            for (int32_t row = 0; row < r.h; ++row) {
                const size_t offset =
                    static_cast<size_t>(r.y + row) * image.stride + r.x * kBytesPerPixel;
                std::memcpy(segment->Data() + offset, image.data + offset,
                            static_cast<size_t>(r.w) * kBytesPerPixel);
            }
        }
    }
    bool sent = false;
    for (const PixelRect& rect : rects) {
        const PixelRect r = ClipToImage(rect, image.width, image.height);
        if (r.w == 0 || r.h == 0)
            continue;
        if (segment != nullptr)
            PresentShared(*segment, image, r);
        else
            PresentBanded(image, r);
        sent = true;
    }
    return sent;
}

void X11Presenter::PresentShared(const X11SharedSegment& segment, const PixelView& image,
                                 const PixelRect& r) {
    xcb_shm_put_image(
        connection.Get(), window, gc, static_cast<uint16_t>(image.width),
        static_cast<uint16_t>(image.height), static_cast<uint16_t>(r.x), static_cast<uint16_t>(r.y),
        static_cast<uint16_t>(r.w), static_cast<uint16_t>(r.h), static_cast<int16_t>(r.x),
        static_cast<int16_t>(r.y), depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 1, segment.ServerId(), 0);
    putInFlight = true;
}

void X11Presenter::PresentBanded(const PixelView& image, const PixelRect& r) {
    const int32_t rowsPerBand = RowsPerPutImage(r.w, connection.MaximumRequestBytes());
    if (rowsPerBand <= 0)
        return; // a row wider than any request: nothing sensible to send
    const size_t rowBytes = static_cast<size_t>(r.w) * kBytesPerPixel;
    for (int32_t top = r.y; top < r.y + r.h; top += rowsPerBand) {
        const int32_t rows = std::min(rowsPerBand, r.y + r.h - top);
        band.resize(rowBytes * static_cast<size_t>(rows));
        for (int32_t row = 0; row < rows; ++row)
            std::memcpy(band.data() + static_cast<size_t>(row) * rowBytes,
                        image.data + static_cast<size_t>(top + row) * image.stride +
                            r.x * kBytesPerPixel,
                        rowBytes);
        xcb_put_image(connection.Get(), XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc,
                      static_cast<uint16_t>(r.w), static_cast<uint16_t>(rows),
                      static_cast<int16_t>(r.x), static_cast<int16_t>(top), 0, depth,
                      static_cast<uint32_t>(band.size()), band.data());
    }
}

} // namespace ui::x11
