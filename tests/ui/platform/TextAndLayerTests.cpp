#include "OffscreenEditor.h"

#include "ui/platform/Typefaces.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <gtest/gtest.h>

extern const ui::ResourceTable ui_platform_test_table;

using drawtest::Bgra;
using drawtest::OffscreenEditor;
using ui::IRectangle;

namespace {

struct Fixture {
    ui::IGraphicalEditorDelegate delegate{0};
    OffscreenEditor editor;
    explicit Fixture(float screenScale = 1.0f, int32_t w = 120, int32_t h = 60)
        : editor(delegate, &ui_platform_test_table, 1.0f, w, h) {
        editor.SetScreenScale(screenScale);
        editor.Clear({0, 0, 0, 0});
    }
};

ui::ITextStyle Style(float size, int32_t align = ui::kAlignCenter,
                     int32_t valign = ui::kVAlignMiddle) {
    ui::ITextStyle style;
    style.size = size;
    style.align = align;
    style.valign = valign;
    style.color = {255, 255, 255, 255};
    return style;
}

// The advance of ASCII text at a style size, from FreeType's unhinted
// advances in font units and the size rule (em = size x unitsPerEm /
// (ascender - descender), from the font's hhea table).
double FreeTypeAdvance(const char* text, double styleSize) {
    FT_Library library;
    FT_Init_FreeType(&library);
    FT_Face face;
    FT_New_Face(library, LUMARO_ROBOTO_TTF, 0, &face);
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    const double em = styleSize * face->units_per_EM / (hhea->Ascender - hhea->Descender);
    double units = 0;
    for (const char* c = text; *c; ++c) {
        FT_Load_Char(face, static_cast<FT_ULong>(*c), FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING);
        units += static_cast<double>(face->glyph->advance.x);
    }
    const double advance = units * em / face->units_per_EM;
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return advance;
}

} // namespace

TEST(DrawingText, TypefacesLoadOncePerProcessAndLeaveWithTheLastEditor) {
    {
        Fixture f;
        EXPECT_TRUE(f.editor.LoadFont("Roboto-Regular", "Roboto-Regular.ttf"));
        EXPECT_EQ(ui::ProcessTypefaceCache().Size(), 1u);
        Fixture second;
        EXPECT_TRUE(second.editor.LoadFont("Roboto-Regular", "Roboto-Regular.ttf"));
        EXPECT_EQ(ui::ProcessTypefaceCache().Size(), 1u);
        // Bytes that are no font, and a platform font without bytes.
        EXPECT_FALSE(second.editor.LoadFont("garbage", "eight.png"));
        EXPECT_FALSE(second.editor.LoadTypeface("empty", ui::PlatformFont(false)));
        EXPECT_EQ(ui::ProcessTypefaceCache().Size(), 1u);
    }
    EXPECT_EQ(ui::ProcessTypefaceCache().Size(), 0u);
}

TEST(DrawingText, LayoutFollowsTheSizeRuleAndTheStyleSize) {
    Fixture f;
    ASSERT_TRUE(f.editor.LoadFont("Roboto-Regular", "Roboto-Regular.ttf"));
    const char* text = "Lumaro EQ v4.0.6";
    const IRectangle box{10, 20, 110, 60};

    IRectangle centred = box;
    const float width = f.editor.MeasureTextRun(Style(16), text, centred);
    EXPECT_NEAR(width, FreeTypeAdvance(text, 16), 0.01);
    EXPECT_NEAR(centred.MW(), box.MW(), 1e-3);
    // Middle alignment centres a box exactly the style's size high.
    EXPECT_NEAR(centred.T, box.MH() - 8, 1e-3);
    EXPECT_NEAR(centred.B, box.MH() + 8, 1e-3);

    IRectangle empty = box;
    EXPECT_EQ(f.editor.MeasureTextRun(Style(16), "", empty), 0.0f);
    EXPECT_EQ(empty.L, box.MW());
    EXPECT_EQ(empty.R, box.MW());

    IRectangle nearTop = box, farBottom = box;
    f.editor.MeasureTextRun(Style(16, ui::kAlignNear, ui::kVAlignTop), text, nearTop);
    f.editor.MeasureTextRun(Style(16, ui::kAlignFar, ui::kVAlignBottom), text, farBottom);
    EXPECT_EQ(nearTop.L, box.L);
    EXPECT_NEAR(nearTop.T, box.T, 1e-3);
    EXPECT_NEAR(farBottom.R, box.R, 1e-3);
}

