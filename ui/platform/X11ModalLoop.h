#pragma once

#include "ui/EditorTypes.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>

namespace ui::x11 {

// The editor's connection served while a popup menu, a message box or a
// drag runs on the UI thread: every event is offered to the handler first;
// what it does not take goes on to the editor (repaints, clipboard
// requests), except the editor's own pointer and key input. [ui]
class ModalLoop {
public:
    using Handler = std::function<bool(const xcb_generic_event_t& event)>;

    virtual ~ModalLoop() = default;
    // Until done() (checked after every batch), timeoutMs (-1: no limit)
    // or a broken connection; true when done() ended it.
    virtual bool Run(const Handler& handler, const std::function<bool()>& done,
                     int32_t timeoutMs) = 0;
};

// Turns a key event's keycode and state into the editor's key record.
using KeyTranslator = std::function<IKeyEvent(xcb_keycode_t keycode, uint16_t state)>;

} // namespace ui::x11
