#include "ui/platform/MessageBoxModel.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

MessageBoxButton Button(int32_t answer) {
    switch (answer) {
    case kAnswerOk:
        return {"OK", answer};
    case kAnswerCancel:
        return {"Cancel", answer};
    case kAnswerAbort:
        return {"Abort", answer};
    case kAnswerRetry:
        return {"Retry", answer};
    case kAnswerIgnore:
        return {"Ignore", answer};
    case kAnswerYes:
        return {"Yes", answer};
    case kAnswerNo:
        return {"No", answer};
    case kAnswerTryAgain:
        return {"Try Again", answer};
    case kAnswerContinue:
        return {"Continue", answer};
    default:
        return {"", kAnswerNone};
    }
}

// The length of the UTF-8 character starting with this byte.
size_t CharacterLength(unsigned char lead) {
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// Appends the words of one paragraph as lines no wider than maxWidth.
void WrapParagraph(const std::string& paragraph, float maxWidth,
                   const std::function<float(const std::string&)>& width,
                   std::vector<std::string>& lines) {
    std::string line;
    size_t i = 0;
    while (i < paragraph.size()) {
        const size_t space = paragraph.find(' ', i);
        const size_t end = space == std::string::npos ? paragraph.size() : space;
        const std::string word = paragraph.substr(i, end - i);
        i = end == paragraph.size() ? end : end + 1;
        const std::string joined = line.empty() ? word : line + " " + word;
        if (width(joined) <= maxWidth) {
            line = joined;
            continue;
        }
        if (!line.empty())
            lines.push_back(line);
        line.clear();
        // A word too wide for a line of its own goes character by character.
        for (size_t k = 0; k < word.size();) {
            const size_t length =
                std::min(CharacterLength(static_cast<unsigned char>(word[k])), word.size() - k);
            const std::string longer = line + word.substr(k, length);
            if (!line.empty() && width(longer) > maxWidth) {
                lines.push_back(line);
                line = word.substr(k, length);
            } else {
                line = longer;
            }
            k += length;
        }
    }
    lines.push_back(line);
}

} // namespace

MessageBoxChoices MessageBoxChoicesFor(int32_t type) {
    MessageBoxChoices choices;
    std::vector<int32_t> answers;
    switch (type & kMessageBoxButtonsMask) {
    case kMessageBoxOkCancel:
        answers = {kAnswerOk, kAnswerCancel};
        choices.escapeAnswer = kAnswerCancel;
        break;
    case kMessageBoxAbortRetryIgnore:
        answers = {kAnswerAbort, kAnswerRetry, kAnswerIgnore};
        choices.dismissAnswer = kAnswerAbort;
        break;
    case kMessageBoxYesNoCancel:
        answers = {kAnswerYes, kAnswerNo, kAnswerCancel};
        choices.escapeAnswer = kAnswerCancel;
        break;
    case kMessageBoxYesNo:
        answers = {kAnswerYes, kAnswerNo};
        choices.dismissAnswer = kAnswerNo;
        break;
    case kMessageBoxRetryCancel:
        answers = {kAnswerRetry, kAnswerCancel};
        choices.escapeAnswer = kAnswerCancel;
        break;
    case kMessageBoxCancelTryContinue:
        answers = {kAnswerCancel, kAnswerTryAgain, kAnswerContinue};
        choices.escapeAnswer = kAnswerCancel;
        break;
    default:
        answers = {kAnswerOk};
        choices.escapeAnswer = kAnswerOk;
        break;
    }
    for (int32_t answer : answers)
        choices.buttons.push_back(Button(answer));
    if (choices.escapeAnswer != kAnswerNone)
        choices.dismissAnswer = choices.escapeAnswer;
    const auto requested = static_cast<size_t>((type & kMessageBoxDefaultButtonMask) >> 8);
    choices.defaultButton = requested < choices.buttons.size() ? requested : 0;
    return choices;
}

MessageBoxMetrics MessageBoxMetrics::Scaled(float scale) const {
    MessageBoxMetrics m = *this;
    for (float* value : {&m.margin, &m.lineHeight, &m.textSize, &m.maxTextWidth, &m.minTextWidth,
                         &m.buttonWidth, &m.buttonHeight, &m.buttonGap})
        *value = std::round(*value * scale);
    return m;
}

std::vector<std::string> WrapMessageText(const std::string& text, float maxWidth,
                                         const std::function<float(const std::string&)>& width) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (true) {
        const size_t feed = text.find('\n', start);
        std::string paragraph =
            text.substr(start, feed == std::string::npos ? std::string::npos : feed - start);
        if (!paragraph.empty() && paragraph.back() == '\r')
            paragraph.pop_back();
        WrapParagraph(paragraph, maxWidth, width, lines);
        if (feed == std::string::npos)
            break;
        start = feed + 1;
    }
    return lines;
}

MessageBoxLayout LayOutMessageBox(const std::vector<float>& lineWidths, size_t buttonCount,
                                  const MessageBoxMetrics& m) {
    MessageBoxLayout layout;
    float textWidth = m.minTextWidth;
    for (float w : lineWidths)
        textWidth = std::max(textWidth, std::ceil(w));
    textWidth = std::min(textWidth, m.maxTextWidth);
    const auto count = static_cast<float>(buttonCount);
    const float buttonsWidth = count * m.buttonWidth + std::max(0.0f, count - 1.0f) * m.buttonGap;
    layout.width = std::max(textWidth, buttonsWidth) + 2.0f * m.margin;

    float y = m.margin;
    for (size_t i = 0; i < lineWidths.size(); ++i) {
        layout.lines.emplace_back(m.margin, y, layout.width - m.margin, y + m.lineHeight);
        y += m.lineHeight;
    }
    layout.height = y + m.margin + m.buttonHeight + m.margin;
    layout.buttons = MessageBoxButtonRects(layout.width, layout.height, buttonCount, m);
    return layout;
}

std::vector<IRectangle> MessageBoxButtonRects(float width, float height, size_t count,
                                              const MessageBoxMetrics& m) {
    const auto n = static_cast<float>(count);
    const float buttonsWidth = n * m.buttonWidth + std::max(0.0f, n - 1.0f) * m.buttonGap;
    const float y = height - m.margin - m.buttonHeight;
    float x = width - m.margin - buttonsWidth;
    std::vector<IRectangle> rects;
    for (size_t i = 0; i < count; ++i) {
        rects.emplace_back(x, y, x + m.buttonWidth, y + m.buttonHeight);
        x += m.buttonWidth + m.buttonGap;
    }
    return rects;
}

int32_t MessageBoxButtonAt(const MessageBoxLayout& layout, float x, float y) {
    for (size_t i = 0; i < layout.buttons.size(); ++i)
        if (layout.buttons[i].Contains(x, y))
            return static_cast<int32_t>(i);
    return -1;
}

} // namespace ui
