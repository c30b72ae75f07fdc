#include "ui/platform/X11EventTranslation.h"

#include <xcb/present.h>
#include <xcb/shm.h>

namespace ui::x11 {

namespace {

using Kind = WindowEvent::Kind;

constexpr uint8_t kSyntheticBit = 0x80;

IPointerEvent PointerAt(int16_t pixelX, int16_t pixelY, IPointerModifiers modifiers,
                        float pixelScale) {
    IPointerEvent pointer;
    pointer.x = static_cast<float>(pixelX) / pixelScale;
    pointer.y = static_cast<float>(pixelY) / pixelScale;
    pointer.modifiers = modifiers;
    return pointer;
}

WindowEvent ButtonEvent(const xcb_button_press_event_t& e, bool press,
                        const TranslationContext& context) {
    WindowEvent out;
    if (e.event != context.window)
        return out;
    out.time = e.time;
    out.button = e.detail;
    out.rootX = e.root_x;
    out.rootY = e.root_y;
    switch (e.detail) {
    case kButtonWheelUp:
    case kButtonWheelDown:
    case kButtonWheelLeft:
    case kButtonWheelRight:
        // A wheel step is a press and a release; the press is the notch.
        if (!press)
            return out;
        out.kind = Kind::Wheel;
        out.notches = e.detail == kButtonWheelUp || e.detail == kButtonWheelRight ? 1.0f : -1.0f;
        out.pointer = PointerAt(e.event_x, e.event_y, ModifiersFromState(e.state, Kind::Wheel, 0),
                                context.pixelScale);
        return out;
    default:
        break;
    }
    out.kind = press ? Kind::ButtonPress : Kind::ButtonRelease;
    out.pointer = PointerAt(e.event_x, e.event_y, ModifiersFromState(e.state, out.kind, e.detail),
                            context.pixelScale);
    return out;
}

WindowEvent CrossingEvent(const xcb_leave_notify_event_t& e, bool leave,
                          const TranslationContext& context) {
    WindowEvent out;
    if (e.event != context.window)
        return out;
    out.time = e.time;
    if (e.mode == XCB_NOTIFY_MODE_UNGRAB) {
        out.kind = Kind::GrabEnded;
        return out;
    }
    // Moving into a child of the window (a text field) is not leaving it.
    if (leave && e.mode == XCB_NOTIFY_MODE_NORMAL && e.detail != XCB_NOTIFY_DETAIL_INFERIOR)
        out.kind = Kind::PointerLeave;
    return out;
}

WindowEvent KeyEvent(const xcb_key_press_event_t& e, bool press,
                     const TranslationContext& context) {
    WindowEvent out;
    if (e.event != context.window)
        return out;
    out.kind = press ? Kind::KeyPress : Kind::KeyRelease;
    out.time = e.time;
    out.keycode = e.detail;
    out.keyState = e.state;
    out.pointer = PointerAt(e.event_x, e.event_y, ModifiersFromState(e.state, out.kind, 0),
                            context.pixelScale);
    return out;
}

WindowEvent GenericEvent(const xcb_ge_generic_event_t& e, const TranslationContext& context) {
    WindowEvent out;
    if (context.presentOpcode == 0 || e.extension != context.presentOpcode ||
        e.event_type != XCB_PRESENT_EVENT_COMPLETE_NOTIFY)
        return out;
    const auto& complete = reinterpret_cast<const xcb_present_complete_notify_event_t&>(e);
    if (complete.window != context.window || complete.event != context.presentEventId ||
        complete.kind != XCB_PRESENT_COMPLETE_KIND_NOTIFY_MSC)
        return out;
    out.kind = Kind::FrameComplete;
    out.serial = complete.serial;
    out.msc = complete.msc;
    out.window = complete.window;
    return out;
}

} // namespace

IPointerModifiers ModifiersFromState(uint16_t state, WindowEvent::Kind kind, uint8_t button) {
    IPointerModifiers modifiers;
    modifiers.L = (state & XCB_BUTTON_MASK_1) != 0;
    modifiers.R = (state & XCB_BUTTON_MASK_3) != 0;
    modifiers.S = (state & XCB_MOD_MASK_SHIFT) != 0;
    modifiers.C = (state & XCB_MOD_MASK_CONTROL) != 0;
    modifiers.A = (state & XCB_MOD_MASK_1) != 0; // Mod1 is Alt on every common layout
    if (kind == Kind::ButtonPress || kind == Kind::ButtonRelease) {
        const bool down = kind == Kind::ButtonPress;
        if (button == kButtonLeft)
            modifiers.L = down;
        else if (button == kButtonRight)
            modifiers.R = down;
    }
    return modifiers;
}

WindowEvent TranslateEvent(const xcb_generic_event_t& event, const TranslationContext& context) {
    const uint8_t type = event.response_type & static_cast<uint8_t>(~kSyntheticBit);
    WindowEvent out;

    switch (type) {
    case 0: {
        const auto& e = reinterpret_cast<const xcb_generic_error_t&>(event);
        out.kind = Kind::Error;
        out.errorCode = e.error_code;
        out.majorOpcode = e.major_code;
        break;
    }
    case XCB_MOTION_NOTIFY: {
        const auto& e = reinterpret_cast<const xcb_motion_notify_event_t&>(event);
        if (e.event != context.window)
            break;
        out.kind = Kind::PointerMove;
        out.time = e.time;
        out.rootX = e.root_x;
        out.rootY = e.root_y;
        out.pointer =
            PointerAt(e.event_x, e.event_y, ModifiersFromState(e.state, Kind::PointerMove, 0),
                      context.pixelScale);
        break;
    }
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
        out = ButtonEvent(reinterpret_cast<const xcb_button_press_event_t&>(event),
                          type == XCB_BUTTON_PRESS, context);
        break;
    case XCB_ENTER_NOTIFY:
    case XCB_LEAVE_NOTIFY:
        out = CrossingEvent(reinterpret_cast<const xcb_leave_notify_event_t&>(event),
                            type == XCB_LEAVE_NOTIFY, context);
        break;
    case XCB_FOCUS_IN:
    case XCB_FOCUS_OUT: {
        const auto& e = reinterpret_cast<const xcb_focus_out_event_t&>(event);
        // The focus moving to or from a child (the text field) stays with
        // the editor; the pointer-root details are the server's bookkeeping,
        // and grabs (a menu's) only borrow the keyboard.
        if (e.event == context.window && e.detail != XCB_NOTIFY_DETAIL_INFERIOR &&
            e.detail != XCB_NOTIFY_DETAIL_POINTER && e.mode != XCB_NOTIFY_MODE_GRAB &&
            e.mode != XCB_NOTIFY_MODE_UNGRAB)
            out.kind = type == XCB_FOCUS_IN ? Kind::FocusGained : Kind::FocusLost;
        break;
    }
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE:
        out = KeyEvent(reinterpret_cast<const xcb_key_press_event_t&>(event), type == XCB_KEY_PRESS,
                       context);
        break;
    case XCB_EXPOSE: {
        const auto& e = reinterpret_cast<const xcb_expose_event_t&>(event);
        if (e.window != context.window)
            break;
        out.kind = Kind::Expose;
        out.pixels = IRectangle(e.x, e.y, static_cast<float>(e.x + e.width),
                                static_cast<float>(e.y + e.height));
        break;
    }
    case XCB_CONFIGURE_NOTIFY: {
        const auto& e = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
        if (e.window != context.window)
            break;
        out.kind = Kind::Configure;
        out.pixels = IRectangle(0.0f, 0.0f, e.width, e.height);
        break;
    }
    case XCB_UNMAP_NOTIFY: {
        const auto& e = reinterpret_cast<const xcb_unmap_notify_event_t&>(event);
        if (e.window == context.window)
            out.kind = Kind::Unmapped;
        break;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto& e = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
        if (e.window == context.window)
            out.kind = Kind::Destroyed;
        break;
    }
    case XCB_PROPERTY_NOTIFY: {
        const auto& e = reinterpret_cast<const xcb_property_notify_event_t&>(event);
        if (e.window != context.window && e.window != context.root)
            break;
        out.kind = Kind::PropertyChange;
        out.window = e.window;
        out.atom = e.atom;
        out.time = e.time;
        out.propertyDeleted = e.state == XCB_PROPERTY_DELETE;
        break;
    }
    case XCB_CLIENT_MESSAGE: {
        const auto& e = reinterpret_cast<const xcb_client_message_event_t&>(event);
        if (e.window != context.window || e.format != 32)
            break;
        out.kind = Kind::ClientMessage;
        out.window = e.window;
        out.atom = e.type;
        for (size_t i = 0; i < out.data.size(); ++i)
            out.data[i] = e.data.data32[i];
        break;
    }
    case XCB_SELECTION_NOTIFY: {
        const auto& e = reinterpret_cast<const xcb_selection_notify_event_t&>(event);
        if (e.requestor != context.window)
            break;
        out.kind = Kind::SelectionReady;
        out.atom = e.property;
        out.property = e.property;
        out.selection = e.selection;
        out.target = e.target;
        out.time = e.time;
        break;
    }
    case XCB_SELECTION_REQUEST: {
        const auto& e = reinterpret_cast<const xcb_selection_request_event_t&>(event);
        if (e.owner != context.window)
            break;
        out.kind = Kind::SelectionRequest;
        out.window = e.owner;
        out.requestor = e.requestor;
        out.selection = e.selection;
        out.target = e.target;
        out.property = e.property;
        out.time = e.time;
        break;
    }
    case XCB_SELECTION_CLEAR: {
        const auto& e = reinterpret_cast<const xcb_selection_clear_event_t&>(event);
        if (e.owner != context.window)
            break;
        out.kind = Kind::SelectionClear;
        out.window = e.owner;
        out.selection = e.selection;
        out.time = e.time;
        break;
    }
    case XCB_GE_GENERIC:
        out = GenericEvent(reinterpret_cast<const xcb_ge_generic_event_t&>(event), context);
        break;
    default:
        if (context.shmFirstEvent != 0 && type == context.shmFirstEvent + XCB_SHM_COMPLETION) {
            const auto& e = reinterpret_cast<const xcb_shm_completion_event_t&>(event);
            if (e.drawable == context.window)
                out.kind = Kind::ShmCompletion;
        }
        break;
    }

    out.sequence = event.sequence;
    out.synthetic = (event.response_type & kSyntheticBit) != 0;
    return out;
}

} // namespace ui::x11
