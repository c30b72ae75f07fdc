#include "ui/platform/PopupMenuModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ui {

namespace {

// The first `limit` characters of UTF-8 text, never cutting one apart.
std::string FirstCharacters(const std::string& text, size_t limit) {
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;
        if (characters == limit)
            return text.substr(0, i);
        ++characters;
    }
    return text;
}

std::unique_ptr<MenuLevel> BuildLevel(IPopupMenu& menu, int32_t& counter) {
    auto level = std::make_unique<MenuLevel>();
    level->menu = &menu;
    const int32_t count = menu.ItemCount();
    const int32_t first = counter;
    counter += count;
    level->rows.reserve(static_cast<size_t>(count));
    level->submenus.resize(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        IPopupMenu::Item& item = *menu.ItemAt(i);
        MenuRow row;
        row.id = first + i;
        row.itemIndex = i;
        row.flags = item.flags;
        row.columnBreak = MenuColumnBreakBefore(count, menu.columns, i);
        if (!item.IsSeparator()) {
            row.label = MenuItemLabel(menu.numbering, i + 1, item.text);
            if (item.submenu)
                level->submenus[static_cast<size_t>(i)] = BuildLevel(*item.submenu, counter);
        }
        level->rows.push_back(std::move(row));
    }
    return level;
}

bool FindIn(IPopupMenu& menu, int32_t id, int32_t& counter, MenuItemRef& found) {
    const int32_t count = menu.ItemCount();
    const int32_t first = counter;
    counter += count;
    if (id >= first && id < first + count) {
        const IPopupMenu::Item& item = *menu.ItemAt(id - first);
        if (item.IsSeparator() || item.submenu)
            return false; // shows no command of its own
        found = MenuItemRef{&menu, id - first};
        return true;
    }
    for (int32_t i = 0; i < count; ++i) {
        IPopupMenu::Item& item = *menu.ItemAt(i);
        if (!item.IsSeparator() && item.submenu && FindIn(*item.submenu, id, counter, found))
            return true;
    }
    return false;
}

} // namespace

std::string MenuItemLabel(int32_t numbering, int32_t number, const std::string& text) {
    const char* format = nullptr;
    switch (numbering) {
    case IPopupMenu::kNumber1:
        format = "%1d: ";
        break;
    case IPopupMenu::kNumber2:
        format = "%02d: ";
        break;
    case IPopupMenu::kNumber3:
        format = "%03d: ";
        break;
    default:
        return text;
    }
    char prefix[24];
    std::snprintf(prefix, sizeof(prefix), format, number);
    return FirstCharacters(prefix + text, kNumberedTextLimit);
}

bool MenuColumnBreakBefore(int32_t itemCount, int32_t columns, int32_t index) {
    return itemCount < kMenuColumnItemLimit && columns > 0 && index > 0 && index % columns == 0;
}

std::unique_ptr<MenuLevel> BuildMenuLevels(IPopupMenu& menu) {
    if (menu.ItemCount() == 0)
        return nullptr;
    int32_t counter = 0;
    return BuildLevel(menu, counter);
}

MenuItemRef FindMenuItem(IPopupMenu& menu, int32_t id) {
    MenuItemRef found;
    int32_t counter = 0;
    if (id >= 0)
        FindIn(menu, id, counter, found);
    return found;
}

IPopupMenu* ChooseMenuItem(IPopupMenu& menu, int32_t id) {
    const MenuItemRef found = FindMenuItem(menu, id);
    if (found.menu == nullptr)
        return nullptr;
    found.menu->chosenIndex = found.index;
    if (found.menu->selectionFunction)
        found.menu->selectionFunction(*found.menu);
    return found.menu;
}

MenuGeometry LayOutMenu(const MenuLevel& level,
                        const std::function<float(const std::string&)>& labelWidth,
                        const MenuMetrics& metrics) {
    MenuGeometry geometry;
    geometry.rows.resize(level.rows.size());
    // Column by column: the rows' heights first, then the column's width.
    float x = metrics.border;
    size_t start = 0;
    while (start < level.rows.size()) {
        size_t end = start + 1;
        while (end < level.rows.size() && !level.rows[end].columnBreak)
            ++end;
        float width = metrics.minColumnWidth;
        float y = metrics.border;
        for (size_t i = start; i < end; ++i) {
            const MenuRow& row = level.rows[i];
            const float h = row.IsSeparator() ? metrics.separatorHeight : metrics.rowHeight;
            geometry.rows[i] = IRectangle(0.0f, y, 0.0f, y + h);
            y += h;
            if (!row.IsSeparator())
                width = std::max(width,
                                 metrics.leftMargin + labelWidth(row.label) + metrics.rightMargin);
        }
        width = std::ceil(width);
        for (size_t i = start; i < end; ++i) {
            geometry.rows[i].L = x;
            geometry.rows[i].R = x + width;
        }
        x += width;
        geometry.height = std::max(geometry.height, y + metrics.border);
        start = end;
    }
    geometry.width = x + metrics.border;
    return geometry;
}

int32_t MenuRowAt(const MenuGeometry& geometry, float x, float y) {
    for (size_t i = 0; i < geometry.rows.size(); ++i) {
        const IRectangle& r = geometry.rows[i];
        if (x >= r.L && x < r.R && y >= r.T && y < r.B)
            return static_cast<int32_t>(i);
    }
    return -1;
}

int32_t NextSelectableRow(const MenuLevel& level, int32_t from, int32_t direction) {
    const auto count = static_cast<int32_t>(level.rows.size());
    if (count == 0)
        return -1;
    direction = direction < 0 ? -1 : 1;
    int32_t row = from < 0 ? (direction > 0 ? -1 : count) : from;
    for (int32_t step = 0; step < count; ++step) {
        row = (row + direction + count) % count;
        if (level.rows[static_cast<size_t>(row)].IsSelectable())
            return row;
    }
    return -1;
}

MenuPlacement PlaceMenu(int32_t x, int32_t y, int32_t alternateY, int32_t w, int32_t h, int32_t sw,
                        int32_t sh) {
    MenuPlacement place{x, y};
    if (y + h > sh && alternateY - h >= 0)
        place.y = alternateY - h;
    else if (y + h > sh)
        place.y = std::max(0, sh - h);
    if (x + w > sw)
        place.x = std::max(0, sw - w);
    place.x = std::max(0, place.x);
    place.y = std::max(0, place.y);
    return place;
}

} // namespace ui
