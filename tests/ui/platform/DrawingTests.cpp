#include "OffscreenEditor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

extern const ui::ResourceTable ui_platform_test_table;

using drawtest::Bgra;
using drawtest::Image;
using drawtest::ImagePixel;
using drawtest::OffscreenEditor;
using ui::IRectangle;

namespace {

constexpr ui::IColour kWhite{255, 255, 255, 255};
constexpr ui::IColour kClear{0, 0, 0, 0};

// Deterministic opaque noise, so that any misplaced pixel shows.
Image NoiseImage(int w, int h, cairo_format_t format = CAIRO_FORMAT_ARGB32) {
    Image image(cairo_image_surface_create(format, w, h));
    uint8_t* data = cairo_image_surface_get_data(image.get());
    uint32_t state = 12345;
    for (int y = 0; y < h; ++y) {
        auto* row =
            reinterpret_cast<uint32_t*>(data + y * cairo_image_surface_get_stride(image.get()));
        for (int x = 0; x < w; ++x) {
            state = state * 1664525u + 1013904223u;
            row[x] = 0xFF000000u | (state >> 8);
        }
    }
    cairo_surface_mark_dirty(image.get());
    return image;
}

ui::IBitmapRef Decoded(OffscreenEditor& editor, cairo_surface_t* image, int32_t scale) {
    const std::vector<uint8_t> png = drawtest::EncodePng(image);
    ui::IBitmapRef ref;
    ref.api = editor.LoadBitmapData(png.data(), png.size(), scale);
    if (ref.api) {
        ref.width = ref.api->PixelWidth() / scale;
        ref.height = ref.api->PixelHeight() / scale;
        ref.frames = 1;
    }
    return ref;
}

// An editor with its surface, cleared to transparent.
struct Fixture {
    ui::IGraphicalEditorDelegate delegate{0};
    OffscreenEditor editor;
    Fixture(float drawScale, float screenScale, int32_t w = 60, int32_t h = 40)
        : editor(delegate, &ui_platform_test_table, drawScale, w, h) {
        editor.SetScreenScale(screenScale);
        editor.Clear(kClear);
    }
};

bool Painted(const Bgra& p) {
    return p.a >= 128;
}

} // namespace

TEST(DrawingSurface, BufferSizeFollowsZoomThenScreenScale) {
    struct Case {
        float zoom, screen;
        int32_t w, h;
    };
    for (const Case c : {Case{1.0f, 2.0f, 1328, 430}, Case{1.25f, 1.0f, 830, 268},
                         Case{1.5f, 2.0f, 1992, 644}, Case{1.0f, 1.0f, 664, 215}}) {
        Fixture f(c.zoom, c.screen, 664, 215);
        const ui::FrameBufferView view = f.editor.FrameBuffer();
        ASSERT_NE(view.pixels, nullptr);
        EXPECT_EQ(view.width, c.w);
        EXPECT_EQ(view.height, c.h);
        EXPECT_EQ(view.stride, c.w * 4);
    }
    // Premultiplied blue, green, red, alpha in memory, top row first.
    Fixture f(1.0f, 1.0f);
    f.editor.FillRect({128, 255, 0, 64}, {1, 2, 2, 3});
    const Bgra p = f.editor.Pixel(1, 2);
    EXPECT_NEAR(p.b, 32, 1);
    EXPECT_EQ(p.g, 0);
    EXPECT_NEAR(p.r, 128, 1);
    EXPECT_EQ(p.a, 128);
    EXPECT_EQ(f.editor.Pixel(1, 1), Bgra{});
    EXPECT_EQ(f.editor.Pixel(2, 2), Bgra{});
}

TEST(DrawingSurface, NoSurfaceMeansNothingIsDrawnAndNothingBreaks) {
    ui::IGraphicalEditorDelegate delegate(0);
    for (const auto& [w, h, zoom] : {std::tuple{0, 0, 1.0f}, std::tuple{100000, 20, 4.0f}}) {
        OffscreenEditor editor(delegate, nullptr, zoom, w, h);
        editor.ResizeDrawingSurface();
        EXPECT_EQ(editor.FrameBuffer().pixels, nullptr);
        editor.SetClipRect({0, 0, 10, 10});
        editor.FillRect(kWhite, {0, 0, 10, 10});
        editor.PathArc(5, 5, 3, 0, 360);
        editor.PathStroke(ui::IFillPattern::Solid(kWhite), 1.0f, {});
        editor.DrawText({}, "text", {0, 0, 10, 10});
        editor.EndFrame();
        EXPECT_EQ(editor.presented, 1);
        EXPECT_EQ(editor.ReadPixel(0, 0), (ui::IColour{0, 0, 0, 0}));
    }
}