TEST(DrawingText, GlyphsLandInsideTheTextBoxAtEveryScale) {
    for (float scale : {1.0f, 2.0f}) {
        Fixture f(scale);
        ASSERT_TRUE(f.editor.LoadFont("Roboto-Regular", "Roboto-Regular.ttf"));
        IRectangle textBox{10, 10, 110, 50};
        f.editor.MeasureTextRun(Style(20), "Hxg 8", textBox);
        f.editor.DrawText(Style(20), "Hxg 8", {10, 10, 110, 50});
        int inside = 0, outside = 0;
        const ui::FrameBufferView view = f.editor.FrameBuffer();
        for (int y = 0; y < view.height; ++y) {
            for (int x = 0; x < view.width; ++x) {
                if (f.editor.Pixel(x, y).a == 0) {
                    continue;
                }
                const bool in =
                    textBox.GetPadded(1.0f).Contains((x + 0.5f) / scale, (y + 0.5f) / scale);
                (in ? inside : outside) += 1;
            }
        }
        EXPECT_GT(inside, 40 * scale * scale);
        EXPECT_EQ(outside, 0) << "scale " << scale;
    }
    // A font id that was never loaded falls back instead of failing.
    Fixture f;
    ui::ITextStyle unknown = Style(16);
    std::strcpy(unknown.font, "NeverLoaded");
    IRectangle box{0, 0, 120, 60};
    EXPECT_GT(f.editor.MeasureTextRun(unknown, "abc", box), 0.0f);
}

TEST(DrawingLayers, LayersDrawAtTheirOriginAndShadowsUseTheMask) {
    Fixture f(2.0f);
    ASSERT_TRUE(f.editor.BeginLayer(nullptr, {10, 10, 30, 20}));
    f.editor.FillRect({255, 255, 0, 0}, {10, 10, 12, 12});
    auto layer = f.editor.FinishLayer();
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(f.editor.Pixel(21, 21), Bgra{}); // the main surface is untouched
    auto* bitmap = static_cast<ui::CairoBitmap*>(layer->bitmap.get());
    EXPECT_EQ(bitmap->PixelWidth(), 40);

    std::vector<uint8_t> pixels;
    f.editor.ReadLayerPixels(*layer, pixels);
    const size_t stride = 40 * 4; // 40 pixels is already a multiple of 8
    ASSERT_EQ(pixels.size(), stride * 20);
    EXPECT_EQ(pixels[3], 255);       // layer pixel (0, 0): alpha
    EXPECT_EQ(pixels[2], 255);       // red
    EXPECT_EQ(pixels[4 * 4 + 3], 0); // (4, 0): outside the square

    ui::IShadowStyle shadow;
    shadow.pattern = ui::IFillPattern::Solid({255, 0, 0, 255});
    shadow.xOffset = 2; // logical units: 4 layer pixels
    f.editor.ApplyShadowMask(*layer, pixels, shadow);
    cairo_surface_flush(bitmap->Surface());
    const auto layerPixel = [&](int x, int y) {
        Bgra p;
        cairo_surface_t* s = bitmap->Surface();
        std::memcpy(
            &p, cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s) + 4 * x, 4);
        return p;
    };
    EXPECT_EQ(layerPixel(1, 1), (Bgra{0, 0, 255, 255})); // foreground over the shadow
    EXPECT_EQ(layerPixel(6, 1), (Bgra{255, 0, 0, 255})); // the shadow, moved
    EXPECT_EQ(layerPixel(10, 1), Bgra{});

    // The layer drawn back at its place lands on the same pixels.
    f.editor.SetClipRect({0, 0, 120, 60});
    f.editor.DrawBitmap({layer->bitmap, 20, 10, 1, false, ""}, {10, 10, 30, 20}, 0, 0);
    EXPECT_EQ(f.editor.Pixel(21, 21), (Bgra{0, 0, 255, 255}));
    EXPECT_EQ(f.editor.Pixel(27, 21), (Bgra{255, 0, 0, 255}));
}

TEST(DrawingLayers, DropShadowBoxIsSolidInsideAndBlurredOutside) {
    Fixture f;
    f.editor.DrawDropShadowBox({10, 10, 40, 40}, 0, 2, 0, 6);
    EXPECT_EQ(f.editor.Pixel(27, 27).a, 128);
    const int edge = f.editor.Pixel(45, 27).a; // 3 units beyond the moved box
    EXPECT_GT(edge, 0);
    EXPECT_LT(edge, 128);
    EXPECT_EQ(f.editor.Pixel(80, 27).a, 0);
}
