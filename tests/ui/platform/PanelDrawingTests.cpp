#include "OffscreenEditor.h"
#include "PanelScene.h"

#include "equalizer/ModuleResources.h"

#include <gtest/gtest.h>

#include <map>

using drawtest::Bgra;
using drawtest::Image;
using drawtest::OffscreenEditor;

namespace {

// The generated file on disk, decoded by Cairo directly (not through the
// module or the backend).
Image FileImage(const std::string& name) {
    return Image(cairo_image_surface_create_from_png((LUMARO_ARTWORK_DIR "/" + name).c_str()));
}

Bgra At(cairo_surface_t* image, int x, int y) {
    Bgra p;
    std::memcpy(
        &p, cairo_image_surface_get_data(image) + y * cairo_image_surface_get_stride(image) + 4 * x,
        4);
    if (cairo_image_surface_get_format(image) == CAIRO_FORMAT_RGB24) {
        p.a = 255;
    }
    return p;
}

// Premultiplied source over destination.
Bgra Over(const Bgra& s, const Bgra& d) {
    const auto mix = [&](uint8_t sc, uint8_t dc) {
        return static_cast<uint8_t>(sc + (dc * (255 - s.a) + 127) / 255);
    };
    return {mix(s.b, d.b), mix(s.g, d.g), mix(s.r, d.r), mix(s.a, d.a)};
}

bool Near(const Bgra& a, const Bgra& b, int tolerance) {
    return std::abs(a.b - b.b) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.r - b.r) <= tolerance && std::abs(a.a - b.a) <= tolerance;
}

std::string Variant(const std::string& name, int scale) {
    return scale == 1 ? name : name.substr(0, name.rfind('.')) + "@2x.png";
}

} // namespace

TEST(PanelImages, EveryEmbeddedImageDecodesAtItsSize) {
    ui::IGraphicalEditorDelegate delegate(0);
    OffscreenEditor editor(delegate, equalizer::ModuleResources());
    struct Size {
        int32_t w1, h1, w2, h2;
    };
    const std::map<std::string, Size> sizes = {
        {"LEQ_back.png", {664, 215, 1328, 430}},
        {"smallknob.png", {752, 799, 1504, 1598}},
        {"x271_frame_stack_fixed_again.png", {1024, 1088, 1888, 2006}},
        {"LEQ_OS.png", {29, 58, 58, 116}},
    };
    for (const auto& [name, size] : sizes) {
        for (int scale : {1, 2}) {
            const std::string file = Variant(name, scale);
            const auto located = editor.LocateResource(file, "png");
            ASSERT_EQ(located.location, ui::ResourceLocation::Embedded) << file;
            const auto bitmap =
                editor.LoadBitmapResource(located.name, scale, located.location, "PNG");
            ASSERT_NE(bitmap, nullptr) << file;
            EXPECT_EQ(bitmap->PixelWidth(), scale == 1 ? size.w1 : size.w2) << file;
            EXPECT_EQ(bitmap->PixelHeight(), scale == 1 ? size.h1 : size.h2) << file;
        }
    }
    EXPECT_EQ(editor.LocateResource("Roboto-Regular.ttf", "ttf").location,
              ui::ResourceLocation::Embedded);
}

// The whole panel drawn through the editor core from the module's images
// equals the images composited by hand, pixel for pixel, at both scales; the
// version text is drawn inside its box and nowhere else.
TEST(PanelImages, WholePanelDrawsFromTheEmbeddedImages) {
    for (int scale : {1, 2}) {
        ui::IGraphicalEditorDelegate delegate(0);
        OffscreenEditor editor(delegate, equalizer::ModuleResources());
        bool attached = false;
        delegate.SetLayoutFunction(
            [&](ui::IEditorCore* core) { attached = drawtest::AttachPanel(*core); });
        editor.SetScreenScale(static_cast<float>(scale));
        editor.OpenWindow(nullptr);
        ASSERT_TRUE(attached);
        editor.Draw({{0, 0, 664, 215}});
        EXPECT_EQ(editor.presented, 1);

        const auto pieces = drawtest::PanelPieces();
        std::vector<Image> images;
        for (const auto& piece : pieces) {
            images.push_back(FileImage(Variant(piece.image, scale)));
        }
        const ui::FrameBufferView view = editor.FrameBuffer();
        ASSERT_EQ(view.width, 664 * scale);
        // The background, then each frame composited over it where it lies.
        std::vector<Bgra> expected(static_cast<size_t>(view.width) * view.height);
        for (int y = 0; y < view.height; ++y) {
            for (int x = 0; x < view.width; ++x) {
                expected[static_cast<size_t>(y) * view.width + x] = At(images[0].get(), x, y);
            }
        }
        for (size_t i = 1; i < pieces.size(); ++i) {
            const auto* control =
                static_cast<drawtest::StripFrameControl*>(editor.GetControl(static_cast<int>(i)));
            const ui::IRectangle frame = control->FrameRect();
            const int left = static_cast<int>(frame.L * scale),
                      top = static_cast<int>(frame.T * scale);
            const int srcX = control->FrameWidth() * (control->frame % control->columns) * scale;
            const int srcY = control->FrameHeight() * (control->frame / control->columns) * scale;
            for (int y = 0; y < control->FrameHeight() * scale; ++y) {
                for (int x = 0; x < control->FrameWidth() * scale; ++x) {
                    Bgra& e = expected[static_cast<size_t>(top + y) * view.width + left + x];
                    e = Over(At(images[i].get(), srcX + x, srcY + y), e);
                }
            }
        }
        int mismatches = 0, textPixels = 0;
        for (int y = 0; y < view.height; ++y) {
            for (int x = 0; x < view.width; ++x) {
                const bool near =
                    Near(editor.Pixel(x, y), expected[static_cast<size_t>(y) * view.width + x], 1);
                if (drawtest::kVersionBox.Contains((x + 0.5f) / scale, (y + 0.5f) / scale)) {
                    textPixels += !near;
                } else {
                    mismatches += !near;
                }
            }
        }
        EXPECT_EQ(mismatches, 0) << "scale " << scale;
        EXPECT_GT(textPixels, 30 * scale * scale) << "scale " << scale;
    }
}