// A scale-2 image at device scale 2 is copied exactly, from any source
// offset; at device scale 1 each pixel is the mean of a 2 x 2 block.
TEST(DrawingBitmaps, ScaleTwoImageLandsPixelForPixel) {
    Fixture f(1.0f, 2.0f);
    Image noise = NoiseImage(40, 30);
    const ui::IBitmapRef bitmap = Decoded(f.editor, noise.get(), 2);
    ASSERT_TRUE(bitmap.IsValid());
    EXPECT_EQ(bitmap.width, 20);
    f.editor.DrawBitmap(bitmap, {5, 7, 25, 22}, 0, 0);
    f.editor.DrawBitmap(bitmap, {30, 7, 40, 17}, 3, 2);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            ASSERT_EQ(f.editor.Pixel(10 + x, 14 + y), ImagePixel(noise.get(), x, y))
                << x << "," << y;
        }
    }
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            ASSERT_EQ(f.editor.Pixel(60 + x, 14 + y), ImagePixel(noise.get(), 6 + x, 4 + y));
        }
    }

    Fixture half(1.0f, 1.0f);
    const ui::IBitmapRef same = Decoded(half.editor, noise.get(), 2);
    half.editor.DrawBitmap(same, {0, 0, 20, 15}, 0, 0);
    for (int y = 1; y < 14; ++y) {
        for (int x = 1; x < 19; ++x) {
            const Bgra got = half.editor.Pixel(x, y);
            int sum = 0;
            for (int k = 0; k < 4; ++k) {
                sum += ImagePixel(noise.get(), 2 * x + k % 2, 2 * y + k / 2).g;
            }
            EXPECT_NEAR(got.g, sum / 4.0, 1.0) << x << "," << y;
        }
    }
}

TEST(DrawingBitmaps, NothingOutsideTheDestinationForAnySourceOffsetOrBlend) {
    Fixture f(1.0f, 2.0f);
    Image noise = NoiseImage(40, 30);
    const ui::IBitmapRef bitmap = Decoded(f.editor, noise.get(), 1);
    const IRectangle dest{10.3f, 5.6f, 30.2f, 20.9f};
    const ui::IBlendMode blends[] = {{ui::kBlendDefault, 1.0f},
                                     {ui::kBlendSourceIn, 1.0f},
                                     {ui::kBlendDestOut, 0.5f},
                                     {99, 1.0f}};
    for (int srcX : {-50, -7, 0, 13, 39, 100}) {
        for (int srcY : {-20, 0, 29, 60}) {
            for (const ui::IBlendMode& blend : blends) {
                f.editor.Clear({255, 0, 200, 0});
                f.editor.DrawBitmap(bitmap, dest, srcX, srcY, &blend);
                const ui::FrameBufferView view = f.editor.FrameBuffer();
                for (int y = 0; y < view.height; ++y) {
                    for (int x = 0; x < view.width; ++x) {
                        const bool inside =
                            x >= std::floor(dest.L * 2) && x < std::ceil(dest.R * 2) &&
                            y >= std::floor(dest.T * 2) && y < std::ceil(dest.B * 2);
                        if (!inside) {
                            ASSERT_EQ(f.editor.Pixel(x, y), (Bgra{0, 200, 0, 255}))
                                << x << "," << y << " from " << srcX << "," << srcY;
                        }
                    }
                }
            }
        }
    }
}

