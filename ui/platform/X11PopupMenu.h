#pragma once

#include "ui/platform/PopupMenuModel.h"
#include "ui/platform/SurfaceText.h"
#include "ui/platform/X11ModalLoop.h"
#include "ui/platform/X11SurfaceWindow.h"

#include <memory>
#include <vector>

namespace ui {
class WindowFonts;
}

namespace ui::x11 {

// A popup menu of the editor's connection: override-redirect windows above
// everything, one per open (sub)menu, drawn by the editor, holding the
// pointer and the keyboard while open. Pointer: hovering highlights and
// opens submenus, a click (or a press dragged onto an item and released)
// chooses, a press outside dismisses. Keys: Up and Down move, Right and
// Return open a submenu, Return and Space choose, Left and Escape close a
// level (Escape on the first dismisses). Greyed, disabled and separator
// rows cannot be chosen. [ui]
class X11PopupMenu {
public:
    // grabWindow: the editor's window, which holds pointer and keyboard
    // while the menu is open (grabbed before any menu window shows).
    X11PopupMenu(const XcbConnection& connection, xcb_window_t grabWindow, const WindowFonts& fonts,
                 const MenuLevel& root, float scale, KeyTranslator translate);
    ~X11PopupMenu();
    X11PopupMenu(const X11PopupMenu&) = delete;
    X11PopupMenu& operator=(const X11PopupMenu&) = delete;

    // Opens with its top-left corner at root pixel (x, y) (its bottom at
    // alternateY when it does not fit below) and runs until a choice or a
    // dismissal; the chosen command id, or -1 (also when the pointer could
    // not be grabbed).
    int32_t Run(int16_t x, int16_t y, int16_t alternateY, ModalLoop& loop);

    // The menu windows open now, first menu first (for tests and drawing).
    std::vector<xcb_window_t> Windows() const;

private:
    struct Open {
        const MenuLevel* level = nullptr;
        MenuGeometry geometry;
        std::unique_ptr<X11SurfaceWindow> window;
        int32_t highlighted = -1;
    };

    bool Grab();
    void Ungrab();
    void OpenLevel(const MenuLevel& level, int16_t x, int16_t y, int16_t alternateY);
    void OpenSubmenu(size_t depth, int32_t row, bool highlightFirst);
    void CloseDeeperThan(size_t depth);
    void Highlight(size_t depth, int32_t row);
    void Choose(size_t depth, int32_t row);
    void Draw(Open& open);
    bool Handle(const xcb_generic_event_t& event);
    void OnKey(const IKeyEvent& key);
    // The open level and row under a root pixel; depth -1 outside them all.
    std::pair<int32_t, int32_t> Hit(int16_t rootX, int16_t rootY) const;

    const XcbConnection& connection;
    xcb_window_t grabWindow;
    SurfaceFont font;
    const MenuLevel& root;
    MenuMetrics metrics;
    float scale;
    KeyTranslator translate;
    std::vector<Open> open;
    int32_t result = -1;
    bool finished = false;
    bool pressedInside = false;
    bool pointerEntered = false;
    bool grabbedPointer = false;
    bool grabbedKeyboard = false;
};

} // namespace ui::x11
