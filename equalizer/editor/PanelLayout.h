#pragma once

// The equalizer's editor: the panel laid out on an editor object, the zoom
// restored when it opens, and the window the plug-in creates. UI thread.

#include "ui/IEditorCore.h"

#include <array>
#include <string>

namespace ui {
class IGraphicalEditorDelegate;
struct ResourceTable;
} // namespace ui

namespace equalizer {

inline constexpr int32_t kPanelFps = 60;
// The zoom steps the corner handle snaps to.
inline constexpr std::array<float, 5> kZoomSteps{1.0f, 1.25f, 1.5f, 1.75f, 2.0f};

// The resources the panel is drawn from.
inline constexpr const char* kPanelFontId = "Roboto-Regular";
inline constexpr const char* kPanelFontFile = "Roboto-Regular.ttf";
inline constexpr const char* kBackgroundImage = "LEQ_back.png";
inline constexpr const char* kGainKnobStrip = "smallknob.png";
inline constexpr const char* kFrequencyKnobStrip = "x271_frame_stack_fixed_again.png";
inline constexpr const char* kOversamplingImage = "LEQ_OS.png";

// [any] "major.minor.patch" of a version packed as 0xMMMMmmpp.
std::string VersionText(uint32_t packedVersion);

// [ui] Hover tracking on, the font, the four images at the current backing
// scale, then the thirteen controls in drawing order: background, the five
// gain knobs, the four frequency knobs, the oversampling button, the version
// label (versionText) and the corner-resize handle. The knobs keep the
// panel's rectangles at every zoom.
void LayoutPanel(ui::IEditorCore& g, const std::string& versionText);

// [ui] An open editor takes the stored zoom unless it is within 0.0001 of
// its own; the images are reloaded for it at once.
void RestoreDisplayScale(ui::IEditorCore& g, float storedScale);

// [ui] The editor window at 664 x 215 logical units, 60 frames per second and
// the zoom given, drawing from the module's embedded files.
ui::IEditorCore* MakePanelWindow(ui::IGraphicalEditorDelegate& delegate, float drawScale,
                                 const ui::ResourceTable* resources);

} // namespace equalizer
