#include "ui/platform/IEditorWindow.h"

#include "ui/IGraphicalEditorDelegate.h"
#include "ui/platform/IEditorWindowSession.h"
#include "ui/platform/Resources.h"
#include "ui/platform/X11ScreenScale.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace ui {

using namespace x11;

namespace {

// The X protocol's largest window side.
constexpr int32_t kMaxWindowSide = 32767;

xcb_window_t WindowFromHandle(void* handle) {
    return static_cast<xcb_window_t>(reinterpret_cast<uintptr_t>(handle));
}

} // namespace

// Frame memory the server reads directly: the backend draws into the
// shared segment and the presenter sends it without a copy.
class IEditorWindow::SharedPixelMemory final : public PixelMemory {
public:
    SharedPixelMemory(std::unique_ptr<X11SharedSegment> segment, X11Presenter& presenter)
        : segment(std::move(segment)), presenter(presenter) {
        presenter.SetFrameSegment(this->segment.get());
    }
    ~SharedPixelMemory() override { presenter.SetFrameSegment(nullptr); }
    uint8_t* Data() override { return segment->Data(); }

private:
    std::unique_ptr<X11SharedSegment> segment;
    X11Presenter& presenter;
};

IEditorWindow::IEditorWindow(IGraphicalEditorDelegate& editorDelegate, int32_t w, int32_t h,
                             int32_t framesPerSecond, float scale)
    : IEditorDrawing(editorDelegate, w, h, framesPerSecond, scale) {}

IEditorWindow::~IEditorWindow() {
    CloseWindow();
}

void IEditorWindow::SetModuleInstance(const ResourceTable* table) {
    SetResourceTable(table);
    windowFonts.SetResourceTable(table);
}

LocatedResource IEditorWindow::LocateResource(const std::string& name,
                                              const std::string& extension) const {
    return ui::LocateResource(Resources(), name, extension);
}

std::unique_ptr<PlatformFont> IEditorWindow::LoadFontFromFileOrResource(const char* fontId,
                                                                        const char* name) {
    return windowFonts.LoadFontFromFileOrResource(fontId, name);
}

std::unique_ptr<PlatformFont>
IEditorWindow::LoadFontFromMemory(const char* fontId, const void* bytes, int32_t byteCount) {
    return windowFonts.LoadFontFromMemory(fontId, bytes, byteCount);
}

void IEditorWindow::CacheWindowFont(const char* fontId, const PlatformFont& font) {
    windowFonts.CacheWindowFont(fontId, font);
}

// ---- Opening and closing ----

float IEditorWindow::InitialScreenScale(const XcbConnection& connection) const {
    // The host's factor wins; Xft.dpi is the desktop's own setting.
    const float host = delegate.HostScreenScale();
    if (host > 0.0f)
        return host;
    if (!connection.IsOpen())
        return 1.0f;
    return ScreenScaleForDpi(ReadXftDpi(connection.Get(), connection.Screen()));
}

uint16_t IEditorWindow::TargetPixels(int32_t logical, float factor) const {
    // As the view size: the logical size at the zoom, truncated, then the
    // screen factor, truncated again.
    const double zoomed = std::trunc(static_cast<double>(logical) * drawScale);
    const double pixels = std::trunc(zoomed * factor);
    return static_cast<uint16_t>(std::clamp(pixels, 1.0, static_cast<double>(kMaxWindowSide)));
}

bool IEditorWindow::StartSession(Session& opened, xcb_window_t parent, int16_t x, int16_t y,
                                 uint16_t w, uint16_t h) {
    if (opened.runLoop == nullptr || parent == XCB_NONE || !opened.connection.IsOpen() ||
        !opened.window.Create(parent, x, y, w, h))
        return false;
    opened.Attach(*this);
    // Both callbacks do the same work; the timer alone must suffice, since
    // some hosts never signal the descriptor and some refuse a second
    // handler for a descriptor number they have seen before.
    if (!opened.runLoop->StartTimer(FrameTimerPeriodMs(fps), [this] { OnTimer(); }))
        return false;
    opened.runLoop->WatchDescriptor(opened.connection.Fd(), [this] { OnDescriptorReadable(); });
    return true;
}

