#pragma once

// The equalizer's whole panel as the editor shows it, built from the
// module's embedded images: the background, the nine knobs at chosen film
// strip frames, the oversampling button lit, and the version text. Shared by
// the panel tests and the drawing benchmarks.

#include "equalizer/resources/artwork/PanelLayout.h"
#include "ui/IControl.h"
#include "ui/IEditorCore.h"
#include "ui/TextControl.h"

#include <string>
#include <vector>

namespace drawtest {

// One frame of a grid film strip (frames row by row, columns x rows),
// centred in the control's rectangle.
class StripFrameControl : public ui::IControl {
public:
    StripFrameControl(const ui::IRectangle& rect, const ui::IBitmapRef& bitmap, int32_t columns,
                      int32_t rows, int32_t frame)
        : IControl(rect), bitmap(bitmap), columns(columns), rows(rows), frame(frame) {}

    int32_t FrameWidth() const { return bitmap.width / columns; }
    int32_t FrameHeight() const { return bitmap.height / rows; }
    ui::IRectangle FrameRect() const {
        return GetRect().GetCentredInside(static_cast<float>(FrameWidth()),
                                          static_cast<float>(FrameHeight()));
    }
    void Draw(ui::IEditorCore& g) override {
        g.DrawBitmap(bitmap, FrameRect(), FrameWidth() * (frame % columns),
                     FrameHeight() * (frame / columns));
    }

    ui::IBitmapRef bitmap;
    int32_t columns, rows, frame;
};

struct PanelPiece {
    ui::IRectangle rect; // logical units
    std::string image;
    int32_t columns, rows, frame;
};

inline constexpr ui::IRectangle kVersionBox{576, 195, 656, 215};
inline constexpr const char* kVersionText = "v4.0.6";

// Background first, then the knobs and the button, in drawing order.
inline std::vector<PanelPiece> PanelPieces() {
    using namespace artwork;
    std::vector<PanelPiece> pieces;
    pieces.push_back({{0, 0, 664, 215}, "LEQ_back.png", 1, 1, 0});
    int32_t frame = 0;
    const auto nextFrame = [&frame] { return frame = (frame + 67) % kStripFrames; };
    for (const FrequencyKnob& knob : layout::kFrequencyKnobs) {
        const float x = static_cast<float>(knob.topLeft.x), y = static_cast<float>(knob.topLeft.y);
        pieces.push_back({{x, y, x + 64, y + 64},
                          "x271_frame_stack_fixed_again.png",
                          kStripColumns,
                          kStripRows,
                          nextFrame()});
    }
    for (const GainKnob& knob : layout::kGainKnobs) {
        const float x = static_cast<float>(knob.topLeft.x), y = static_cast<float>(knob.topLeft.y);
        pieces.push_back(
            {{x, y, x + 47, y + 47}, "smallknob.png", kStripColumns, kStripRows, nextFrame()});
    }
    const float sx = static_cast<float>(layout::kSwitchTopLeft.x);
    const float sy = static_cast<float>(layout::kSwitchTopLeft.y);
    pieces.push_back({{sx, sy, sx + 29, sy + 29}, "LEQ_OS.png", 1, 2, 1}); // on: the lower frame
    return pieces;
}

inline ui::ITextStyle VersionStyle() {
    ui::ITextStyle style;
    style.size = 12;
    style.color = {255, 235, 235, 225};
    return style;
}

// Loads the font and the images at the editor's current scale and attaches
// one control per piece. False when something could not be loaded.
inline bool AttachPanel(ui::IEditorCore& editor) {
    if (!editor.LoadFont("Roboto-Regular", "Roboto-Regular.ttf")) {
        return false;
    }
    for (const PanelPiece& piece : PanelPieces()) {
        const ui::IBitmapRef bitmap = editor.LoadBitmap(piece.image);
        if (!bitmap.IsValid()) {
            return false;
        }
        editor.AttachControl(std::make_unique<StripFrameControl>(piece.rect, bitmap, piece.columns,
                                                                 piece.rows, piece.frame));
    }
    editor.AttachControl(
        std::make_unique<ui::ITextControl>(kVersionBox, kVersionText, VersionStyle()));
    return true;
}

} // namespace drawtest
