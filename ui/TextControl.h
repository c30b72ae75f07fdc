#pragma once

#include "ui/IControl.h"

#include <cstdarg>
#include <string>

namespace ui {

// A static text label over a background colour. It binds no parameter and
// ignores the pointer; with sizeToText its rectangle follows the text's
// measured size, centred where it was. UI thread.
class ITextControl : public IControl {
public:
    // Fully transparent: a label over the panel shows the panel.
    static constexpr IColour kNoBackground{0, 0, 0, 0};

    // [ui] utf8 may be null.
    ITextControl(const IRectangle& bounds, const char* utf8 = nullptr,
                 const ITextStyle& style = ITextStyle{},
                 const IColour& backgroundColor = kNoBackground, bool sizeToText = false);

    void OnInit() override;
    void Draw(IEditorCore& g) override;

    // [ui] Stores it when it differs, resizes to it with sizeToText, redraws.
    virtual void SetTextValue(const char* utf8);
    // [ui] printf-style, cut to maxLength bytes.
    void SetTextFormatted(int32_t maxLength, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
    // [ui]
    void ClearText() { SetTextValue(""); }

    const std::string& GetTextValue() const { return str; }
    const IColour& GetBackgroundColor() const { return backgroundColor; }

protected:
    // [ui] Measures str and centres a box of its size on the old rectangle.
    void SizeToText();

    std::string str;
    IColour backgroundColor;
    bool sizeToText;
};

} // namespace ui