TEST(DrawingBitmaps, OpaqueImagesDecodeOpaqueAndBrokenBytesGiveNothing) {
    Fixture f(1.0f, 1.0f);
    Image rgb = NoiseImage(9, 5, CAIRO_FORMAT_RGB24);
    const std::vector<uint8_t> png = drawtest::EncodePng(rgb.get());
    const auto bitmap = f.editor.LoadBitmapData(png.data(), png.size(), 1);
    ASSERT_NE(bitmap, nullptr);
    auto* cairoBitmap = static_cast<ui::CairoBitmap*>(bitmap.get());
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 9; ++x) {
            const Bgra got = ImagePixel(cairoBitmap->Surface(), x, y);
            const Bgra want = ImagePixel(rgb.get(), x, y);
            EXPECT_EQ(got.a, 255);
            EXPECT_TRUE(got.r == want.r && got.g == want.g && got.b == want.b);
        }
    }
    std::vector<uint8_t> hugeHeader = png;
    hugeHeader[16] = hugeHeader[20] = 0x7F; // claims 2 billion by 2 billion
    const std::vector<uint8_t> truncated(png.begin(), png.begin() + png.size() / 2);
    const std::string garbage = "definitely not a picture";
    EXPECT_EQ(f.editor.LoadBitmapData(hugeHeader.data(), hugeHeader.size(), 1), nullptr);
    EXPECT_EQ(f.editor.LoadBitmapData(truncated.data(), truncated.size(), 1), nullptr);
    EXPECT_EQ(f.editor.LoadBitmapData(reinterpret_cast<const uint8_t*>(garbage.data()),
                                      garbage.size(), 1),
              nullptr);
    EXPECT_EQ(f.editor.LoadBitmapResource("eight.png", 1, ui::ResourceLocation::Embedded, "PNG"),
              nullptr);
    EXPECT_EQ(f.editor.LoadBitmapResource("/no/such.png", 1, ui::ResourceLocation::File, "PNG"),
              nullptr);
    EXPECT_FALSE(f.editor.SupportsImageType("gif"));
}

TEST(DrawingClip, SecondClipReplacesTheFirstAndIgnoresThePathTransform) {
    Fixture f(1.0f, 2.0f);
    f.editor.SetClipRect({0, 0, 10, 10});
    f.editor.SetClipRect({20, 20, 30, 30});
    f.editor.FillRect(kWhite, {0, 0, 60, 40});
    EXPECT_FALSE(Painted(f.editor.Pixel(10, 10)));
    EXPECT_FALSE(Painted(f.editor.Pixel(30, 30)));
    EXPECT_TRUE(Painted(f.editor.Pixel(40, 40)));
    EXPECT_TRUE(Painted(f.editor.Pixel(59, 59)));
    EXPECT_FALSE(Painted(f.editor.Pixel(60, 60)));

    f.editor.Clear(kClear);
    f.editor.SetPathTransform({1, 0, 0, 1, 5, 0});
    f.editor.SetClipRect({20, 20, 30, 30});
    f.editor.FillRect(kWhite, {0, 0, 60, 40});
    EXPECT_TRUE(Painted(f.editor.Pixel(40, 40)));  // clip not moved by the transform
    EXPECT_FALSE(Painted(f.editor.Pixel(60, 40))); // nor widened
}

TEST(DrawingPaths, ArcsStartAtTwelveAndRunClockwise) {
    const auto wedge = [](bool ccw, float end) {
        auto f = std::make_unique<Fixture>(1.0f, 1.0f, 60, 60);
        f->editor.PathMoveTo(30, 30);
        f->editor.PathArc(30, 30, 20, 0, end, ccw);
        f->editor.PathClose();
        f->editor.PathFill(ui::IFillPattern::Solid(kWhite), {});
        return f;
    };
    // Sample points at 45 degrees into each quadrant, 12 units out.
    const auto quadrants = [](OffscreenEditor& e) {
        return std::array<bool, 4>{Painted(e.Pixel(38, 21)), Painted(e.Pixel(38, 38)),
                                   Painted(e.Pixel(21, 38)), Painted(e.Pixel(21, 21))};
    };
    EXPECT_EQ(quadrants(wedge(false, 90)->editor),
              (std::array<bool, 4>{true, false, false, false}));
    EXPECT_EQ(quadrants(wedge(true, 90)->editor), (std::array<bool, 4>{false, true, true, true}));
    EXPECT_EQ(quadrants(wedge(false, 180)->editor),
              (std::array<bool, 4>{true, true, false, false}));

    Fixture full(1.0f, 1.0f, 60, 60);
    full.editor.PathArc(30, 30, 20, 0, 360);
    full.editor.PathFill(ui::IFillPattern::Solid(kWhite), {});
    int area = 0;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 60; ++x) {
            area += Painted(full.editor.Pixel(x, y));
        }
    }
    EXPECT_NEAR(area, std::numbers::pi * 400.0, 0.01 * std::numbers::pi * 400.0);
}

