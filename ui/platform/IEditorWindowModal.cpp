// The window's nested loops and waits on its own connection: a modal menu,
// box, drag or chooser keeps the editor repainting and its clipboard
// served while the editor's own input is held back; a wait for one answer
// from the server keeps every other event for the next turn.

#include "ui/platform/IEditorWindow.h"

#include "ui/platform/IEditorWindowSession.h"
#include "ui/platform/X11MessageBox.h"

#include <chrono>
#include <poll.h>

namespace ui {

using namespace x11;

namespace {

using Clock = std::chrono::steady_clock;

// How often a nested loop repaints the editor (and polls its choosers).
constexpr auto kModalTick = std::chrono::milliseconds(15);
// How long the server is given to report its time.
constexpr int32_t kServerTimeWaitMs = 200;

int32_t MillisecondsUntil(Clock::time_point when) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now()).count();
    return left > 0 ? static_cast<int32_t>(left) : 0;
}

} // namespace

bool IEditorWindow::RunModal(const EventHandler& handler, const std::function<bool()>& done,
                             int32_t timeoutMs, const std::function<void()>& tick) {
    if (!session || session->connectionLost)
        return false;
    ++modalDepth;
    const bool limited = timeoutMs >= 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limited ? timeoutMs : 0);
    auto nextTick = Clock::now();
    bool finished = false;
    while (session && !session->connectionLost) {
        if (done()) {
            finished = true;
            break;
        }
        xcb_connection_t* c = session->connection.Get();
        std::vector<XcbPtr<xcb_generic_event_t>> events;
        while (!session->deferred.empty()) {
            events.push_back(std::move(session->deferred.front()));
            session->deferred.pop_front();
        }
        while (xcb_generic_event_t* event = xcb_poll_for_event(c))
            events.emplace_back(event);
        if (xcb_connection_has_error(c) != 0) {
            session->connectionLost = true;
            session->window.MarkDestroyed();
            break;
        }
        for (const auto& event : events) {
            if (!session)
                break;
            if (handler && handler(*event))
                continue;
            HandleEvent(*event, true);
        }
        if (!session || done()) {
            finished = session != nullptr;
            break;
        }
        if (Clock::now() >= nextTick) {
            nextTick = Clock::now() + kModalTick;
            if (tick)
                tick();
            // The editor keeps showing its changes (and what the modal
            // windows uncover) while it waits.
            if (session->window.Exists() && CollectDirty())
                Paint();
        }
        if (limited && Clock::now() >= deadline)
            break;
        Flush();
        int32_t wait = MillisecondsUntil(nextTick);
        if (limited)
            wait = std::min(wait, MillisecondsUntil(deadline));
        pollfd fd{session->connection.Fd(), POLLIN, 0};
        poll(&fd, 1, std::max(wait, 1));
    }
    --modalDepth;
    Flush();
    return finished;
}

XcbPtr<xcb_generic_event_t> IEditorWindow::WaitForEvent(const EventMatch& match,
                                                        int32_t timeoutMs) {
    if (!session || session->connectionLost)
        return nullptr;
    xcb_connection_t* c = session->connection.Get();
    xcb_flush(c);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            XcbPtr<xcb_generic_event_t> owned(event);
            if (match(*owned))
                return owned;
            session->deferred.push_back(std::move(owned));
        }
        if (xcb_connection_has_error(c) != 0)
            return nullptr;
        const int32_t left = MillisecondsUntil(deadline);
        if (left == 0)
            return nullptr;
        pollfd fd{session->connection.Fd(), POLLIN, 0};
        poll(&fd, 1, left);
    }
}

uint32_t IEditorWindow::ServerTime() {
    if (!session || !session->window.Exists())
        return XCB_CURRENT_TIME;
    // Appending nothing to a property still reports its change, with the
    // server's time: the time selections are owned and asked for with.
    Session& s = *session;
    static const char kName[] = "LUMARO_TIME";
    auto atom = GetReply(s.connection.Get(),
                         xcb_intern_atom(s.connection.Get(), 0, sizeof(kName) - 1, kName),
                         xcb_intern_atom_reply);
    if (!atom)
        return s.lastEventTime;
    const xcb_window_t window = s.window.Id();
    const xcb_atom_t property = atom->atom;
    xcb_change_property(s.connection.Get(), XCB_PROP_MODE_APPEND, window, property, XCB_ATOM_STRING,
                        8, 0, nullptr);
    auto notify = WaitForEvent(
        [&](const xcb_generic_event_t& event) {
            if ((event.response_type & 0x7F) != XCB_PROPERTY_NOTIFY)
                return false;
            const auto& e = reinterpret_cast<const xcb_property_notify_event_t&>(event);
            return e.window == window && e.atom == property;
        },
        kServerTimeWaitMs);
    if (!notify)
        return s.lastEventTime;
    const auto& e = reinterpret_cast<const xcb_property_notify_event_t&>(*notify);
    s.lastEventTime = e.time;
    return e.time;
}

IKeyEvent IEditorWindow::TranslateKey(uint8_t keycode, uint16_t state) {
    if (!session)
        return {};
    session->keyboard.Setup(session->connection.Get());
    return session->keyboard.Translate(keycode, state);
}

uint32_t IEditorWindow::OwnerWindow() {
    if (session && session->window.Exists() && ownerWindow == 0)
        ownerWindow = FindOwnerWindow(session->connection, session->window.Id());
    return ownerWindow;
}

void IEditorWindow::InvalidateWholeWindow() {
    pendingRects.emplace_back(0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height));
}

bool IEditorWindow::WaitForChooser(uint32_t id) {
    if (!session)
        return false;
    const bool answered = RunModal(
        nullptr, [&] { return !session || session->dialogs.Finished(id); }, kChooserWaitLimitMs,
        [&] {
            if (session)
                session->dialogs.Poll();
        });
    if (!answered && session)
        session->dialogs.Cancel(id); // its answer must not run after we return
    return answered;
}

} // namespace ui
