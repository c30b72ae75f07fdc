#include "ui/platform/TextEntryModel.h"

#include "ui/VirtualKeys.h"
#include "ui/platform/TextUtf8.h"

namespace ui {

namespace {

bool IsContinuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The code point of the well-formed sequence at text[i] and its length.
char32_t DecodeAt(std::string_view text, size_t i, size_t& length) {
    const auto lead = static_cast<unsigned char>(text[i]);
    length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (i + length > text.size()) {
        length = 1;
        return 0xFFFD;
    }
    char32_t value = length == 1   ? lead
                     : length == 2 ? lead & 0x1F
                     : length == 3 ? lead & 0x0F
                                   : lead & 0x07;
    for (size_t k = 1; k < length; ++k)
        value = (value << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    return value;
}

constexpr int32_t LetterKey(char letter) {
    return kVKA + (letter - 'A');
}

size_t CountCharacters(std::string_view text) {
    size_t count = 0;
    for (char byte : text)
        count += IsContinuation(byte) ? 0 : 1;
    return count;
}

} // namespace

bool EntryAcceptsCharacter(plugin::IParam::ParamKind kind, char32_t codePoint) {
    const bool signOrDigit =
        codePoint == U'+' || codePoint == U'-' || (codePoint >= U'0' && codePoint <= U'9');
    switch (kind) {
    case plugin::IParam::KindBool:
    case plugin::IParam::KindInt:
    case plugin::IParam::KindEnum:
        return signOrDigit;
    case plugin::IParam::KindDouble:
        return signOrDigit || codePoint == U'.';
    default:
        return true;
    }
}

TextEntryState::Action TextEntryState::Serve() noexcept {
    const Value served = value;
    if (!EndRequested())
        return Action::None;
    value = kIdle;
    return served == kCommitRequested ? Action::Commit : Action::Cancel;
}

EditKey EditKeyFor(const IKeyEvent& key) {
    EditKey edit;
    edit.extendSelection = key.shift;
    const bool plain = !key.control && !key.alt;
    switch (key.virtualKey) {
    case kVKReturn:
        edit.command = EditCommand::Commit;
        return edit;
    case kVKEscape:
        edit.command = EditCommand::Cancel;
        return edit;
    case kVKBack:
        edit.command = EditCommand::DeleteBackward;
        return edit;
    case kVKDelete:
        edit.command = key.shift && !key.control ? EditCommand::Cut : EditCommand::DeleteForward;
        return edit;
    case kVKInsert:
        edit.command = key.shift     ? EditCommand::Paste
                       : key.control ? EditCommand::Copy
                                     : EditCommand::None;
        return edit;
    case kVKLeft:
        edit.command = EditCommand::MoveLeft;
        return edit;
    case kVKRight:
        edit.command = EditCommand::MoveRight;
        return edit;
    case kVKHome:
    case kVKUp:
        edit.command = EditCommand::MoveHome;
        return edit;
    case kVKEnd:
    case kVKDown:
        edit.command = EditCommand::MoveEnd;
        return edit;
    default:
        break;
    }
    if (key.control && !key.alt) {
        switch (key.virtualKey) {
        case LetterKey('A'):
            edit.command = EditCommand::SelectAll;
            break;
        case LetterKey('C'):
            edit.command = EditCommand::Copy;
            break;
        case LetterKey('X'):
            edit.command = EditCommand::Cut;
            break;
        case LetterKey('V'):
            edit.command = EditCommand::Paste;
            break;
        default:
            break;
        }
        edit.extendSelection = false;
        return edit;
    }
    // AltGr types text without Control or Alt on X; Alt with a key is a
    // shortcut, not text.
    if (plain && key.utf8[0] != '\0')
        edit.command = EditCommand::InsertText;
    edit.extendSelection = false;
    return edit;
}

TextEditBuffer::TextEditBuffer(int32_t limit, plugin::IParam::ParamKind kind)
    : maxCharacters(limit), filterKind(kind) {}

void TextEditBuffer::SetText(std::string_view newText) {
    // The initial text is not filtered (it is the parameter's own display
    // text), only made safe for a single line.
    const plugin::IParam::ParamKind kind = filterKind;
    filterKind = plugin::IParam::KindNone;
    text.clear();
    caret = anchor = 0;
    Insert(newText);
    filterKind = kind;
    SelectAll();
}

std::string TextEditBuffer::SelectedText() const {
    return text.substr(SelectionStart(), SelectionEnd() - SelectionStart());
}

size_t TextEditBuffer::CharacterCount() const {
    return CountCharacters(text);
}

bool TextEditBuffer::Insert(std::string_view input) {
    const std::string safe = WellFormedUtf8(input);
    const size_t kept = CharacterCount() - CountCharacters(SelectedText());
    size_t room = safe.size();
    if (maxCharacters > 0) {
        const auto limit = static_cast<size_t>(maxCharacters);
        room = limit > kept ? limit - kept : 0;
    }
    std::string accepted;
    for (size_t i = 0; i < safe.size() && room > 0;) {
        size_t length = 0;
        const char32_t codePoint = DecodeAt(safe, i, length);
        // One line: control characters (line breaks, tabs) never go in.
        const bool control = codePoint < 0x20 || codePoint == 0x7F;
        if (!control && EntryAcceptsCharacter(filterKind, codePoint)) {
            accepted.append(safe, i, length);
            --room;
        }
        i += length;
    }
    if (accepted.empty())
        return false;
    const size_t start = SelectionStart();
    text.replace(start, SelectionEnd() - start, accepted);
    caret = anchor = start + accepted.size();
    return true;
}

bool TextEditBuffer::DeleteSelection() {
    if (!HasSelection())
        return false;
    const size_t start = SelectionStart();
    text.erase(start, SelectionEnd() - start);
    caret = anchor = start;
    return true;
}

bool TextEditBuffer::DeleteBackward() {
    if (DeleteSelection())
        return true;
    if (caret == 0)
        return false;
    const size_t previous = PreviousBoundary(caret);
    text.erase(previous, caret - previous);
    caret = anchor = previous;
    return true;
}

bool TextEditBuffer::DeleteForward() {
    if (DeleteSelection())
        return true;
    if (caret >= text.size())
        return false;
    text.erase(caret, NextBoundary(caret) - caret);
    return true;
}

void TextEditBuffer::MoveLeft(bool extend) {
    if (HasSelection() && !extend) {
        Place(SelectionStart(), false);
        return;
    }
    Place(PreviousBoundary(caret), extend);
}

void TextEditBuffer::MoveRight(bool extend) {
    if (HasSelection() && !extend) {
        Place(SelectionEnd(), false);
        return;
    }
    Place(NextBoundary(caret), extend);
}

void TextEditBuffer::MoveHome(bool extend) {
    Place(0, extend);
}

void TextEditBuffer::MoveEnd(bool extend) {
    Place(text.size(), extend);
}

void TextEditBuffer::SelectAll() {
    anchor = 0;
    caret = text.size();
}

void TextEditBuffer::SetCaret(size_t offset, bool extend) {
    offset = offset > text.size() ? text.size() : offset;
    while (offset > 0 && offset < text.size() && IsContinuation(text[offset]))
        --offset;
    Place(offset, extend);
}

size_t TextEditBuffer::PreviousBoundary(size_t offset) const {
    if (offset == 0)
        return 0;
    --offset;
    while (offset > 0 && IsContinuation(text[offset]))
        --offset;
    return offset;
}

size_t TextEditBuffer::NextBoundary(size_t offset) const {
    if (offset >= text.size())
        return text.size();
    ++offset;
    while (offset < text.size() && IsContinuation(text[offset]))
        ++offset;
    return offset;
}

void TextEditBuffer::Place(size_t offset, bool extend) {
    caret = offset;
    if (!extend)
        anchor = offset;
}

} // namespace ui
