#pragma once

// X events as the editor window sees them: one pure function turns an event
// from the server into a plain record, with positions already in logical
// units. Side effects (grabs, warps, presenting, replies to other clients)
// stay with the window; this file only reads bytes.

#include "ui/EditorTypes.h"

#include <xcb/xcb.h>

#include <array>
#include <cstdint>

namespace ui::x11 {

// Pointer buttons as X numbers them.
enum : uint8_t {
    kButtonLeft = 1,
    kButtonMiddle = 2,
    kButtonRight = 3,
    kButtonWheelUp = 4,
    kButtonWheelDown = 5,
    kButtonWheelLeft = 6,
    kButtonWheelRight = 7,
};

struct WindowEvent {
    enum class Kind {
        None,             // not for the window, or nothing to do
        PointerMove,      // pointer
        ButtonPress,      // pointer, button (1 left, 2 middle, 3 right)
        ButtonRelease,    // pointer, button
        Wheel,            // pointer, notches
        PointerLeave,     // the pointer left the window
        GrabEnded,        // a pointer grab ended without a button release
        FocusLost,        // the window lost the keyboard focus
        FocusGained,      // the window received the keyboard focus
        KeyPress,         // pointer (position), keycode, keyState
        KeyRelease,       // likewise
        Expose,           // pixels: the area to show again
        Configure,        // pixels: the window's new size at (0, 0)
        Unmapped,         // the window is no longer shown
        Destroyed,        // the window no longer exists (its parent went)
        FrameComplete,    // a frame notify arrived: serial, msc
        ShmCompletion,    // the server finished reading shared memory
        PropertyChange,   // atom, on window (ours or the root)
        ClientMessage,    // atom (message type), data
        SelectionReady,   // atom (the property holding the data, or none), selection, target
        SelectionRequest, // requestor, selection, target, property, time: for an owner
        SelectionClear,   // selection, time: another client owns it now
        Error,            // errorCode, majorOpcode
    };

    Kind kind = Kind::None;
    IPointerEvent pointer; // logical units; dX, dY are 0
    int16_t rootX = 0;     // pointer events: the position on the screen, pixels
    int16_t rootY = 0;
    uint8_t button = 0;   // presses and releases
    float notches = 0.0f; // wheel: +1 up or right, -1 down or left
    xcb_timestamp_t time = 0;
    uint16_t sequence = 0;  // the server's sequence number when it was sent
    bool synthetic = false; // sent by another client (SendEvent)
    IRectangle pixels;      // expose and configure, window pixels
    xcb_keycode_t keycode = 0;
    uint16_t keyState = 0; // the X modifier state of a key event
    uint32_t serial = 0;   // frame notify
    uint64_t msc = 0;      // frame notify: the server's frame counter
    xcb_window_t window = XCB_NONE;
    xcb_atom_t atom = XCB_ATOM_NONE;
    std::array<uint32_t, 5> data{}; // client message, 32-bit format
    bool propertyDeleted = false;   // property change: deleted rather than set
    xcb_window_t requestor = XCB_NONE;
    xcb_atom_t selection = XCB_ATOM_NONE;
    xcb_atom_t target = XCB_ATOM_NONE;
    xcb_atom_t property = XCB_ATOM_NONE;
    uint8_t errorCode = 0;
    uint8_t majorOpcode = 0;
};

// What the translation needs to know about the window and the connection.
struct TranslationContext {
    xcb_window_t window = XCB_NONE; // the editor's window
    xcb_window_t root = XCB_NONE;
    float pixelScale = 1.0f;     // window pixels per logical unit
    uint8_t presentOpcode = 0;   // major opcode of Present, 0 without it
    uint32_t presentEventId = 0; // the id the window selected frame events with
    uint8_t shmFirstEvent = 0;   // first event of MIT-SHM, 0 without it
};

// [any] Pure: the same event and context always give the same record.
WindowEvent TranslateEvent(const xcb_generic_event_t& event, const TranslationContext& context);

// [any] Pointer modifiers from an X state mask, as they are after an event
// of the given kind with the given button (X reports the state before it).
IPointerModifiers ModifiersFromState(uint16_t state, WindowEvent::Kind kind, uint8_t button);

} // namespace ui::x11
