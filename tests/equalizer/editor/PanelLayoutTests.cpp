// The panel as the plug-in lays it out: the controls and what they are bound
// to, the knobs' places at both image resolutions (also in pixels drawn from
// the module's own images), the zoom restored at opening, and the README's
// picture of the panel against a fresh one.

#include "PanelFixture.h"

#include "equalizer/editor/CorvaneSwitchControl.h"
#include "equalizer/editor/GridKnobControls.h"
#include "equalizer/editor/RasterScaleCornerDragControl.h"
#include "tools/panel/OffscreenPanel.h"
#include "ui/TextControl.h"

#include "pluginterfaces/gui/iplugview.h"

#include <cairo.h>

#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

using namespace paneltest;
namespace panel = equalizer::panel;

bool DrewBitmapInto(const PanelRecorder& editor, const ui::IRectangle& dest) {
    for (const uitest::DrawOp& op : editor.ops)
        if (op.kind == uitest::DrawOp::Bitmap && op.rect == dest)
            return true;
    return false;
}

class PanelLayout : public PanelFixture {};

TEST_F(PanelLayout, ThirteenControlsInDrawingOrderBoundToTheirParameters) {
    Open();
    ASSERT_EQ(editor->NControls(), 13);
    EXPECT_TRUE(editor->HoverTracking());
    EXPECT_NE(
        std::find(editor->windowLog.begin(), editor->windowLog.end(), "typeface Roboto-Regular"),
        editor->windowLog.end());

    const auto* background = dynamic_cast<ui::IBitmapControl*>(editor->GetControl(0));
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(background->GetRect(), ui::IRectangle(0, 0, 664, 215));
    EXPECT_EQ(background->ParamIndexOf(0), -1);

    // Gain knobs: output, low shelf, mid 1, mid 2, high shelf.
    const int32_t gainParams[] = {equalizer::Gain, equalizer::LoShelfLevel, equalizer::MFLevel1,
                                  equalizer::MFLevel2, equalizer::HiShelfLevel};
    const ui::IRectangle gainRects[] = {{53, 92, 100, 139},
                                        {270, 139, 317, 186},
                                        {376, 139, 423, 186},
                                        {482, 139, 529, 186},
                                        {581, 80, 628, 127}};
    for (int i = 0; i < 5; ++i) {
        const auto* knob =
            dynamic_cast<equalizer::IBGridCorvaneKnobControl*>(editor->GetControl(1 + i));
        ASSERT_NE(knob, nullptr) << i;
        EXPECT_EQ(knob->ParamIndexOf(0), gainParams[i]);
        EXPECT_EQ(knob->GetRect(), gainRects[i]);
        EXPECT_EQ(knob->GetGearing(), 4.0);
        EXPECT_EQ(knob->GetDirection(), ui::kVertical);
    }
    // Frequency knobs: high-pass, low shelf, mid 1, mid 2, each with one
    // position per value of its list.
    const int32_t frequencyParams[] = {equalizer::HPF, equalizer::LoShelfFreq, equalizer::MF1Freq,
                                       equalizer::MF2Freq};
    const int32_t steps[] = {5, 3, 5, 6};
    const ui::IRectangle frequencyRects[] = {
        {158, 50, 222, 114}, {261, 29, 325, 93}, {367, 29, 431, 93}, {471, 29, 535, 93}};
    for (int i = 0; i < 4; ++i) {
        const auto* knob =
            dynamic_cast<equalizer::IBGridDetentKnobControl*>(editor->GetControl(6 + i));
        ASSERT_NE(knob, nullptr) << i;
        EXPECT_EQ(knob->ParamIndexOf(0), frequencyParams[i]);
        EXPECT_EQ(knob->Steps(), steps[i]);
        EXPECT_EQ(knob->GetRect(), frequencyRects[i]);
    }
    const auto* button = dynamic_cast<equalizer::IBCorvaneSwitchControl*>(editor->GetControl(10));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->ParamIndexOf(0), equalizer::Oversampling);
    EXPECT_EQ(button->GetRect(), ui::IRectangle(173, 157, 202, 186));
    EXPECT_EQ(button->EntryX(), 167.5f);
    EXPECT_EQ(button->EntryY(), 163.5f);

    const auto* label = dynamic_cast<ui::ITextControl*>(editor->GetControl(11));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->GetTextValue(), "4.0.6");
    EXPECT_EQ(label->GetRect(), ui::IRectangle(576, 195, 656, 215));
    EXPECT_EQ(label->GetText().align, ui::kAlignNear);
    EXPECT_EQ(label->GetText().size, 12.0f);
    EXPECT_EQ(label->GetText().color, (ui::IColour{255, 230, 230, 230}));
    EXPECT_TRUE(label->GetIgnoreMouse());
    const auto* corner =
        dynamic_cast<equalizer::IRasterScaleCornerDragControl*>(editor->GetControl(12));
    ASSERT_NE(corner, nullptr);
    EXPECT_EQ(corner->Scales(), (std::vector<float>{1.0f, 1.25f, 1.5f, 1.75f, 2.0f}));

    // Every knob's frame of the scale-1 images fills its rectangle exactly.
    editor->Redraw();
    for (const panel::Knob& knob : panel::kGainKnobs)
        EXPECT_TRUE(DrewBitmapInto(*editor, ToRectangle(knob.rect)));
    for (const panel::Knob& knob : panel::kFrequencyKnobs)
        EXPECT_TRUE(DrewBitmapInto(*editor, ToRectangle(knob.rect)));
    EXPECT_NE(std::find(editor->texts.begin(), editor->texts.end(), "4.0.6"), editor->texts.end());
}

