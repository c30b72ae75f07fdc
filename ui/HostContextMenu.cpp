#include "ui/HostContextMenu.h"

#include "ui/IControl.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ui {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// One code point from the front of text; malformed input gives U+FFFD and
// consumes one byte.
char32_t NextCodePoint(std::string_view& text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    size_t length = 1;
    char32_t cp = lead;
    if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07u;
    } else if (lead >= 0xE0) {
        length = lead <= 0xEF ? 3 : 0;
        cp = lead & 0x0Fu;
    } else if (lead >= 0xC2) {
        length = 2;
        cp = lead & 0x1Fu;
    } else if (lead >= 0x80) {
        length = 0;
    }
    if (length == 0 || length > text.size()) {
        text.remove_prefix(1);
        return kReplacement;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0u) != 0x80u) {
            text.remove_prefix(1);
            return kReplacement;
        }
        cp = (cp << 6) | (byte(i) & 0x3Fu);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
    if (overlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
        text.remove_prefix(1);
        return kReplacement;
    }
    text.remove_prefix(length);
    return cp;
}

void AppendItems(Steinberg::Vst::IContextMenu& hostMenu, const IPopupMenu& menu, IControl& target) {
    using HostItem = Steinberg::Vst::IContextMenuItem;
    for (int32_t index = 0; index < menu.ItemCount(); ++index) {
        const IPopupMenu::Item& item = *menu.ItemAt(index);
        HostItem hostItem{};
        Utf8ToUtf16(item.text, reinterpret_cast<char16_t*>(hostItem.name),
                    sizeof hostItem.name / sizeof hostItem.name[0]);
        hostItem.tag = item.tag >= 0 ? item.tag : index;
        if (item.IsSeparator())
            hostItem.flags = HostItem::kIsSeparator;
        else if (!item.IsEnabled())
            hostItem.flags = HostItem::kIsDisabled;
        if (item.IsChecked())
            hostItem.flags |= HostItem::kIsChecked;
        if (item.submenu != nullptr) {
            hostItem.flags |= HostItem::kIsGroupStart;
            hostMenu.addItem(hostItem, &target);
            AppendItems(hostMenu, *item.submenu, target);
            HostItem end{};
            end.tag = hostItem.tag;
            end.flags = HostItem::kIsGroupEnd;
            hostMenu.addItem(end, &target);
            continue;
        }
        hostMenu.addItem(hostItem, &target);
    }
}

} // namespace

void Utf8ToUtf16(std::string_view utf8, char16_t* out, size_t capacity) {
    if (out == nullptr || capacity == 0)
        return;
    size_t used = 0;
    while (!utf8.empty()) {
        const char32_t cp = NextCodePoint(utf8);
        const size_t units = cp >= 0x10000 ? 2 : 1;
        if (used + units + 1 > capacity)
            break;
        if (units == 2) {
            out[used++] = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out[used++] = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out[used++] = static_cast<char16_t>(cp);
        }
    }
    out[used] = u'\0';
}

void AppendToHostMenu(Steinberg::Vst::IContextMenu& hostMenu, const IPopupMenu& menu,
                      IControl& target) {
    AppendItems(hostMenu, menu, target);
}

Steinberg::UCoord ToHostCoordinate(float pixels) {
    if (!std::isfinite(pixels))
        return 0;
    constexpr float kMost = static_cast<float>(std::numeric_limits<int32_t>::max() / 2);
    return static_cast<Steinberg::UCoord>(std::clamp(pixels, -kMost, kMost));
}

} // namespace ui
