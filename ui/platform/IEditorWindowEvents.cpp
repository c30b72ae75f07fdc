// The open window's run-loop side: draining the connection, turning events
// into the core's pointer and key calls, and pacing and drawing frames.

#include "ui/platform/IEditorWindow.h"

#include "ui/IGraphicalEditorDelegate.h"
#include "ui/platform/IEditorWindowSession.h"
#include "ui/platform/X11ScreenScale.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace ui {

using namespace x11;
using Kind = WindowEvent::Kind;

namespace {

constexpr uint16_t ButtonBit(uint8_t button) {
    return static_cast<uint16_t>(1u << button);
}
constexpr uint16_t kDragButtons = ButtonBit(kButtonLeft) | ButtonBit(kButtonRight);

// Whether an event the server numbered eventSequence was sent after it had
// run the request numbered requestSequence (events carry the low 16 bits).
bool SentAfter(uint16_t eventSequence, uint32_t requestSequence) {
    return static_cast<int16_t>(eventSequence - static_cast<uint16_t>(requestSequence)) >= 0;
}

} // namespace

uint64_t IEditorWindow::NowMs() const {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

void IEditorWindow::Flush() {
    if (session && !session->connectionLost)
        xcb_flush(session->connection.Get());
}

// ---- Run-loop callbacks ----

void IEditorWindow::OnDescriptorReadable() {
    // Some hosts call this almost continuously: with nothing to read it is
    // one failed read and an empty flush.
    Drain(false);
    RunQueuedFrameTicks();
    Flush();
}

void IEditorWindow::OnTimer() {
    Drain(false);
    RunQueuedFrameTicks();
    if (!session || session->connectionLost || !session->window.Exists())
        return;
    // Choosers answer here; an answer may close the window.
    session->dialogs.Poll();
    if (!session)
        return;
    if (ServeTextEntry()) {
        Flush();
        return; // a served field ends the tick
    }
    if (session->textField)
        session->textField->Tick();
    ApplyPendingScreenScale();
    FramePacer& pacer = session->pacer;
    const uint64_t now = NowMs();
    if (!pacer.PacedByFrames(now)) {
        FrameTick(0); // the timer paces
    } else if (pacer.Waiting()) {
        if (pacer.CheckStall(now))
            FrameTick(0); // the display stopped answering: this frame, and a while, by timer
    } else if (CollectDirty()) {
        RequestFrame();
    }
    Flush();
}

void IEditorWindow::Drain(bool queuedOnly) {
    if (!session || session->connectionLost)
        return;
    xcb_connection_t* c = session->connection.Get();
    // Everything that is there, without blocking: events XCB has already
    // read do not make the descriptor readable again.
    std::vector<XcbPtr<xcb_generic_event_t>>& batch = session->batch;
    batch.clear();
    while (xcb_generic_event_t* event =
               queuedOnly ? xcb_poll_for_queued_event(c) : xcb_poll_for_event(c))
        batch.emplace_back(event);
    if (xcb_connection_has_error(c) != 0) {
        // The server went away. Nothing more is sent; the host's close
        // cleans up.
        session->connectionLost = true;
        session->window.MarkDestroyed();
        PointerTakenAway();
    }
    // Events put aside by a wait come first: they arrived before these.
    std::vector<XcbPtr<xcb_generic_event_t>> events;
    while (!session->deferred.empty()) {
        events.push_back(std::move(session->deferred.front()));
        session->deferred.pop_front();
    }
    for (auto& event : batch)
        events.push_back(std::move(event));
    batch.clear();
    for (const auto& event : events) {
        if (!session)
            return; // an event closed the window
        HandleEvent(*event, false);
    }
}

void IEditorWindow::HandleEvent(const xcb_generic_event_t& raw, bool underModal) {
    Session& s = *session;
    // Positions are divided by the scale of the moment.
    s.context.pixelScale = PixelScale();
    const WindowEvent event = TranslateEvent(raw, s.context);
    if (event.time != 0)
        s.lastEventTime = event.time;
    if (s.textField && s.textField->Handle(raw, entryState))
        return;
    if (underModal) {
        // A modal menu, box or drag has the user's attention: the editor
        // itself takes no input meanwhile.
        switch (event.kind) {
        case Kind::PointerMove:
        case Kind::ButtonPress:
        case Kind::ButtonRelease:
        case Kind::Wheel:
        case Kind::KeyPress:
        case Kind::KeyRelease:
        case Kind::PointerLeave:
            return;
        default:
            break;
        }
    }
    Dispatch(event);
}

void IEditorWindow::Dispatch(const WindowEvent& event) {
    Session& s = *session;
    if (s.dropTarget->Handle(event))
        return;
    switch (event.kind) {
    case Kind::PointerMove:
        OnPointerMove(event);
        break;
    case Kind::ButtonPress:
        OnButtonPress(event);
        break;
    case Kind::ButtonRelease:
        OnButtonRelease(event);
        break;
    case Kind::Wheel:
        if (event.synthetic)
            break;
        if (s.textField) {
            entryState.WheelTurned();
            break;
        }
        lastMouseX = event.pointer.x;
        lastMouseY = event.pointer.y;
        OnMouseWheel(event.pointer.x, event.pointer.y, event.pointer.modifiers, event.notches);
        break;
    case Kind::PointerLeave:
        // While a button is down the window keeps the pointer (an implicit
        // grab): leaving is reported after the release.
        if (pressedButtons == 0) {
            tooltipShown = false;
            OnMouseOut();
        }
        break;
    case Kind::GrabEnded:
        s.pointer->GrabLost();
        if (pressedButtons != 0 || pointerHidden)
            PointerTakenAway();
        break;
    case Kind::FocusLost:
    case Kind::Unmapped:
        PointerTakenAway();
        break;
    case Kind::Destroyed:
        // The host destroyed its window (and so ours) before closing the
        // editor: nothing is drawn or sent to it any more.
        s.window.MarkDestroyed();
        PointerTakenAway();
        break;
    case Kind::KeyPress:
    case Kind::KeyRelease:
        OnKey(event);
        break;
    case Kind::Expose: {
        // Drawn and shown again with the next frame.
        const float k = PixelScale();
        const IRectangle& p = event.pixels;
        pendingRects.emplace_back(p.L / k, p.T / k, p.R / k, p.B / k);
        break;
    }
    case Kind::Configure:
        s.window.SizeChanged(static_cast<uint16_t>(event.pixels.R),
                             static_cast<uint16_t>(event.pixels.B));
        break;
    case Kind::FrameComplete:
        if (s.pacer.Complete(event.serial))
            queuedTicks.push_back(tickGate.Post());
        break;
    case Kind::ShmCompletion:
        s.presenter->OnCompletion();
        break;
    case Kind::PropertyChange:
        if (event.window == s.context.root && event.atom == XCB_ATOM_RESOURCE_MANAGER)
            OnResourcesChanged();
        break;
    case Kind::SelectionRequest:
    case Kind::SelectionClear:
        s.clipboard->Handle(event);
        break;
    default:
        break;
    }
}

// ---- Frames ----

void IEditorWindow::RunQueuedFrameTicks() {
    while (session && !queuedTicks.empty()) {
        const uint32_t n = queuedTicks.front();
        queuedTicks.pop_front();
        FrameTick(n);
    }
}

void IEditorWindow::FrameTick(uint32_t n) {
    if (!session || session->connectionLost || !session->window.Exists())
        return;
    if (n != 0 && !tickGate.Admit(n))
        return;
    if (ServeTextEntry())
        return;
    ApplyPendingScreenScale();
    CollectDirty();
    if (pendingRects.empty())
        return;
    Paint();
    if (session->textField)
        entryState.PaintedAround();
    if (n != 0) {
        // Frames that arrived while this one painted are skipped.
        Drain(true);
        tickGate.AfterPaint(n);
    }
    // Keep following the display while things change; the next frame that
    // finds nothing dirty ends it.
    if (session && session->pacer.PacedByFrames(NowMs()) && !session->pacer.Waiting())
        RequestFrame();
}

void IEditorWindow::ApplyPendingScreenScale() {
    // A new desktop factor is taken up between drags.
    if (pendingScreenScale <= 0.0f || pressedButtons != 0)
        return;
    const float scale = pendingScreenScale;
    pendingScreenScale = 0.0f;
    if (scale != screenScale)
        SetScreenScale(scale);
}

bool IEditorWindow::CollectDirty() {
    std::vector<IRectangle> rects;
    if (!IsDirty(rects))
        return !pendingRects.empty();
    MarkAllControlsClean();
    pendingRects.insert(pendingRects.end(), rects.begin(), rects.end());
    return true;
}

void IEditorWindow::Paint() {
    Session& s = *session;
    // The backend draws into memory the server may still be reading.
    s.presenter->WaitForServerRead();
    // Whole pixels, as the window invalidates them, then back to logical
    // units for drawing.
    const float k = PixelScale();
    paintRects.clear();
    for (const IRectangle& r : pendingRects) {
        const float left = std::floor(r.L * k);
        const float top = std::floor(r.T * k);
        const float right = std::ceil(r.R * k);
        const float bottom = std::ceil(r.B * k);
        if (right <= left || bottom <= top)
            continue;
        paintRects.emplace_back(std::floor(left / k), std::floor(top / k), std::ceil(right / k),
                                std::ceil(bottom / k));
    }
    pendingRects.clear();
    if (paintRects.empty())
        return;
    Draw(paintRects); // ends with EndFrame, which presents
    ++framesDrawn;
}

void IEditorWindow::PresentFrame() {
    if (!session || session->connectionLost || !session->window.Exists())
        return;
    const FrameBufferView frame = FrameBuffer();
    if (frame.pixels == nullptr)
        return;
    const float k = PixelScale();
    std::vector<PixelRect> rects;
    if (presentWholeFrame) {
        // A new buffer: everything in the window is stale.
        rects.push_back(PixelRect{0, 0, frame.width, frame.height});
        presentWholeFrame = false;
    } else {
        for (const IRectangle& r : paintRects) {
            const int32_t left = static_cast<int32_t>(std::floor(r.L * k));
            const int32_t top = static_cast<int32_t>(std::floor(r.T * k));
            rects.push_back(PixelRect{left, top, static_cast<int32_t>(std::ceil(r.R * k)) - left,
                                      static_cast<int32_t>(std::ceil(r.B * k)) - top});
        }
    }
    const PixelView view{frame.pixels, frame.width, frame.height, frame.stride};
    if (session->presenter->Present(view, rects))
        rectanglesSent += static_cast<uint32_t>(rects.size());
}

void IEditorWindow::RequestFrame() {
    Session& s = *session;
    s.clock->RequestNextFrame(s.pacer.Request(NowMs()));
}

void IEditorWindow::OnResourcesChanged() {
    if (delegate.HostScreenScale() > 0.0f || !session)
        return; // the host's factor wins
    const float scale =
        ScreenScaleForDpi(ReadXftDpi(session->connection.Get(), session->connection.Screen()));
    if (scale != screenScale)
        pendingScreenScale = scale;
}

// ---- Pointer ----

void IEditorWindow::OnPointerMove(const WindowEvent& event) {
    if (event.synthetic)
        return;
    const IPointerEvent& p = event.pointer;
    if ((pressedButtons & kDragButtons) == 0) {
        lastMouseX = p.x;
        lastMouseY = p.y;
        OnMouseOver(p.x, p.y, p.modifiers);
        if (enableTooltips && MouseOverIndex() != tooltipControl) {
            tooltipControl = MouseOverIndex();
            tooltipShown = false;
        }
        return;
    }
    if (inTextEntry != nullptr)
        return;
    if (warpPending && SentAfter(event.sequence, warpSequence)) {
        // The pointer is where the warp put it: measure from there.
        warpPending = false;
        motionOriginX = warpTargetX;
        motionOriginY = warpTargetY;
    }
    IPointerEvent drag = p;
    drag.dX = p.x - motionOriginX;
    drag.dY = p.y - motionOriginY;
    motionOriginX = p.x;
    motionOriginY = p.y;
    lastMouseX = p.x;
    lastMouseY = p.y;
    if (drag.dX == 0.0f && drag.dY == 0.0f)
        return; // the warp's own motion, for one
    OnMouseDrag(std::span(&drag, 1));
    // Put the pointer back where the drag began (once per warp: moves the
    // server reports from before it are counted, not warped again).
    if (cursorLocked && !warpPending)
        WarpPointer(savedCursorX, savedCursorY);
}

void IEditorWindow::OnButtonPress(const WindowEvent& event) {
    if (event.synthetic || event.button > kButtonRight)
        return;
    tooltipShown = false;
    if (session->textField) {
        // A press beside the field ends it (on the next tick) and goes no
        // further; the middle button only ends a field that lost the focus.
        if (event.button != kButtonMiddle || entryState.State() != TextEntryState::kFocused)
            entryState.EditorPressed();
        return;
    }
    const IPointerEvent& p = event.pointer;
    lastMouseX = motionOriginX = p.x;
    lastMouseY = motionOriginY = p.y;
    warpPending = false;
    // The press grabs the pointer for the window until the last release
    // (the server's implicit grab): the window holds the capture.
    pressedButtons |= ButtonBit(event.button);
    const float k = PixelScale();
    const bool isDouble =
        event.button != kButtonMiddle &&
        doubleClicks.Press(event.button, event.time, static_cast<int32_t>(std::lround(p.x * k)),
                           static_cast<int32_t>(std::lround(p.y * k)));
    if (isDouble) {
        OnMouseDoubleClick(p.x, p.y, p.modifiers);
        return;
    }
    OnMouseDown(std::span(&p, 1));
}

void IEditorWindow::OnButtonRelease(const WindowEvent& event) {
    if (event.synthetic)
        return;
    const uint16_t bit = ButtonBit(event.button);
    if ((pressedButtons & bit) == 0)
        return; // pressed elsewhere, or already given up
    pressedButtons &= static_cast<uint16_t>(~bit);
    if (event.button == kButtonMiddle)
        return; // its release means nothing to the controls
    lastMouseX = event.pointer.x;
    lastMouseY = event.pointer.y;
    OnMouseUp(std::span(&event.pointer, 1));
}

void IEditorWindow::PointerTakenAway() {
    // Another client, an unmap or the focus going took the pointer mid-drag:
    // the controls let go (the host's gestures are closed) and a hidden
    // pointer shows again where it was.
    pressedButtons = 0;
    warpPending = false;
    doubleClicks.Reset();
    ReleaseMouseCapture();
    HidePointer(false, false);
    cursorHidden = false;
}

// ---- Keys (only while the editor holds the keyboard focus) ----

void IEditorWindow::OnKey(const WindowEvent& event) {
    if (event.synthetic)
        return;
    Session& s = *session;
    s.keyboard.Setup(s.connection.Get());
    const IKeyEvent key = s.keyboard.Translate(event.keycode, event.keyState);
    const bool handled = event.kind == Kind::KeyPress
                             ? OnKeyDown(event.pointer.x, event.pointer.y, key)
                             : OnKeyUp(event.pointer.x, event.pointer.y, key);
    if (!handled)
        ForwardKeyToParent(event);
}

void IEditorWindow::ForwardKeyToParent(const WindowEvent& event) {
    // An unhandled key goes on to the host's window, as if the editor had
    // never had the focus.
    Session& s = *session;
    xcb_key_press_event_t key{};
    key.response_type = event.kind == Kind::KeyPress ? XCB_KEY_PRESS : XCB_KEY_RELEASE;
    key.detail = event.keycode;
    key.time = event.time;
    key.root = s.context.root;
    key.event = s.window.Parent();
    key.child = XCB_NONE;
    key.state = event.keyState;
    key.same_screen = 1;
    xcb_send_event(s.connection.Get(), 1, s.window.Parent(),
                   key.response_type == XCB_KEY_PRESS ? XCB_EVENT_MASK_KEY_PRESS
                                                      : XCB_EVENT_MASK_KEY_RELEASE,
                   reinterpret_cast<const char*>(&key));
}

} // namespace ui
