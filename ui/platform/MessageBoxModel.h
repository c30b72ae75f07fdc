#pragma once

// A message box's logic without a display: the buttons and answers of a
// type, what Escape and closing the window answer, text wrapping and the
// geometry of the box. The X11 box (X11MessageBox) draws and drives these.

#include "ui/DialogTypes.h"
#include "ui/EditorTypes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ui {

struct MessageBoxButton {
    std::string label;
    int32_t answer = kAnswerNone;
};

struct MessageBoxChoices {
    std::vector<MessageBoxButton> buttons; // left to right
    size_t defaultButton = 0;
    // Escape and the window manager's close button; kAnswerNone: they do
    // nothing (a box without a way out but its buttons).
    int32_t escapeAnswer = kAnswerNone;
    // When the box must end without an answer (its window was destroyed):
    // the escape answer, else the most cautious button.
    int32_t dismissAnswer = kAnswerNone;
};

// [any] The buttons of the type's low four bits (an unknown value shows
// OK), the default button from bits 8 to 11 (the first when out of range).
MessageBoxChoices MessageBoxChoicesFor(int32_t type);

// Sizes of a box, in pixels at scale 1 (the box multiplies by its scale).
struct MessageBoxMetrics {
    float margin = 16.0f;
    float lineHeight = 20.0f;
    float textSize = 15.0f; // the text style's size
    float maxTextWidth = 420.0f;
    float minTextWidth = 240.0f;
    float buttonWidth = 84.0f;
    float buttonHeight = 28.0f;
    float buttonGap = 8.0f;

    MessageBoxMetrics Scaled(float scale) const;
};

// [any] The text's lines: broken at line feeds, and at spaces where a line
// is wider than maxWidth (a single word wider than that is broken between
// characters). Never empty (an empty text is one empty line).
std::vector<std::string> WrapMessageText(const std::string& text, float maxWidth,
                                         const std::function<float(const std::string&)>& width);

struct MessageBoxLayout {
    float width = 0.0f;
    float height = 0.0f;
    std::vector<IRectangle> lines;
    std::vector<IRectangle> buttons;
};

// [any] The lines above, the buttons in a row at the bottom right.
MessageBoxLayout LayOutMessageBox(const std::vector<float>& lineWidths, size_t buttonCount,
                                  const MessageBoxMetrics& metrics);

// [any] Where count buttons sit in a box of that size: in a row at the
// bottom right, margins inside.
std::vector<IRectangle> MessageBoxButtonRects(float width, float height, size_t count,
                                              const MessageBoxMetrics& metrics);

// [any] The button at a pixel of the box, or -1.
int32_t MessageBoxButtonAt(const MessageBoxLayout& layout, float x, float y);

} // namespace ui