TEST(DrawingPaths, BlendWeightsAndOperators) {
    Fixture f(1.0f, 1.0f);
    const ui::IBlendMode half{ui::kBlendDefault, 0.5f};
    const ui::IBlendMode over{ui::kBlendDefault, 2.0f};
    f.editor.FillRect(kWhite, {0, 0, 1, 1}, &half);
    f.editor.FillRect(kWhite, {1, 0, 2, 1}, &over);
    EXPECT_EQ(f.editor.Pixel(0, 0), (Bgra{127, 127, 127, 127}));
    EXPECT_EQ(f.editor.Pixel(1, 0).a, 255);
    Image white(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 4));
    cairo_t* cr = cairo_create(white.get());
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_destroy(cr);
    f.editor.DrawBitmap(Decoded(f.editor, white.get(), 1), {2, 0, 4, 2}, 0, 0, &half);
    EXPECT_EQ(f.editor.Pixel(2, 0).a, 127);

    // Onto opaque red: destination-over keeps red, add makes magenta,
    // xor of two opaque colours and an unknown type clear.
    const ui::IColour red{255, 255, 0, 0}, blue{255, 0, 0, 255};
    struct Case {
        int32_t type;
        Bgra expected;
    };
    for (const Case c :
         {Case{ui::kBlendDestOver, {0, 0, 255, 255}}, Case{ui::kBlendAdd, {255, 0, 255, 255}},
          Case{ui::kBlendXor, {}}, Case{42, {}}}) {
        f.editor.Clear(red);
        const ui::IBlendMode blend{c.type, 1.0f};
        f.editor.FillRect(blue, {10, 10, 20, 20}, &blend);
        EXPECT_EQ(f.editor.Pixel(15, 15), c.expected) << c.type;
        EXPECT_EQ(f.editor.Pixel(25, 15), (Bgra{0, 0, 255, 255})) << c.type;
    }
}

TEST(DrawingPaths, OddDashListsRunTwiceAndBadInputDrawsNothingHarmful) {
    Fixture f(1.0f, 1.0f, 60, 20);
    ui::IStrokeStyle dashed;
    dashed.dashCount = 3;
    dashed.dashes[0] = 4;
    dashed.dashes[1] = 2;
    dashed.dashes[2] = 6;
    f.editor.PathMoveTo(0, 5);
    f.editor.PathLineTo(48, 5);
    f.editor.PathStroke(ui::IFillPattern::Solid(kWhite), 2.0f, dashed);
    // On 4, off 2, on 6, off 4, on 2, off 6: a period of 24.
    const int intervals[6] = {4, 2, 6, 4, 2, 6};
    for (int x = 0; x < 48; ++x) {
        int position = x % 24, i = 0;
        while (position >= intervals[i]) {
            position -= intervals[i++];
        }
        EXPECT_EQ(Painted(f.editor.Pixel(x, 5)), i % 2 == 0) << x;
    }

    // Negative dashes draw a solid line; a singular transform draws nothing
    // and leaves the context usable; so does text that is not UTF-8.
    f.editor.Clear(kClear);
    dashed.dashes[1] = -1;
    f.editor.PathMoveTo(0, 15);
    f.editor.PathLineTo(48, 15);
    f.editor.PathStroke(ui::IFillPattern::Solid(kWhite), 2.0f, dashed);
    EXPECT_TRUE(Painted(f.editor.Pixel(5, 15)) && Painted(f.editor.Pixel(45, 15)));
    f.editor.SetPathTransform({0, 0, 0, 0, 0, 0});
    f.editor.FillRect(kWhite, {0, 0, 10, 10});
    EXPECT_FALSE(Painted(f.editor.Pixel(5, 5)));
    f.editor.SetPathTransform({});
    f.editor.RenderTextRun({}, "\xC3\x28 \xED\xA0\x80 \xFF", {0, 0, 60, 20});
    f.editor.FillRect(kWhite, {0, 0, 10, 10});
    EXPECT_TRUE(Painted(f.editor.Pixel(5, 5)));
    EXPECT_EQ(cairo_status(f.editor.DrawingCanvas()), CAIRO_STATUS_SUCCESS);
}
