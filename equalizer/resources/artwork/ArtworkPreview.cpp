#include "equalizer/resources/artwork/ArtworkPreview.h"

#include "equalizer/resources/artwork/KnobArt.h"
#include "equalizer/resources/artwork/PanelArt.h"
#include "equalizer/resources/artwork/PanelLayout.h"
#include "equalizer/resources/artwork/SwitchArt.h"

#include <cmath>

namespace artwork {

namespace {

// Draws frame `frame` of a strip with `framePixels` cells, centred on a
// rectangle of `rectUnits` at `topLeft`, as the editor's knob does.
void DrawFrame(cairo_t* cr, cairo_surface_t* strip, int framePixels, int frame, Point topLeft,
               double rectUnits, double scale) {
    const double x = std::lround(topLeft.x * scale) + (rectUnits * scale - framePixels) / 2;
    const double y = std::lround(topLeft.y * scale) + (rectUnits * scale - framePixels) / 2;
    SavedState saved(cr);
    cairo_rectangle(cr, x, y, framePixels, framePixels);
    cairo_clip(cr);
    cairo_set_source_surface(cr, strip, x - framePixels * (frame % kStripColumns),
                             y - framePixels * (frame / kStripColumns));
    cairo_paint(cr);
}

} // namespace

SurfacePtr RenderPreview(const FontLibrary& fonts, double scale) {
    const bool large = scale > 1.0;
    SurfacePtr panel = RenderPanel(fonts, scale);
    const int gainPixels = large ? 94 : 47;
    const int frequencyPixels = large ? 118 : 64;
    SurfacePtr gainStrip = RenderGainKnobStrip(gainPixels, scale);
    SurfacePtr frequencyStrip = RenderFrequencyKnobStrip(frequencyPixels, scale);
    SurfacePtr button = RenderSwitch(fonts, scale);

    ContextPtr context = MakeContext(panel.get());
    cairo_t* cr = context.get();
    constexpr double kGainDb[] = {0.0, 10.0, -20.0, 20.0, -5.0};
    for (size_t i = 0; i < layout::kGainKnobs.size(); ++i) {
        const GainKnob& knob = layout::kGainKnobs[i];
        DrawFrame(cr, gainStrip.get(), gainPixels, knob.FrameForDb(kGainDb[i]), knob.topLeft,
                  kGainFrameUnits, scale);
    }
    constexpr int kPositions[] = {2, 1, 5, 3};
    for (size_t i = 0; i < layout::kFrequencyKnobs.size(); ++i) {
        const FrequencyKnob& knob = layout::kFrequencyKnobs[i];
        DrawFrame(cr, frequencyStrip.get(), frequencyPixels,
                  FrameForValue(StepValue(kPositions[i], knob.Steps())), knob.topLeft,
                  kFrequencyFrameUnits, scale);
    }
    const int side = static_cast<int>(std::lround(layout::kSwitchUnits * scale));
    {
        SavedState saved(cr);
        const double x = layout::kSwitchTopLeft.x * scale, y = layout::kSwitchTopLeft.y * scale;
        cairo_rectangle(cr, x, y, side, side);
        cairo_clip(cr);
        cairo_set_source_surface(cr, button.get(), x, y - side);
        cairo_paint(cr);
    }
    // The editor's own drawing over the panel: the version text.
    SetColour(cr, {230 / 255.0, 230 / 255.0, 230 / 255.0});
    cairo_scale(cr, scale, scale);
    const TextStyle version{fonts.Regular(), 12.0 * 0.84, 0.0};
    ShowTextAt(cr, version, "4.0.6", layout::kVersionBaseline);
    ThrowIfFailed(cairo_status(cr), "preview");
    cairo_surface_flush(panel.get());
    return panel;
}

} // namespace artwork
