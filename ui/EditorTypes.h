#pragma once

#include <cstdint>

namespace ui {

// A key press or release as the editor sees it.
struct IKeyEvent {
    int32_t virtualKey = 0; // platform-neutral virtual key code
    char utf8[8] = {};      // the key's text, NUL-terminated
    bool shift = false;
    bool control = false;
    bool alt = false;
};

} // namespace ui
