#pragma once

#include "ui/platform/SurfaceText.h"
#include "ui/platform/TextEntryModel.h"
#include "ui/platform/X11ModalLoop.h"
#include "ui/platform/X11SurfaceWindow.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace ui::x11 {

// The value field the editor opens over a control: a child window of the
// editor's window, drawn by the editor in the style's font (its height the
// style's size at the pixel scale), colours and alignment, with a caret,
// a selection, the parameter's character filter, and the keyboard focus
// while it is open. Its events feed the entry state; ending it is the
// window's business. [ui]
class X11TextField {
public:
    struct Setup {
        xcb_window_t parent = XCB_NONE;
        PixelRect geometry;      // window pixels in the parent
        ITextStyle style;        // font, size, entry colours, alignment
        float pixelScale = 1.0f; // window pixels per logical unit
        float logicalHeight = 0; // the field's height in logical units
        int32_t maxCharacters = 0;
        plugin::IParam::ParamKind filterKind = plugin::IParam::KindNone;
        std::string text;
        xcb_cursor_t cursor = XCB_NONE; // the I-beam, where the theme has one
    };
    // The clipboard of the editor, for copy, cut and paste.
    struct Clipboard {
        std::function<void(const std::string&)> write;
        std::function<std::string()> read;
    };

    X11TextField(const XcbConnection& connection, const WindowFonts& fonts, const Setup& setup,
                 Clipboard clipboard, KeyTranslator translate);
    // Destroys the window; the focus it had goes back first (GiveFocusBack).
    ~X11TextField();
    X11TextField(const X11TextField&) = delete;
    X11TextField& operator=(const X11TextField&) = delete;

    bool Exists() const noexcept { return surface.Exists(); }
    xcb_window_t Id() const noexcept { return surface.Id(); }
    const std::string& Text() const noexcept { return buffer.Text(); }
    const TextEditBuffer& Buffer() const noexcept { return buffer; }

    // Maps the field and takes the keyboard focus, noting who had it.
    void Show();
    // Returns the keyboard focus to where it was when the field opened,
    // when the field (or the editor) still has it.
    void GiveFocusBack(xcb_window_t editorWindow);

    // An event of the connection: true when it was the field's.
    bool Handle(const xcb_generic_event_t& event, TextEntryState& state);
    // A key that reached the editor another way (the host's view).
    void OnKey(const IKeyEvent& key, TextEntryState& state);
    // The caret's blinking; from the window's timer.
    void Tick();

private:
    void Draw();
    void ApplyKey(const IKeyEvent& key, TextEntryState& state);
    double TextX() const; // where the text starts, scrolled
    size_t OffsetAt(double x) const;
    void KeepCaretVisible();

    const XcbConnection& connection;
    X11SurfaceWindow surface;
    SurfaceFont font;
    Setup setup;
    Clipboard clipboard;
    KeyTranslator translate;
    TextEditBuffer buffer;
    double scroll = 0.0; // pixels the text is moved left by
    bool focused = false;
    bool caretOn = true;
    bool selecting = false;
    std::chrono::steady_clock::time_point caretSince;
    xcb_window_t previousFocus = XCB_NONE;
    uint8_t previousRevert = XCB_INPUT_FOCUS_POINTER_ROOT;
};

} // namespace ui::x11
