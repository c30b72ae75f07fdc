#include "ui/platform/X11TextField.h"

#include "ui/platform/X11EventTranslation.h"

#include <algorithm>
#include <cmath>

namespace ui::x11 {

namespace {

using Kind = WindowEvent::Kind;

constexpr uint32_t kFieldEvents = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_KEY_PRESS |
                                  XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_BUTTON_PRESS |
                                  XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_BUTTON_MOTION |
                                  XCB_EVENT_MASK_FOCUS_CHANGE;
// The caret's half period, as GTK's default.
constexpr auto kCaretBlink = std::chrono::milliseconds(530);
// Selected text: white on the usual highlight blue.
constexpr IColour kHighlight{255, 51, 153, 255};
constexpr IColour kHighlightText{255, 255, 255, 255};

IColour Opaque(IColour colour) {
    colour.A = 255;
    return colour;
}

} // namespace

X11TextField::X11TextField(const XcbConnection& xcb, const WindowFonts& fonts,
                           const Setup& fieldSetup, Clipboard fieldClipboard,
                           KeyTranslator translator)
    : connection(xcb),
      surface(xcb, X11SurfaceWindow::Kind::Child, fieldSetup.parent,
              static_cast<int16_t>(fieldSetup.geometry.x),
              static_cast<int16_t>(fieldSetup.geometry.y),
              static_cast<uint16_t>(std::clamp(fieldSetup.geometry.w, 1, 32767)),
              static_cast<uint16_t>(std::clamp(fieldSetup.geometry.h, 1, 32767)), kFieldEvents),
      font(fonts, fieldSetup.style.font,
           std::trunc(static_cast<double>(fieldSetup.pixelScale) * fieldSetup.style.size)),
      setup(fieldSetup), clipboard(std::move(fieldClipboard)), translate(std::move(translator)),
      buffer(fieldSetup.maxCharacters, fieldSetup.filterKind),
      caretSince(std::chrono::steady_clock::now()) {
    buffer.SetText(setup.text);
    if (setup.cursor != XCB_NONE)
        surface.SetCursor(setup.cursor);
}

X11TextField::~X11TextField() = default;

void X11TextField::Show() {
    if (!Exists())
        return;
    xcb_connection_t* c = connection.Get();
    if (auto focus = GetReply(c, xcb_get_input_focus(c), xcb_get_input_focus_reply)) {
        previousFocus = focus->focus;
        previousRevert = focus->revert_to;
    }
    surface.Map();
    // The field is viewable once the map is done, which comes first.
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, surface.Id(), XCB_CURRENT_TIME);
    KeepCaretVisible();
    Draw();
}

void X11TextField::GiveFocusBack(xcb_window_t editorWindow) {
    if (!Exists() || !connection.IsOpen())
        return;
    xcb_connection_t* c = connection.Get();
    auto focus = GetReply(c, xcb_get_input_focus(c), xcb_get_input_focus_reply);
    if (!focus || (focus->focus != surface.Id() && focus->focus != editorWindow))
        return; // the user already went elsewhere
    xcb_set_input_focus(c, previousRevert, previousFocus, XCB_CURRENT_TIME);
    focused = false;
}

bool X11TextField::Handle(const xcb_generic_event_t& event, TextEntryState& state) {
    if (!Exists())
        return false;
    TranslationContext context;
    context.window = surface.Id();
    context.root = connection.Screen()->root;
    const WindowEvent e = TranslateEvent(event, context); // positions in pixels
    switch (e.kind) {
    case Kind::None:
        return false;
    case Kind::Expose:
        Draw();
        return true;
    case Kind::FocusGained:
        focused = true;
        caretOn = true;
        caretSince = std::chrono::steady_clock::now();
        state.FocusGained();
        Draw();
        return true;
    case Kind::FocusLost:
        focused = false;
        state.FocusLost();
        Draw();
        return true;
    case Kind::KeyPress:
        if (!e.synthetic && translate)
            ApplyKey(translate(e.keycode, e.keyState), state);
        return true;
    case Kind::ButtonPress:
        if (!e.synthetic && e.button == kButtonLeft) {
            buffer.SetCaret(OffsetAt(e.pointer.x), e.pointer.modifiers.S);
            selecting = true;
            if (!focused)
                xcb_set_input_focus(connection.Get(), XCB_INPUT_FOCUS_PARENT, surface.Id(),
                                    XCB_CURRENT_TIME);
            caretOn = true;
            caretSince = std::chrono::steady_clock::now();
            Draw();
        }
        return true;
    case Kind::PointerMove:
        if (selecting && !e.synthetic) {
            buffer.SetCaret(OffsetAt(e.pointer.x), true);
            KeepCaretVisible();
            Draw();
        }
        return true;
    case Kind::ButtonRelease:
        if (e.button == kButtonLeft)
            selecting = false;
        return true;
    default:
        return e.window == surface.Id() || e.kind == Kind::KeyRelease;
    }
}

void X11TextField::OnKey(const IKeyEvent& key, TextEntryState& state) {
    ApplyKey(key, state);
}

