#include "ui/TextControl.h"

#include "ui/IEditorCore.h"

#include <cstdio>
#include <vector>

namespace ui {

ITextControl::ITextControl(const IRectangle& bounds, const char* utf8, const ITextStyle& style,
                           const IColour& backgroundColor, bool sizeToText)
    : IControl(bounds), str(utf8 != nullptr ? utf8 : ""), backgroundColor(backgroundColor),
      sizeToText(sizeToText) {
    text = style;
    ignoreMouse = true;
}

void ITextControl::OnInit() {
    if (sizeToText)
        SizeToText();
}

void ITextControl::Draw(IEditorCore& g) {
    g.FillRect(backgroundColor, rect, &blend);
    // While the text is being edited the field shows it instead.
    if (!str.empty() && g.ControlInTextEntry() != this)
        g.DrawText(text, str.c_str(), rect, &blend);
}

void ITextControl::SetTextValue(const char* utf8) {
    const char* newText = utf8 != nullptr ? utf8 : "";
    if (str == newText)
        return;
    str = newText;
    if (sizeToText)
        SizeToText();
    SetDirty(false);
}

void ITextControl::SetTextFormatted(int32_t maxLength, const char* format, ...) {
    if (maxLength < 0 || format == nullptr)
        return;
    std::vector<char> buffer(static_cast<size_t>(maxLength) + 1, '\0');
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    va_end(args);
    str = buffer.data();
    SetDirty(false);
}

void ITextControl::SizeToText() {
    if (graphics == nullptr)
        return; // measured again when attached
    IRectangle bounds = rect;
    graphics->MeasureText(text, str.c_str(), bounds);
    rect = targetRect = rect.GetCentredInside(bounds.W(), bounds.H());
    mouseIsOver = false;
    OnResize();
}

} // namespace ui
