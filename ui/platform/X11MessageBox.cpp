#include "ui/platform/X11MessageBox.h"

#include "ui/VirtualKeys.h"
#include "ui/platform/X11EventTranslation.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace ui::x11 {

namespace {

using Kind = WindowEvent::Kind;

constexpr uint32_t kBoxEvents = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_KEY_PRESS |
                                XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_FOCUS_CHANGE;
// WM_SIZE_HINTS flags: program-given position, minimum and maximum size.
constexpr uint32_t kHintPosition = 1u << 2;
constexpr uint32_t kHintMinSize = 1u << 4;
constexpr uint32_t kHintMaxSize = 1u << 5;
constexpr uint32_t kSizeHintWords = 18;
constexpr double kPi = std::numbers::pi;

constexpr IColour kBackground{255, 240, 240, 240};
constexpr IColour kText{255, 20, 20, 20};
constexpr IColour kButton{255, 225, 225, 225};
constexpr IColour kButtonPressed{255, 200, 200, 200};
constexpr IColour kButtonBorder{255, 150, 150, 150};
constexpr IColour kFocusBorder{255, 51, 153, 255};

void RoundedRectangle(cairo_t* cr, const IRectangle& r, double radius) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, r.R - radius, r.T + radius, radius, -kPi / 2, 0);
    cairo_arc(cr, r.R - radius, r.B - radius, radius, 0, kPi / 2);
    cairo_arc(cr, r.L + radius, r.B - radius, radius, kPi / 2, kPi);
    cairo_arc(cr, r.L + radius, r.T + radius, radius, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

} // namespace

xcb_window_t FindOwnerWindow(const XcbConnection& connection, xcb_window_t window) {
    if (!connection.IsOpen() || window == XCB_NONE)
        return XCB_NONE;
    xcb_connection_t* c = connection.Get();
    const auto atoms = connection.InternAtoms({"WM_STATE"});
    xcb_window_t managed = XCB_NONE;
    xcb_window_t top = XCB_NONE;
    for (xcb_window_t current = window; current != XCB_NONE;) {
        auto tree = GetReply(c, xcb_query_tree(c, current), xcb_query_tree_reply);
        if (!tree)
            return XCB_NONE;
        if (atoms[0] != XCB_ATOM_NONE) {
            auto state = GetReply(c, xcb_get_property(c, 0, current, atoms[0], XCB_ATOM_ANY, 0, 0),
                                  xcb_get_property_reply);
            if (state && state->type != XCB_ATOM_NONE)
                managed = current;
        }
        if (tree->parent == tree->root || tree->parent == XCB_NONE) {
            top = current;
            break;
        }
        current = tree->parent;
    }
    return managed != XCB_NONE ? managed : top;
}

X11MessageBox::X11MessageBox(const XcbConnection& xcb, const WindowFonts& fonts,
                             const std::string& text, const std::string& caption, int32_t type,
                             xcb_window_t owner, float boxScale, KeyTranslator translator)
    : connection(xcb), font(fonts, ITextStyle{}.font,
                            std::round(MessageBoxMetrics{}.textSize * std::max(boxScale, 0.5f))),
      choices(MessageBoxChoicesFor(type)),
      metrics(MessageBoxMetrics{}.Scaled(std::max(boxScale, 0.5f))),
      scale(std::max(boxScale, 0.5f)), translate(std::move(translator)) {
    if (!connection.IsOpen())
        return;
    lines = WrapMessageText(text, metrics.maxTextWidth, [this](const std::string& line) {
        return static_cast<float>(font.Width(line));
    });
    std::vector<float> widths;
    for (const std::string& line : lines)
        widths.push_back(static_cast<float>(font.Width(line)));
    layout = LayOutMessageBox(widths, choices.buttons.size(), metrics);
    focusedButton = choices.defaultButton;

    // Centred over the owner, else on the screen.
    const xcb_screen_t& screen = *connection.Screen();
    xcb_connection_t* c = connection.Get();
    int32_t cx = screen.width_in_pixels / 2;
    int32_t cy = screen.height_in_pixels / 2;
    if (owner != XCB_NONE) {
        auto geometry = GetReply(c, xcb_get_geometry(c, owner), xcb_get_geometry_reply);
        auto origin = GetReply(c, xcb_translate_coordinates(c, owner, screen.root, 0, 0),
                               xcb_translate_coordinates_reply);
        if (geometry && origin) {
            cx = origin->dst_x + geometry->width / 2;
            cy = origin->dst_y + geometry->height / 2;
        } else {
            owner = XCB_NONE; // gone
        }
    }
    const auto w = static_cast<int32_t>(std::ceil(layout.width));
    const auto h = static_cast<int32_t>(std::ceil(layout.height));
    const int32_t x = std::clamp(cx - w / 2, 0, std::max(0, screen.width_in_pixels - w));
    const int32_t y = std::clamp(cy - h / 2, 0, std::max(0, screen.height_in_pixels - h));
    window = std::make_unique<X11SurfaceWindow>(
        connection, X11SurfaceWindow::Kind::TopLevel, screen.root, static_cast<int16_t>(x),
        static_cast<int16_t>(y), static_cast<uint16_t>(std::clamp(w, 1, 32767)),
        static_cast<uint16_t>(std::clamp(h, 1, 32767)), kBoxEvents);
    if (window->Exists())
        SetWindowProperties(caption, owner);
}

