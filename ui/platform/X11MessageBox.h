#pragma once

#include "ui/platform/MessageBoxModel.h"
#include "ui/platform/SurfaceText.h"
#include "ui/platform/X11ModalLoop.h"
#include "ui/platform/X11SurfaceWindow.h"

#include <memory>
#include <string>
#include <vector>

namespace ui {
class WindowFonts;
}

namespace ui::x11 {

// [ui] The top-level window a dialog of the editor window belongs to: the
// highest ancestor a window manager manages (with WM_STATE), else the child
// of the root the editor sits in; XCB_NONE when the window is gone.
xcb_window_t FindOwnerWindow(const XcbConnection& connection, xcb_window_t window);

// A message box drawn by the editor: a top-level dialog window, transient
// for the owner and centred over it, with the caption as its title, the
// wrapped text and the buttons of its type. Modal: Run serves the
// connection until a button is clicked (or Return, Space, Escape or the
// window manager's close answers). Tab and the arrows move between buttons.
// [ui]
class X11MessageBox {
public:
    X11MessageBox(const XcbConnection& connection, const WindowFonts& fonts,
                  const std::string& text, const std::string& caption, int32_t type,
                  xcb_window_t owner, float scale, KeyTranslator translate);
    X11MessageBox(const X11MessageBox&) = delete;
    X11MessageBox& operator=(const X11MessageBox&) = delete;

    bool Exists() const noexcept { return window && window->Exists(); }
    xcb_window_t Id() const noexcept { return window ? window->Id() : XCB_NONE; }
    // The answer; the dismissal answer when the loop ends without one.
    int32_t Run(ModalLoop& loop);

private:
    void SetWindowProperties(const std::string& caption, xcb_window_t owner);
    void Draw();
    bool Handle(const xcb_generic_event_t& event);
    void Answer(int32_t answer);

    const XcbConnection& connection;
    SurfaceFont font;
    MessageBoxChoices choices;
    MessageBoxMetrics metrics;
    MessageBoxLayout layout;
    std::vector<std::string> lines;
    float scale;
    KeyTranslator translate;
    std::unique_ptr<X11SurfaceWindow> window;
    xcb_atom_t protocolsAtom = XCB_ATOM_NONE;
    xcb_atom_t deleteAtom = XCB_ATOM_NONE;
    size_t focusedButton = 0;
    int32_t pressedButton = -1;
    int32_t answer = kAnswerNone;
    bool answered = false;
    bool focusTaken = false;
};

} // namespace ui::x11
