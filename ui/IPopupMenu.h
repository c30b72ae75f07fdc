#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ui {

// The editor's menu record: what a control offers in a host context menu,
// and what the window host shows as a popup menu (value prompts, controls
// of later plug-ins). UI thread only.
class IPopupMenu {
public:
    enum ItemFlags : int32_t {
        kNoFlags = 0,
        kGreyed = 1 << 0,
        kDisabled = 1 << 1, // not selectable, not greyed
        kChecked = 1 << 2,
        kSeparator = 1 << 3,
    };
    // Item numbering shown in front of each text.
    enum Numbering : int32_t { kNumberNone = 0, kNumber1 = 1, kNumber2 = 2, kNumber3 = 3 };

    struct Item {
        std::string text;
        int32_t flags = kNoFlags;
        int32_t tag = -1;
        std::unique_ptr<IPopupMenu> submenu;

        bool IsSeparator() const { return (flags & kSeparator) != 0; }
        bool IsEnabled() const { return (flags & (kGreyed | kDisabled | kSeparator)) == 0; }
        bool IsChecked() const { return (flags & kChecked) != 0; }
    };

    using SelectionFunction = std::function<void(IPopupMenu&)>;

    IPopupMenu() = default;
    IPopupMenu(const IPopupMenu&) = delete;
    IPopupMenu& operator=(const IPopupMenu&) = delete;

    Item& AddItem(std::string text, int32_t flags = kNoFlags, int32_t tag = -1) {
        items.push_back(Item{std::move(text), flags, tag, nullptr});
        return items.back();
    }
    Item& AddSubmenu(std::string text, std::unique_ptr<IPopupMenu> submenu,
                     int32_t flags = kNoFlags) {
        items.push_back(Item{std::move(text), flags, -1, std::move(submenu)});
        return items.back();
    }
    Item& AddSeparator() { return AddItem("", kSeparator); }
    void Clear() {
        items.clear();
        chosenIndex = -1;
    }

    int32_t ItemCount() const { return static_cast<int32_t>(items.size()); }
    Item* ItemAt(int32_t index) {
        return index >= 0 && index < ItemCount() ? &items[static_cast<size_t>(index)] : nullptr;
    }
    const Item* ItemAt(int32_t index) const {
        return index >= 0 && index < ItemCount() ? &items[static_cast<size_t>(index)] : nullptr;
    }
    std::vector<Item>& Items() { return items; }
    const std::vector<Item>& Items() const { return items; }

    // 0 or less means one column.
    int32_t columns = 0;
    int32_t numbering = kNumberNone;
    // Written when an item of this menu is chosen; -1 before.
    int32_t chosenIndex = -1;
    SelectionFunction selectionFunction;

private:
    std::vector<Item> items;
};

} // namespace ui