void X11MessageBox::SetWindowProperties(const std::string& caption, xcb_window_t owner) {
    xcb_connection_t* c = connection.Get();
    const xcb_window_t id = window->Id();
    const auto atoms = connection.InternAtoms(
        {"UTF8_STRING", "_NET_WM_NAME", "WM_PROTOCOLS", "WM_DELETE_WINDOW", "_NET_WM_WINDOW_TYPE",
         "_NET_WM_WINDOW_TYPE_DIALOG", "_NET_WM_STATE", "_NET_WM_STATE_MODAL"});
    const xcb_atom_t utf8 = atoms[0];
    protocolsAtom = atoms[2];
    deleteAtom = atoms[3];
    const auto length = static_cast<uint32_t>(caption.size());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, utf8, 8, length,
                        caption.data());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atoms[1], utf8, 8, length, caption.data());
    static const char kClass[] = "lumaro-message\0Lumaro";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        sizeof(kClass), kClass);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, protocolsAtom, XCB_ATOM_ATOM, 32, 1,
                        &deleteAtom);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atoms[4], XCB_ATOM_ATOM, 32, 1, &atoms[5]);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atoms[6], XCB_ATOM_ATOM, 32, 1, &atoms[7]);
    if (owner != XCB_NONE)
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_TRANSIENT_FOR,
                            XCB_ATOM_WINDOW, 32, 1, &owner);
    // A fixed size at the given place.
    uint32_t hints[kSizeHintWords] = {};
    hints[0] = kHintPosition | kHintMinSize | kHintMaxSize;
    hints[1] = static_cast<uint32_t>(window->X());
    hints[2] = static_cast<uint32_t>(window->Y());
    hints[5] = hints[7] = window->Width();
    hints[6] = hints[8] = window->Height();
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS, 32, kSizeHintWords, hints);
}

int32_t X11MessageBox::Run(ModalLoop& loop) {
    if (!Exists())
        return kAnswerNone;
    window->Map();
    Draw();
    xcb_flush(connection.Get());
    loop.Run([this](const xcb_generic_event_t& event) { return Handle(event); },
             [this] { return answered; }, -1);
    window.reset();
    xcb_flush(connection.Get());
    return answered ? answer : choices.dismissAnswer;
}

void X11MessageBox::Answer(int32_t value) {
    if (value == kAnswerNone || answered)
        return;
    answer = value;
    answered = true;
}

