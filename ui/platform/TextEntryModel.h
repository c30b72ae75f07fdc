#pragma once

// The text field's logic without a display: which characters a parameter
// takes, the state of an open field between the events that end it and the
// tick that serves the ending, and the single-line editing buffer. The X11
// field (X11TextField) draws and feeds these.

#include "plugin/IParam.h"
#include "ui/EditorTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ui {

// [any] Whether the field of a parameter of this kind takes the typed code
// point: bool, int and enum parameters take "+", "-" and the digits, double
// parameters also "."; a field without a parameter (kind KindNone) takes
// everything. Backspace is a key, not a character, and always works.
bool EntryAcceptsCharacter(plugin::IParam::ParamKind kind, char32_t codePoint);

// The state of an open field. Events ask for an ending; the window's next
// tick serves it (commit or cancel) and the field closes. The first request
// stands: a focus loss that follows an Escape (the field going away causes
// one) does not turn the cancel into a commit.
class TextEntryState {
public:
    enum Value : int32_t {
        kIdle = 0,            // open, not yet focused (or nothing open)
        kFocused = 1,         // the field has the keyboard focus
        kPaintedAround = 2,   // the editor repainted around the unfocused field
        kCancelRequested = 3, // Escape, a press in the editor while focused, the wheel
        kCommitRequested = 4, // Return, focus loss, a press while not focused
    };
    enum class Action { None, Commit, Cancel };

    // [ui]
    Value State() const noexcept { return value; }
    bool EndRequested() const noexcept {
        return value == kCancelRequested || value == kCommitRequested;
    }

    void Opened() noexcept { value = kIdle; }
    void FocusGained() noexcept { Set(kFocused); }
    void FocusLost() noexcept { Request(kCommitRequested); }
    void ReturnPressed() noexcept { Request(kCommitRequested); }
    void EscapePressed() noexcept { Request(kCancelRequested); }
    void Cancel() noexcept { Request(kCancelRequested); }
    // A left or right press in the editor, outside the field.
    void EditorPressed() noexcept {
        Request(value == kFocused ? kCancelRequested : kCommitRequested);
    }
    void WheelTurned() noexcept { Request(kCancelRequested); }
    // The editor painted while the field was open.
    void PaintedAround() noexcept {
        if (value == kIdle)
            value = kPaintedAround;
    }
    // [ui] The tick: a requested ending is handed out once and the state
    // returns to idle; any other state needs nothing.
    Action Serve() noexcept;

private:
    void Set(Value next) noexcept {
        if (!EndRequested())
            value = next;
    }
    void Request(Value ending) noexcept { Set(ending); }

    Value value = kIdle;
};

// What a key does in the field.
enum class EditCommand {
    None,
    Commit,
    Cancel,
    InsertText, // the key's text
    DeleteBackward,
    DeleteForward,
    MoveLeft,
    MoveRight,
    MoveHome,
    MoveEnd,
    SelectAll,
    Copy,
    Cut,
    Paste,
};

struct EditKey {
    EditCommand command = EditCommand::None;
    bool extendSelection = false; // Shift with a movement
};

// [any] The field's key bindings (Windows virtual keys, as IKeyEvent has them).
EditKey EditKeyFor(const IKeyEvent& key);

// One line of UTF-8 text with a caret and a selection, in bytes that always
// fall on character boundaries. Characters are code points.
class TextEditBuffer {
public:
    // [any] maxCharacters <= 0: no limit. filterKind: the character filter
    // for typed and pasted text (KindNone filters nothing).
    explicit TextEditBuffer(int32_t maxCharacters = 0,
                            plugin::IParam::ParamKind filterKind = plugin::IParam::KindNone);

    // [any] Replaces the text (made well-formed, control characters removed,
    // cut to the limit) and selects all of it.
    void SetText(std::string_view text);
    const std::string& Text() const noexcept { return text; }
    size_t Caret() const noexcept { return caret; }
    size_t Anchor() const noexcept { return anchor; }
    bool HasSelection() const noexcept { return caret != anchor; }
    size_t SelectionStart() const noexcept { return caret < anchor ? caret : anchor; }
    size_t SelectionEnd() const noexcept { return caret < anchor ? anchor : caret; }
    std::string SelectedText() const;
    size_t CharacterCount() const;

    // [any] Replaces the selection with those characters of text the filter
    // takes, as many as the limit leaves room for. True when anything changed.
    bool Insert(std::string_view text);
    bool DeleteBackward();
    bool DeleteForward();
    // Removes the selection; true when there was one.
    bool DeleteSelection();
    void MoveLeft(bool extend);
    void MoveRight(bool extend);
    void MoveHome(bool extend);
    void MoveEnd(bool extend);
    void SelectAll();
    // [any] Puts the caret at a byte offset (moved back to a character
    // boundary, clamped to the text).
    void SetCaret(size_t offset, bool extend);

private:
    size_t PreviousBoundary(size_t offset) const;
    size_t NextBoundary(size_t offset) const;
    void Place(size_t offset, bool extend);

    std::string text;
    size_t caret = 0;
    size_t anchor = 0;
    int32_t maxCharacters;
    plugin::IParam::ParamKind filterKind;
};

} // namespace ui