void X11TextField::ApplyKey(const IKeyEvent& key, TextEntryState& state) {
    const EditKey edit = EditKeyFor(key);
    switch (edit.command) {
    case EditCommand::Commit:
        state.ReturnPressed();
        return;
    case EditCommand::Cancel:
        state.EscapePressed();
        return;
    case EditCommand::InsertText:
        buffer.Insert(key.utf8);
        break;
    case EditCommand::DeleteBackward:
        buffer.DeleteBackward();
        break;
    case EditCommand::DeleteForward:
        buffer.DeleteForward();
        break;
    case EditCommand::MoveLeft:
        buffer.MoveLeft(edit.extendSelection);
        break;
    case EditCommand::MoveRight:
        buffer.MoveRight(edit.extendSelection);
        break;
    case EditCommand::MoveHome:
        buffer.MoveHome(edit.extendSelection);
        break;
    case EditCommand::MoveEnd:
        buffer.MoveEnd(edit.extendSelection);
        break;
    case EditCommand::SelectAll:
        buffer.SelectAll();
        break;
    case EditCommand::Copy:
    case EditCommand::Cut:
        if (buffer.HasSelection() && clipboard.write) {
            clipboard.write(buffer.SelectedText());
            if (edit.command == EditCommand::Cut)
                buffer.DeleteSelection();
        }
        break;
    case EditCommand::Paste:
        if (clipboard.read)
            buffer.Insert(clipboard.read());
        break;
    case EditCommand::None:
        return;
    }
    caretOn = true;
    caretSince = std::chrono::steady_clock::now();
    KeepCaretVisible();
    Draw();
}

void X11TextField::Tick() {
    if (!focused || !Exists())
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - caretSince < kCaretBlink)
        return;
    caretOn = !caretOn;
    caretSince = now;
    Draw();
    xcb_flush(connection.Get());
}

double X11TextField::TextX() const {
    const double k = setup.pixelScale;
    const double margin = std::max(1.0, std::round(k));
    const double room = surface.Width() - 2.0 * margin;
    const double width = font.Width(buffer.Text());
    if (width > room)
        return margin - scroll;
    switch (setup.style.align) {
    case kAlignNear:
        return margin;
    case kAlignFar:
        return surface.Width() - margin - width;
    default:
        return (surface.Width() - width) * 0.5;
    }
}

void X11TextField::KeepCaretVisible() {
    const double margin = std::max(1.0, std::round(static_cast<double>(setup.pixelScale)));
    const double room = surface.Width() - 2.0 * margin;
    const double width = font.Width(buffer.Text());
    if (width <= room) {
        scroll = 0.0;
        return;
    }
    const double caretX = font.Width(buffer.Text().substr(0, buffer.Caret()));
    if (caretX - scroll < 0.0)
        scroll = caretX;
    else if (caretX - scroll > room)
        scroll = caretX - room;
    scroll = std::clamp(scroll, 0.0, width - room);
}

size_t X11TextField::OffsetAt(double x) const {
    const std::string& text = buffer.Text();
    const double start = TextX();
    size_t best = 0;
    double bestDistance = std::abs(x - start);
    for (size_t i = 1; i <= text.size(); ++i) {
        if (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;
        const double distance = std::abs(x - (start + font.Width(text.substr(0, i))));
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

void X11TextField::Draw() {
    cairo_t* cr = surface.Canvas();
    if (cr == nullptr)
        return;
    const double k = setup.pixelScale;
    const double w = surface.Width();
    const double h = surface.Height();
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    SetSourceColour(cr, Opaque(setup.style.entryBackground));
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);

    // Text at the top, or centred on the style's size for a middle style.
    const double cell = font.CellHeight();
    const double top = setup.style.valign == kVAlignMiddle
                           ? std::max(0.0, (setup.logicalHeight * k - cell) * 0.5)
                           : 0.0;
    const double baseline = top + font.Ascent();
    const std::string& text = buffer.Text();
    const double x = TextX();
    font.Draw(cr, text, x, baseline, Opaque(setup.style.entryForeground));
    if (focused && buffer.HasSelection()) {
        const double left = x + font.Width(text.substr(0, buffer.SelectionStart()));
        const double right = x + font.Width(text.substr(0, buffer.SelectionEnd()));
        cairo_rectangle(cr, std::floor(left), top, std::ceil(right) - std::floor(left), cell);
        cairo_clip(cr);
        SetSourceColour(cr, kHighlight);
        cairo_paint(cr);
        font.Draw(cr, text, x, baseline, kHighlightText);
        cairo_reset_clip(cr);
    }
    if (focused && caretOn) {
        const double caretX = std::round(x + font.Width(text.substr(0, buffer.Caret())));
        const double thickness = std::max(1.0, std::round(k));
        cairo_rectangle(cr, std::clamp(caretX, 0.0, w - thickness), top, thickness,
                        std::min(cell, h - top));
        SetSourceColour(cr, Opaque(setup.style.entryForeground));
        cairo_fill(cr);
    }
    cairo_restore(cr);
    surface.Present();
}

} // namespace ui::x11