bool X11MessageBox::Handle(const xcb_generic_event_t& event) {
    if (!Exists())
        return false;
    const uint8_t type = event.response_type & 0x7F;
    if (type == XCB_MAP_NOTIFY) {
        const auto& e = reinterpret_cast<const xcb_map_notify_event_t&>(event);
        if (e.window != window->Id())
            return false;
        if (!focusTaken) {
            // Viewable now: the keys come here.
            xcb_set_input_focus(connection.Get(), XCB_INPUT_FOCUS_POINTER_ROOT, window->Id(),
                                XCB_CURRENT_TIME);
            focusTaken = true;
        }
        return true;
    }
    TranslationContext context;
    context.window = window->Id();
    context.root = connection.Screen()->root;
    const WindowEvent e = TranslateEvent(event, context);
    switch (e.kind) {
    case Kind::None:
        return false;
    case Kind::Expose:
        Draw();
        return true;
    case Kind::ButtonPress:
        if (e.button == kButtonLeft) {
            pressedButton = MessageBoxButtonAt(layout, e.pointer.x, e.pointer.y);
            if (pressedButton >= 0)
                focusedButton = static_cast<size_t>(pressedButton);
            Draw();
        }
        return true;
    case Kind::ButtonRelease:
        if (e.button == kButtonLeft) {
            const int32_t released = MessageBoxButtonAt(layout, e.pointer.x, e.pointer.y);
            if (released >= 0 && released == pressedButton)
                Answer(choices.buttons[static_cast<size_t>(released)].answer);
            pressedButton = -1;
            Draw();
        }
        return true;
    case Kind::KeyPress: {
        if (!translate)
            return true;
        const IKeyEvent key = translate(e.keycode, e.keyState);
        const size_t count = choices.buttons.size();
        switch (key.virtualKey) {
        case kVKReturn:
        case kVKSpace:
            Answer(choices.buttons[focusedButton].answer);
            break;
        case kVKEscape:
            Answer(choices.escapeAnswer);
            break;
        case kVKTab:
            focusedButton = (focusedButton + (key.shift ? count - 1 : 1)) % count;
            Draw();
            break;
        case kVKRight:
            focusedButton = std::min(focusedButton + 1, count - 1);
            Draw();
            break;
        case kVKLeft:
            focusedButton = focusedButton > 0 ? focusedButton - 1 : 0;
            Draw();
            break;
        default:
            break;
        }
        return true;
    }
    case Kind::ClientMessage:
        if (e.atom == protocolsAtom && e.data[0] == deleteAtom)
            Answer(choices.escapeAnswer);
        return true;
    case Kind::Destroyed:
        // Someone else destroyed the box: it ends unanswered.
        Answer(choices.dismissAnswer);
        return true;
    default:
        return true;
    }
}

void X11MessageBox::Draw() {
    cairo_t* cr = window ? window->Canvas() : nullptr;
    if (cr == nullptr)
        return;
    cairo_save(cr);
    SetSourceColour(cr, kBackground);
    cairo_paint(cr);
    for (size_t i = 0; i < lines.size() && i < layout.lines.size(); ++i) {
        const IRectangle& r = layout.lines[i];
        const double baseline = r.T + (r.H() - font.CellHeight()) * 0.5 + font.Ascent();
        font.Draw(cr, lines[i], r.L, baseline, kText);
    }
    const double line = std::max(1.0f, std::round(scale));
    for (size_t i = 0; i < layout.buttons.size(); ++i) {
        const IRectangle& r = layout.buttons[i];
        const bool focused = i == focusedButton;
        const IRectangle inset(r.L + line * 0.5f, r.T + line * 0.5f, r.R - line * 0.5f,
                               r.B - line * 0.5f);
        RoundedRectangle(cr, inset, 3.0 * scale);
        SetSourceColour(cr, static_cast<int32_t>(i) == pressedButton ? kButtonPressed : kButton);
        cairo_fill_preserve(cr);
        SetSourceColour(cr, focused ? kFocusBorder : kButtonBorder);
        cairo_set_line_width(cr, focused ? 2.0 * line : line);
        cairo_stroke(cr);
        const std::string& label = choices.buttons[i].label;
        const double x = (r.L + r.R - font.Width(label)) * 0.5;
        const double baseline = r.T + (r.H() - font.CellHeight()) * 0.5 + font.Ascent();
        font.Draw(cr, label, x, baseline, kText);
    }
    cairo_restore(cr);
    window->Present();
    xcb_flush(connection.Get());
}

} // namespace ui::x11