TEST_F(PanelLayout, WithTheScale2ImagesTheFrequencyKnobsKeepTheirPlaceBetweenTheirLegends) {
    Open(1.5f);
    editor->Redraw();
    for (const panel::Knob& knob : panel::kFrequencyKnobs) {
        const ui::IRectangle rect = ToRectangle(knob.rect);
        EXPECT_EQ(ControlFor(knob.paramIdx).GetRect(), rect);
        // The 59-unit frame, centred: 2.5 units in from every edge.
        EXPECT_TRUE(
            DrewBitmapInto(*editor, {rect.L + 2.5f, rect.T + 2.5f, rect.R - 2.5f, rect.B - 2.5f}))
            << knob.paramIdx;
    }
    for (const panel::Knob& knob : panel::kGainKnobs)
        EXPECT_TRUE(DrewBitmapInto(*editor, ToRectangle(knob.rect)));
}

TEST_F(PanelLayout, OpeningTakesTheStoredZoomUnlessItIsTheEditorsOwn) {
    // Within 0.0001 of the editor's zoom nothing is resized.
    config.Store("1.00005\n");
    Open(1.0f);
    EXPECT_EQ(editor->DrawScale(), 1.0f);
    plugin->CloseWindow();
    EXPECT_EQ(config.Stored(), "1.0000\n");

    config.Store("1.5\n");
    Open(1.0f);
    EXPECT_EQ(editor->DrawScale(), 1.5f);
    EXPECT_FALSE(editor->ResizeInProgress());
    EXPECT_EQ(plugin->EditorWidth(), 996);
    EXPECT_EQ(plugin->EditorHeight(), 322);
    // The images were reloaded for it: the 59-unit frequency frames.
    editor->Redraw();
    EXPECT_TRUE(DrewBitmapInto(*editor, {160.5f, 52.5f, 219.5f, 111.5f}));
    plugin->CloseWindow();

    // Another instance stores 1.75 while this one is closed: it wins over
    // the size this instance's editor had (1.5).
    config.Store("1.75\n");
    Open(1.0f);
    EXPECT_EQ(editor->DrawScale(), 1.75f);
    plugin->CloseWindow();

    // Without a readable preference the editor keeps this instance's size.
    config.Store("garbage\n");
    Open(1.0f);
    EXPECT_EQ(editor->DrawScale(), 1.75f);
}

TEST_F(PanelLayout, TheViewReportsTheSizeTheEditorWillOpenAt) {
    config.Store("1.5\n");
    IPtr<IPlugView> view = owned(controller->createView(Vst::ViewType::kEditor));
    ASSERT_TRUE(view);
    ViewRect size;
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.getWidth(), 996);
    EXPECT_EQ(size.getHeight(), 322);
}

// ---- Pixels of the real panel, drawn from the module's images ----

struct Picture {
    std::vector<uint8_t> grey; // luminance, one byte per pixel
    int width = 0;
    int height = 0;
    uint8_t At(int x, int y) const { return grey[static_cast<size_t>(y) * width + x]; }
};

Picture GreyOf(const ui::FrameBufferView& frame) {
    Picture picture{{}, frame.width, frame.height};
    picture.grey.resize(static_cast<size_t>(frame.width) * frame.height);
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) {
            const uint8_t* p = frame.pixels + static_cast<size_t>(y) * frame.stride + 4 * x;
            picture.grey[static_cast<size_t>(y) * frame.width + x] =
                static_cast<uint8_t>((p[0] * 11 + p[1] * 59 + p[2] * 30) / 100);
        }
    return picture;
}

