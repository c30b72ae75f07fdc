#pragma once

// Bridges the editor's menu record to the host's VST 3 context menu: the
// control's own items are appended to the host's menu with the control as
// their target. UI thread.

#include "ui/IPopupMenu.h"

#include "pluginterfaces/vst/ivstcontextmenu.h"

#include <cstddef>
#include <string_view>

namespace ui {

class IControl;

// [any] UTF-8 to NUL-terminated UTF-16 in capacity units (capacity >= 1).
// Malformed bytes become U+FFFD; the text is cut at a character boundary.
void Utf8ToUtf16(std::string_view utf8, char16_t* out, size_t capacity);

// [ui] Appends every item of menu (submenus as groups) to the host's menu,
// each with target as its IContextMenuTarget. An item's tag is its own tag
// when it has one (>= 0), else its index within its menu.
void AppendToHostMenu(Steinberg::Vst::IContextMenu& hostMenu, const IPopupMenu& menu,
                      IControl& target);

// [any] A view coordinate in pixels as the host's UCoord, within range.
Steinberg::UCoord ToHostCoordinate(float pixels);

} // namespace ui