void* IEditorWindow::OpenWindow(void* parentHandle) {
    int16_t x = 0;
    int16_t y = 0;
    uint16_t w = 0;
    uint16_t h = 0;
    const bool reopening = session != nullptr;
    if (reopening) {
        // Opened again into another parent: same place, same size.
        x = session->window.X();
        y = session->window.Y();
        w = session->window.Width();
        h = session->window.Height();
        CloseWindow();
    }

    auto opened = std::make_unique<Session>(delegate.GetEditorRunLoop());
    const float scale = InitialScreenScale(opened->connection);
    if (!reopening) {
        w = TargetPixels(width, scale);
        h = TargetPixels(height, scale);
    }
    if (StartSession(*opened, WindowFromHandle(parentHandle), x, y, w, h)) {
        session = std::move(opened);
        ownerWindow = 0; // found again in the new parent when a dialog needs it
    } else {
        if (opened->runLoop != nullptr) {
            opened->runLoop->StopTimer();
            opened->runLoop->StopWatchingDescriptor();
        }
        opened.reset();
    }

    // The drawing surface is made by the screen factor's rescale (the core
    // resizes it there), once, at the window's size.
    SetScreenScale(scale);
    LayoutControls();
    if (session && enableTooltips) {
        // No tooltip window on X11 yet: as when one cannot be made, the
        // core's tooltips are switched off.
        enableTooltips = false;
    }
    delegate.OnEditorOpened();
    if (session && session->pacer.PacedByFrames(NowMs()) && CollectDirty())
        RequestFrame(); // the first frame need not wait for the first tick
    Flush();
    return GetNativeWindow();
}

void IEditorWindow::CloseWindow() {
    if (!session)
        return;
    // The run loop lets go of both callbacks first, so that nothing reaches
    // a half-closed window (also when this runs inside one of them).
    session->runLoop->StopTimer();
    session->runLoop->StopWatchingDescriptor();
    if (pointerHidden || cursorLocked || pressedButtons != 0)
        PointerTakenAway();
    HidePointer(false, false);
    pressedButtons = 0;
    // An open field goes without an answer, a chooser's answer never comes.
    CloseTextField();
    session->dialogs.CancelAll();
    RemoveAllControls();
    tooltipShown = false;
    tooltipControl = -1;
    // Shared frame memory belongs to the connection: it goes first.
    ReleaseDrawingSurface();
    session.reset();
    pendingRects.clear();
    paintRects.clear();
    queuedTicks.clear();
    warpPending = false;
}

bool IEditorWindow::IsWindowOpen() const {
    return session != nullptr && session->window.Exists();
}

void* IEditorWindow::GetNativeWindow() const {
    if (!session || session->window.Id() == XCB_NONE)
        return nullptr;
    return reinterpret_cast<void*>(static_cast<uintptr_t>(session->window.Id()));
}

bool IEditorWindow::PresentsFromSharedMemory() const {
    return session && session->frameSegment != nullptr;
}

bool IEditorWindow::PacedByFrames() const {
    return session && session->pacer.PacedByFrames(NowMs());
}

std::unique_ptr<PixelMemory> IEditorWindow::AllocatePixelMemory(size_t bytes) {
    presentWholeFrame = true;
    if (session && session->presenter->UsesSharedMemory()) {
        session->presenter->WaitForServerRead();
        if (auto segment = X11SharedSegment::Create(session->connection, bytes)) {
            session->frameSegment = segment.get();
            return std::make_unique<SharedPixelMemory>(std::move(segment), *session->presenter);
        }
    }
    if (session)
        session->frameSegment = nullptr;
    return IEditorDrawing::AllocatePixelMemory(bytes);
}