Picture DrawnPanel(float zoom) {
    offscreen::OffscreenPanel drawn(zoom);
    drawn.Editor()->DrawAll();
    return GreyOf(drawn.Editor()->FrameBuffer());
}

// Mean difference between the zoom-1 picture and the zoom-2 picture reduced
// by 2 x 2 averaging, over a rectangle of logical units, the zoom-2 picture
// shifted by (dx, dy) of its pixels.
double MeanDifference(const Picture& one, const Picture& two, const panel::Rect& r, int dx,
                      int dy) {
    double sum = 0.0;
    int count = 0;
    for (int y = r.T; y < r.B; ++y)
        for (int x = r.L; x < r.R; ++x) {
            const int sx = 2 * x + dx;
            const int sy = 2 * y + dy;
            const double reduced = (two.At(sx, sy) + two.At(sx + 1, sy) + two.At(sx, sy + 1) +
                                    two.At(sx + 1, sy + 1)) /
                                   4.0;
            sum += std::fabs(reduced - one.At(x, y));
            ++count;
        }
    return sum / count;
}

TEST(PanelPixels, AtZoom2TheFrequencyKnobsDrawWhereTheyDrawAtZoom1) {
    const Picture one = DrawnPanel(1.0f);
    const Picture two = DrawnPanel(2.0f);
    ASSERT_EQ(one.width, 664);
    ASSERT_EQ(two.width, 1328);
    // Drawn 59 units wide at the rectangle's corner the knob would sit 2.5
    // units (5 pixels of zoom 2) up and to the left of its legends.
    for (const panel::Knob& knob : panel::kFrequencyKnobs) {
        const double aligned = MeanDifference(one, two, knob.rect, 0, 0);
        const double cornered = MeanDifference(one, two, knob.rect, 5, 5);
        // About 2 grey levels aligned, about 16 cornered.
        EXPECT_LT(aligned, 5.0) << knob.paramIdx;
        EXPECT_GT(cornered, 3.0 * aligned) << knob.paramIdx;
    }
    for (const panel::Knob& knob : panel::kGainKnobs)
        EXPECT_LT(MeanDifference(one, two, knob.rect, 0, 0), 5.0) << knob.paramIdx;
}

#if defined(LUMARO_PANEL_PROGRAM) && defined(LUMARO_PANEL_PICTURE)
struct SurfaceRelease {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using Png = std::unique_ptr<cairo_surface_t, SurfaceRelease>;

// The README shows docs/lumaro-panel.png; `make panel-picture` draws it.
TEST(PanelPixels, TheReadmesPictureIsTheEditorAsItOpensNow) {
    char folder[] = "/tmp/lumaro-panel-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string fresh = std::string(folder) + "/panel.png";
    const std::string command =
        std::string("\"") + LUMARO_PANEL_PROGRAM + "\" -o \"" + fresh + "\" > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Png committedPng(cairo_image_surface_create_from_png(LUMARO_PANEL_PICTURE));
    const Png drawnPng(cairo_image_surface_create_from_png(fresh.c_str()));
    cairo_surface_t* committed = committedPng.get();
    cairo_surface_t* drawn = drawnPng.get();
    ASSERT_EQ(cairo_surface_status(drawn), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_surface_status(committed), CAIRO_STATUS_SUCCESS)
        << LUMARO_PANEL_PICTURE << " is missing: run `make panel-picture`";
    if (cairo_surface_status(committed) == CAIRO_STATUS_SUCCESS) {
        const int w = cairo_image_surface_get_width(drawn);
        const int h = cairo_image_surface_get_height(drawn);
        ASSERT_EQ(cairo_image_surface_get_width(committed), w);
        ASSERT_EQ(cairo_image_surface_get_height(committed), h);
        int differing = 0;
        for (int y = 0; y < h; ++y) {
            const auto* a =
                reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(committed) +
                                                  y * cairo_image_surface_get_stride(committed));
            const auto* b = reinterpret_cast<const uint32_t*>(
                cairo_image_surface_get_data(drawn) + y * cairo_image_surface_get_stride(drawn));
            for (int x = 0; x < w; ++x)
                differing += (a[x] & 0xFFFFFF) != (b[x] & 0xFFFFFF);
        }
        EXPECT_EQ(differing, 0) << "the README's picture is out of date: run `make panel-picture`";
    }
    std::remove(fresh.c_str());
    rmdir(folder);
}
#endif

} // namespace
