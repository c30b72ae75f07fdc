#pragma once

// What an open editor window holds on the X side. Private to the window's
// sources. Members are destroyed in reverse order: everything that sends
// requests goes before the window, and the window before the connection.

#include "ui/EditorRunLoop.h"
#include "ui/platform/DesktopDialogs.h"
#include "ui/platform/FramePacing.h"
#include "ui/platform/IEditorWindow.h"
#include "ui/platform/X11Clipboard.h"
#include "ui/platform/X11DropTarget.h"
#include "ui/platform/X11EmbedWindow.h"
#include "ui/platform/X11EventTranslation.h"
#include "ui/platform/X11FrameClock.h"
#include "ui/platform/X11Keyboard.h"
#include "ui/platform/X11Pointer.h"
#include "ui/platform/X11Presenter.h"
#include "ui/platform/X11TextField.h"
#include "ui/platform/XcbHandles.h"

#include <deque>
#include <memory>
#include <vector>

namespace ui {

struct IEditorWindow::Session {
    explicit Session(EditorRunLoop* loop) : runLoop(loop), window(connection) {}

    // [ui] The window exists: the pieces that work on it.
    void Attach(IEditorWindow& owner) {
        presenter = std::make_unique<x11::X11Presenter>(connection, window.Id(), window.Depth());
        clock = std::make_unique<x11::X11FrameClock>(connection, window.Id());
        pointer = std::make_unique<x11::X11Pointer>(connection, window.Id());
        dropTarget = std::make_unique<x11::X11DropTarget>(
            connection, window.Id(),
            [&owner](const std::vector<std::string>& paths, int32_t x, int32_t y) {
                const float k = owner.PixelScale();
                const float lx = static_cast<float>(x) / k;
                const float ly = static_cast<float>(y) / k;
                if (paths.size() == 1)
                    owner.OnDrop(paths[0].c_str(), lx, ly);
                else
                    owner.OnDropFiles(paths, lx, ly);
            });
        clipboard = std::make_unique<x11::X11Clipboard>(connection, window.Id());
        pacer = FramePacer(clock->IsAvailable());
        context.window = window.Id();
        context.root = connection.Screen()->root;
        context.presentOpcode = clock->MajorOpcode();
        context.presentEventId = clock->EventId();
        context.shmFirstEvent = presenter->ShmFirstEvent();
        // A change of the desktop's resources (Xft.dpi) is announced on the
        // root window.
        const uint32_t rootEvents = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(connection.Get(), context.root, XCB_CW_EVENT_MASK,
                                     &rootEvents);
    }

    EditorRunLoop* runLoop;
    x11::XcbConnection connection;
    x11::X11EmbedWindow window;
    std::unique_ptr<x11::X11Presenter> presenter;
    std::unique_ptr<x11::X11FrameClock> clock;
    std::unique_ptr<x11::X11Pointer> pointer;
    std::unique_ptr<x11::X11DropTarget> dropTarget;
    std::unique_ptr<x11::X11Clipboard> clipboard;
    std::unique_ptr<x11::X11TextField> textField;
    DesktopDialogs dialogs;
    x11::X11Keyboard keyboard;
    FramePacer pacer{false};
    x11::TranslationContext context;
    const x11::X11SharedSegment* frameSegment = nullptr;
    bool connectionLost = false;
    std::vector<x11::XcbPtr<xcb_generic_event_t>> batch;
    // Events read while waiting for a particular one, for the next turn.
    std::deque<x11::XcbPtr<xcb_generic_event_t>> deferred;
    uint32_t lastEventTime = 0; // the server time of the latest event seen
};

// The modal loop the window's menus, boxes and drags run in: the window's
// nested loop, with a tick of the caller's (a chooser's polling).
class IEditorWindow::Modal final : public x11::ModalLoop {
public:
    explicit Modal(IEditorWindow& owner, std::function<void()> tick = nullptr)
        : owner(owner), tick(std::move(tick)) {}
    bool Run(const Handler& handler, const std::function<bool()>& done,
             int32_t timeoutMs) override {
        return owner.RunModal(handler, done, timeoutMs, tick);
    }

private:
    IEditorWindow& owner;
    std::function<void()> tick;
};

} // namespace ui
