// The window's value prompts: the text field over a control, served on the
// ticks after the events that end it, and the modal popup menu.

#include "ui/platform/IEditorWindow.h"

#include "ui/IGraphicalEditorDelegate.h"
#include "ui/platform/IEditorWindowSession.h"
#include "ui/platform/PopupMenuModel.h"
#include "ui/platform/X11PopupMenu.h"

#include <cmath>

namespace ui {

using namespace x11;

namespace {

constexpr float kMaxPixel = 32767.0f;

} // namespace

void IEditorWindow::OpenTextField(int32_t paramIdx, const ITextStyle& style,
                                  const IRectangle& bounds, int32_t maxLength,
                                  const char* utf8Text) {
    if (session && session->textField)
        return; // one field at a time
    if (!session || session->connectionLost || !session->window.Exists()) {
        EndTextEntryUnanswered();
        return;
    }
    const float k = PixelScale();
    const float x = std::trunc(bounds.L * k);
    const float y = std::trunc(bounds.T * k);
    const float w = std::trunc(bounds.R * k - x + 1.0f);
    const float h = std::trunc(bounds.B * k - y + 1.0f);
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(w) || !std::isfinite(h) ||
        std::abs(x) > kMaxPixel || std::abs(y) > kMaxPixel || w < 1.0f || h < 1.0f ||
        w > kMaxPixel || h > kMaxPixel) {
        EndTextEntryUnanswered();
        return;
    }

    X11TextField::Setup setup;
    setup.parent = session->window.Id();
    setup.geometry = PixelRect{static_cast<int32_t>(x), static_cast<int32_t>(y),
                               static_cast<int32_t>(w), static_cast<int32_t>(h)};
    setup.style = style;
    setup.pixelScale = k;
    setup.logicalHeight = bounds.H();
    setup.maxCharacters = maxLength;
    const plugin::IParam* param = paramIdx >= 0 ? delegate.ParamAt(paramIdx) : nullptr;
    setup.filterKind = param != nullptr ? param->Kind() : plugin::IParam::KindNone;
    setup.text = utf8Text != nullptr ? utf8Text : "";
    setup.cursor = session->pointer->ThemeCursor(CursorShape::TextBeam);
    X11TextField::Clipboard clipboard;
    clipboard.write = [this](const std::string& text) { WriteClipboardText(text.c_str()); };
    clipboard.read = [this] {
        std::string text;
        ReadClipboardText(text);
        return text;
    };
    auto field = std::make_unique<X11TextField>(
        session->connection, windowFonts, setup, std::move(clipboard),
        [this](xcb_keycode_t keycode, uint16_t state) { return TranslateKey(keycode, state); });
    if (!field->Exists()) {
        EndTextEntryUnanswered();
        return;
    }
    entryState.Opened();
    entryStyle = style;
    entryBounds = bounds;
    session->textField = std::move(field);
    session->textField->Show();
    Flush();
}

void IEditorWindow::CancelTextEntry() {
    if (session && session->textField)
        entryState.Cancel();
    else
        EndTextEntryUnanswered();
}

void IEditorWindow::EndTextEntryUnanswered() {
    // The control keeps its value and the editor takes pointer input again.
    inTextEntry = nullptr;
    textEntryValueIndex = -1;
}

bool IEditorWindow::ServeTextEntry() {
    if (!session || !session->textField)
        return false;
    switch (entryState.Serve()) {
    case TextEntryState::Action::None:
        return false;
    case TextEntryState::Action::Commit: {
        const std::string text = session->textField->Text();
        CloseTextField();
        SetControlValueAfterTextEdit(text.c_str());
        break;
    }
    case TextEntryState::Action::Cancel:
        CloseTextField();
        EndTextEntryUnanswered();
        break;
    }
    Flush();
    return true;
}

void IEditorWindow::CloseTextField() {
    if (!session || !session->textField)
        return;
    // The focus goes back first, so that the field's going causes no
    // request of its own.
    session->textField->GiveFocusBack(session->window.Id());
    session->textField.reset();
    entryState.Opened();
}

uint32_t IEditorWindow::TextFieldWindow() const {
    return session && session->textField ? session->textField->Id() : 0;
}

bool IEditorWindow::OnKeyDown(float x, float y, const IKeyEvent& key) {
    if (session && session->textField) {
        session->textField->OnKey(key, entryState);
        Flush();
        return true;
    }
    return IEditorDrawing::OnKeyDown(x, y, key);
}

bool IEditorWindow::OnKeyUp(float x, float y, const IKeyEvent& key) {
    if (session && session->textField)
        return true;
    return IEditorDrawing::OnKeyUp(x, y, key);
}

IPopupMenu* IEditorWindow::ShowPopupMenu(IPopupMenu& menu, const IRectangle& bounds) {
    const std::unique_ptr<MenuLevel> levels = BuildMenuLevels(menu);
    if (!levels || !session || session->connectionLost || !session->window.Exists())
        return nullptr;
    Session& s = *session;
    const float k = PixelScale();
    const auto pixel = [](float value) {
        return static_cast<int16_t>(std::clamp(std::trunc(value), -kMaxPixel, kMaxPixel));
    };
    xcb_connection_t* c = s.connection.Get();
    auto below = GetReply(c,
                          xcb_translate_coordinates(c, s.window.Id(), s.context.root,
                                                    pixel(bounds.L * k), pixel(bounds.B * k)),
                          xcb_translate_coordinates_reply);
    auto above = GetReply(c,
                          xcb_translate_coordinates(c, s.window.Id(), s.context.root,
                                                    pixel(bounds.L * k), pixel(bounds.T * k)),
                          xcb_translate_coordinates_reply);
    if (!below || !above)
        return nullptr;
    X11PopupMenu popup(
        s.connection, s.window.Id(), windowFonts, *levels, screenScale,
        [this](xcb_keycode_t keycode, uint16_t state) { return TranslateKey(keycode, state); });
    Modal modal(*this);
    const int32_t id = popup.Run(below->dst_x, below->dst_y, above->dst_y, modal);
    if (!session)
        return nullptr;
    // The press that opened the menu ended in it: its release went there.
    if (pressedButtons != 0)
        PointerTakenAway();
    InvalidateWholeWindow();
    Flush();
    return id >= 0 ? ChooseMenuItem(menu, id) : nullptr;
}

} // namespace ui
