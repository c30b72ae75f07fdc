#pragma once

// A popup menu's logic without a display: the rows an IPopupMenu shows
// (numbered texts, column breaks, flags, submenus), the command ids of the
// running numbering and the (sub)menu an id belongs to, the geometry of a
// menu window and keyboard navigation. The X11 menu (X11PopupMenu) draws
// and drives these.

#include "ui/EditorTypes.h"
#include "ui/IPopupMenu.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ui {

// Menus this long or longer never break into columns.
inline constexpr int32_t kMenuColumnItemLimit = 160;
// A numbered text is cut to this many characters.
inline constexpr size_t kNumberedTextLimit = 50;

// [any] The text shown for an item: with numbering 1, 2 or 3 the 1-based
// number in "%1d: ", "%02d: " or "%03d: " before it (cut to 50
// characters), otherwise the text itself. "&" is an ordinary character.
std::string MenuItemLabel(int32_t numbering, int32_t number, const std::string& text);

// [any] Whether a column starts at item index of a menu of itemCount items
// with a column count (0 or less: one column).
bool MenuColumnBreakBefore(int32_t itemCount, int32_t columns, int32_t index);

struct MenuRow {
    int32_t id = 0;        // command id of the running numbering
    int32_t itemIndex = 0; // index in its menu
    std::string label;
    int32_t flags = IPopupMenu::kNoFlags;
    bool columnBreak = false;

    bool IsSeparator() const { return (flags & IPopupMenu::kSeparator) != 0; }
    bool IsGreyed() const { return (flags & IPopupMenu::kGreyed) != 0; }
    bool IsChecked() const { return (flags & IPopupMenu::kChecked) != 0; }
    // Can be highlighted and chosen (or opened, for a submenu).
    bool IsSelectable() const {
        return (flags & (IPopupMenu::kSeparator | IPopupMenu::kGreyed | IPopupMenu::kDisabled)) ==
               0;
    }
};

// One menu as shown: its rows, and the submenu of each row (null where the
// row has none).
struct MenuLevel {
    IPopupMenu* menu = nullptr;
    std::vector<MenuRow> rows;
    std::vector<std::unique_ptr<MenuLevel>> submenus;

    bool HasSubmenu(int32_t row) const {
        return row >= 0 && row < static_cast<int32_t>(submenus.size()) && submenus[row] != nullptr;
    }
};

// [ui] The menu and its submenus with ids counted from 0: a menu's n items
// take the next n ids before any of its submenus is numbered, submenus in
// item order. Null for a menu without items (nothing to show).
std::unique_ptr<MenuLevel> BuildMenuLevels(IPopupMenu& menu);

// [ui] The (sub)menu that owns a command id, by the same numbering, and the
// item's index in it; null when no item that can be chosen has the id.
struct MenuItemRef {
    IPopupMenu* menu = nullptr;
    int32_t index = -1;
};
MenuItemRef FindMenuItem(IPopupMenu& menu, int32_t id);

// [ui] The choice of id made: the owning menu's chosenIndex is set and its
// selection function (if any) called with it; returns that menu, or null
// for an id no item has.
IPopupMenu* ChooseMenuItem(IPopupMenu& menu, int32_t id);

// Sizes of a menu window, in pixels.
struct MenuMetrics {
    float rowHeight = 22.0f;
    float separatorHeight = 9.0f;
    float leftMargin = 24.0f;  // the check mark's room
    float rightMargin = 24.0f; // the submenu arrow's room
    float border = 1.0f;
    float minColumnWidth = 80.0f;
};

struct MenuGeometry {
    std::vector<IRectangle> rows; // one per row, window pixels
    float width = 0.0f;
    float height = 0.0f;
};

// [any] Rows stacked top to bottom, a new column at each break, every
// column as wide as its widest label needs.
MenuGeometry LayOutMenu(const MenuLevel& level,
                        const std::function<float(const std::string&)>& labelWidth,
                        const MenuMetrics& metrics);

// [any] The row at a window pixel, or -1.
int32_t MenuRowAt(const MenuGeometry& geometry, float x, float y);

// [any] The next row that can be selected from `from` in direction +1 or
// -1, wrapping around; from -1 starts before the first (or after the last).
// -1 when no row can be selected.
int32_t NextSelectableRow(const MenuLevel& level, int32_t from, int32_t direction);

// [any] Where a window of size w x h goes so that it stays on a screen of
// sw x sh when placed at (x, y): flipped above alternateY when it does not
// fit below, moved left when it does not fit right.
struct MenuPlacement {
    int32_t x = 0;
    int32_t y = 0;
};
MenuPlacement PlaceMenu(int32_t x, int32_t y, int32_t alternateY, int32_t w, int32_t h, int32_t sw,
                        int32_t sh);

} // namespace ui
