// The real panel drawn off-screen from the module's own images: the knobs at
// zoom 2 where they are at zoom 1, and the README's picture as it is drawn
// now.

#include "tools/panel/OffscreenPanel.h"

#include "equalizer/editor/PanelGeometry.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace {

namespace panel = equalizer::panel;

// Luminance of the panel drawn at a zoom, one byte per pixel.
struct Picture {
    std::vector<int> grey;
    int width = 0;
    int At(int x, int y) const { return grey[static_cast<size_t>(y) * width + x]; }
};

Picture Drawn(float zoom) {
    offscreen::OffscreenPanel drawn(zoom);
    drawn.Editor()->DrawAll();
    const ui::FrameBufferView frame = drawn.Editor()->FrameBuffer();
    Picture picture{{}, frame.width};
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) {
            const uint8_t* p = frame.pixels + static_cast<size_t>(y) * frame.stride + 4 * x;
            picture.grey.push_back((p[0] * 11 + p[1] * 59 + p[2] * 30) / 100);
        }
    return picture;
}

// Mean difference over a rectangle between zoom 1 and zoom 2 reduced by 2 x 2
// averaging, the zoom-2 picture shifted by `shift` of its pixels.
double MeanDifference(const Picture& one, const Picture& two, const panel::Rect& r, int shift) {
    double sum = 0.0;
    for (int y = r.T; y < r.B; ++y)
        for (int x = r.L; x < r.R; ++x) {
            const int sx = 2 * x + shift, sy = 2 * y + shift;
            const int four =
                two.At(sx, sy) + two.At(sx + 1, sy) + two.At(sx, sy + 1) + two.At(sx + 1, sy + 1);
            sum += std::fabs(four / 4.0 - one.At(x, y));
        }
    return sum / (r.W() * r.H());
}

TEST(PanelPixels, AtZoom2TheFrequencyKnobsDrawWhereTheyDrawAtZoom1) {
    const Picture one = Drawn(1.0f);
    const Picture two = Drawn(2.0f);
    ASSERT_EQ(two.width, 2 * one.width);
    // Drawn 59 units wide at their rectangle's corner, the knobs would sit
    // 2.5 units (5 pixels at zoom 2) off the centre their legends surround.
    // About 2 grey levels aligned, about 16 shifted.
    for (const panel::Knob& knob : panel::kFrequencyKnobs) {
        const double aligned = MeanDifference(one, two, knob.rect, 0);
        EXPECT_LT(aligned, 5.0) << knob.paramIdx;
        EXPECT_GT(MeanDifference(one, two, knob.rect, 5), 3.0 * aligned) << knob.paramIdx;
    }
    for (const panel::Knob& knob : panel::kGainKnobs)
        EXPECT_LT(MeanDifference(one, two, knob.rect, 0), 5.0) << knob.paramIdx;
}

// The README shows docs/lumaro-panel.png; `make panel-picture` draws it.
TEST(PanelPixels, TheReadmesPictureIsTheEditorAsItOpensNow) {
    const std::string fresh = "/tmp/lumaro-panel-" + std::to_string(getpid()) + ".png";
    ASSERT_EQ(std::system(("\"" LUMARO_PANEL_PROGRAM "\" -o " + fresh + " > /dev/null").c_str()),
              0);
    using Png = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
    const Png committed(cairo_image_surface_create_from_png(LUMARO_PANEL_PICTURE),
                        &cairo_surface_destroy);
    const Png drawn(cairo_image_surface_create_from_png(fresh.c_str()), &cairo_surface_destroy);
    std::remove(fresh.c_str());
    ASSERT_EQ(cairo_surface_status(drawn.get()), CAIRO_STATUS_SUCCESS);
    ASSERT_EQ(cairo_surface_status(committed.get()), CAIRO_STATUS_SUCCESS)
        << LUMARO_PANEL_PICTURE << " cannot be read: run `make panel-picture`";
    ASSERT_EQ(cairo_image_surface_get_width(committed.get()), 664);
    ASSERT_EQ(cairo_image_surface_get_height(committed.get()), 215);
    int differing = 0;
    for (int y = 0; y < 215; ++y)
        for (int x = 0; x < 664; ++x) {
            const auto pixel = [x, y](cairo_surface_t* s) {
                const uint8_t* row =
                    cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
                return reinterpret_cast<const uint32_t*>(row)[x] & 0xFFFFFFu;
            };
            differing += pixel(committed.get()) != pixel(drawn.get());
        }
    EXPECT_EQ(differing, 0) << "the README's picture is out of date: run `make panel-picture`";
}

} // namespace
