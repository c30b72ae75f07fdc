#include "equalizer/editor/PanelLayout.h"

#include "equalizer/editor/CorvaneSwitchControl.h"
#include "equalizer/editor/GridKnobControls.h"
#include "equalizer/editor/PanelGeometry.h"
#include "equalizer/editor/RasterScaleCornerDragControl.h"
#include "plugin/IParam.h"
#include "ui/IGraphicalEditorDelegate.h"
#include "ui/TextControl.h"
#include "ui/platform/IEditorWindow.h"

#include <cmath>
#include <cstdio>
#include <memory>

namespace equalizer {

namespace {

ui::IRectangle ToRectangle(const panel::Rect& r) {
    return {static_cast<float>(r.L), static_cast<float>(r.T), static_cast<float>(r.R),
            static_cast<float>(r.B)};
}

// The highest position of a list parameter: its number of values less one.
int32_t HighestPosition(const ui::IEditorCore& g, int32_t paramIdx) {
    const plugin::IParam* param = g.Delegate().ParamAt(paramIdx);
    if (param == nullptr)
        return 1;
    const double span = param->Max() - param->Min();
    return std::isfinite(span) && span >= 1.0 && span < 1024.0 ? static_cast<int32_t>(span) : 1;
}

ui::ITextStyle PanelTextStyle(float size, const ui::IColour& colour, int32_t align) {
    ui::ITextStyle style;
    std::snprintf(style.font, sizeof style.font, "%s", kPanelFontId);
    style.size = size;
    style.color = colour;
    style.entryBackground = ui::kColourWhite;
    style.entryForeground = ui::kColourBlack;
    style.angle = 0.0f;
    style.align = align;
    style.valign = ui::kVAlignMiddle;
    return style;
}

constexpr ui::IColour kVersionColour{255, 230, 230, 230};

} // namespace

std::string VersionText(uint32_t packedVersion) {
    return std::to_string(packedVersion >> 16) + "." + std::to_string((packedVersion >> 8) & 0xFF) +
           "." + std::to_string(packedVersion & 0xFF);
}

void LayoutPanel(ui::IEditorCore& g, const std::string& versionText) {
    g.EnableHoverTracking(true);
    g.LoadFont(kPanelFontId, kPanelFontFile);
    const ui::IBitmapRef background = g.LoadBitmap(kBackgroundImage, 1);
    const ui::IBitmapRef gainStrip = g.LoadBitmap(kGainKnobStrip, 1);
    const ui::IBitmapRef frequencyStrip = g.LoadBitmap(kFrequencyKnobStrip, 1);
    const ui::IBitmapRef oversampling = g.LoadBitmap(kOversamplingImage, 2);

    g.AttachControl(std::make_unique<ui::IBitmapControl>(0.0f, 0.0f, background));
    for (const panel::Knob& knob : panel::kGainKnobs) {
        g.AttachControl(std::make_unique<IBGridCorvaneKnobControl>(
            ToRectangle(knob.rect), gainStrip, knob.paramIdx, panel::kStripFrames,
            panel::kStripColumns));
    }
    // The frequency strip's scale-2 frames are 59 units where its scale-1
    // frames are 64: a rectangle taken from the bitmap would move the knob
    // off the centre its legends are printed around, so the panel's own
    // 64-unit rectangle is kept and the frame drawn centred in it.
    for (const panel::Knob& knob : panel::kFrequencyKnobs) {
        auto control = std::make_unique<IBGridDetentKnobControl>(
            ToRectangle(knob.rect), frequencyStrip, knob.paramIdx, panel::kStripFrames,
            panel::kStripColumns);
        control->SetSteps(HighestPosition(g, knob.paramIdx));
        g.AttachControl(std::move(control));
    }
    const panel::Rect& button = panel::kOversamplingSwitch.rect;
    g.AttachControl(std::make_unique<IBCorvaneSwitchControl>(
        static_cast<float>(button.L), static_cast<float>(button.T), oversampling,
        panel::kOversamplingSwitch.paramIdx));
    g.AttachControl(
        std::make_unique<ui::ITextControl>(ToRectangle(panel::kVersionLabel), versionText.c_str(),
                                           PanelTextStyle(12.0f, kVersionColour, ui::kAlignNear),
                                           ui::ITextControl::kNoBackground, false));
    const ui::IRectangle bounds(0.0f, 0.0f, static_cast<float>(g.Width()),
                                static_cast<float>(g.Height()));
    g.AttachControl(std::make_unique<IRasterScaleCornerDragControl>(
        bounds, static_cast<float>(panel::kCornerHandleSize),
        std::vector<float>(kZoomSteps.begin(), kZoomSteps.end()), ui::kColourTranslucent,
        ui::kColourBlack, ui::kColourBlack,
        PanelTextStyle(12.0f, ui::kColourWhite, ui::kAlignCenter)));
}

void RestoreDisplayScale(ui::IEditorCore& g, float storedScale) {
    if (!(std::fabs(storedScale - g.DrawScale()) > IRasterScaleCornerDragControl::kScaleTolerance))
        return;
    g.SetResizeInProgress(true);
    g.SetFreeScaleHeld(false);
    g.Resize(g.Width(), g.Height(), storedScale, true);
    g.FinishResize();
}

ui::IEditorCore* MakePanelWindow(ui::IGraphicalEditorDelegate& delegate, float drawScale,
                                 const ui::ResourceTable* resources) {
    auto* window =
        new ui::IEditorWindow(delegate, panel::kWidth, panel::kHeight, kPanelFps, drawScale);
    window->SetModuleInstance(resources);
    return window;
}

} // namespace equalizer