// ---- Size ----

void IEditorWindow::ResizePlatformWindow(bool parentHasResized) {
    if (!session || !session->window.Exists())
        return;
    X11EmbedWindow& window = session->window;
    const uint16_t tw = TargetPixels(width, screenScale);
    const uint16_t th = TargetPixels(height, screenScale);
    const int32_t dw = tw - window.Width();
    const int32_t dh = th - window.Height();
    if (dw == 0 && dh == 0)
        return;

    // The host's windows around the editor, as far as they are children
    // themselves (two levels, like the editor's own parent chain on other
    // platforms): noted before anything changes.
    WindowGeometry parent;
    WindowGeometry grandParent;
    const bool resizeParents =
        !parentHasResized && QueryWindowGeometry(session->connection, window.Parent(), parent);
    const bool resizeGrandParent =
        resizeParents && parent.parent != parent.root &&
        QueryWindowGeometry(session->connection, parent.parent, grandParent);

    window.Resize(tw, th);
    const auto grow = [this](const WindowGeometry& g, int32_t byW, int32_t byH) {
        const uint32_t values[] = {
            static_cast<uint32_t>(std::clamp<int32_t>(g.width + byW, 1, kMaxWindowSide)),
            static_cast<uint32_t>(std::clamp<int32_t>(g.height + byH, 1, kMaxWindowSide))};
        xcb_configure_window(session->connection.Get(), g.window,
                             XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
    };
    if (resizeParents)
        grow(parent, dw, dh);
    if (resizeGrandParent)
        grow(grandParent, dw, dh);
    Flush();
}

// ---- Pointer ----

void IEditorWindow::PointerPosition(float& x, float& y) const {
    x = lastMouseX;
    y = lastMouseY;
    if (!session || !session->window.Exists())
        return;
    xcb_connection_t* c = session->connection.Get();
    auto pointer = GetReply(c, xcb_query_pointer(c, session->window.Id()), xcb_query_pointer_reply);
    if (!pointer)
        return;
    const float k = PixelScale();
    x = static_cast<float>(pointer->win_x) / k;
    y = static_cast<float>(pointer->win_y) / k;
}

void IEditorWindow::HidePointer(bool hide, bool lock) {
    if (hide == pointerHidden)
        return;
    if (hide) {
        savedCursorX = lastMouseX;
        savedCursorY = lastMouseY;
        pointerHidden = true;
        cursorLocked = lock;
        if (session) {
            session->pointer->Hide();
            if (lock)
                session->pointer->Grab();
        }
        return;
    }
    if (cursorLocked)
        WarpPointer(savedCursorX, savedCursorY);
    if (session) {
        session->pointer->Ungrab();
        session->pointer->Show();
    }
    pointerHidden = false;
    cursorLocked = false;
}

void IEditorWindow::WarpPointer(float x, float y) {
    if (!session || !session->window.Exists())
        return;
    const float k = PixelScale();
    const float px = std::round(x * k);
    const float py = std::round(y * k);
    if (!std::isfinite(px) || !std::isfinite(py) || std::abs(px) > kMaxWindowSide ||
        std::abs(py) > kMaxWindowSide)
        return;
    warpSequence = session->pointer->Warp(static_cast<int16_t>(px), static_cast<int16_t>(py));
    warpPending = true;
    // Motion the server reports from here on is measured from the target;
    // its own motion event there carries no movement.
    warpTargetX = px / k;
    warpTargetY = py / k;
    lastMouseX = savedCursorX = warpTargetX;
    lastMouseY = savedCursorY = warpTargetY;
}

CursorShape IEditorWindow::SetCursorShape(CursorShape shape) {
    const CursorShape previous = IEditorCore::SetCursorShape(shape);
    if (session)
        session->pointer->SetShape(shape);
    return previous;
}

} // namespace ui
