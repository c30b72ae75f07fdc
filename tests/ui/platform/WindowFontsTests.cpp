#include "ui/platform/WindowFonts.h"

#include "ui/platform/Resources.h"

#include <gtest/gtest.h>

extern const ui::ResourceTable ui_platform_test_table;

using ui::ProcessMemoryFontCache;
using ui::ProcessWindowFontCache;
using ui::WindowFonts;

namespace {

ui::FontData DataOf(const std::unique_ptr<ui::PlatformFont>& font) {
    return font ? font->ReadFontData() : ui::FontData{};
}

} // namespace

TEST(WindowFonts, EmbeddedFileAndMemoryFontsRegisterTheirBytes) {
    WindowFonts fonts(&ui_platform_test_table);
    const size_t before = ProcessMemoryFontCache().Size();

    const auto embedded = fonts.LoadFontFromFileOrResource("Roboto-Regular", "roboto-regular.TTF");
    const ui::FontData data = DataOf(embedded);
    ASSERT_EQ(data.faceIndex, 0);
    EXPECT_FALSE(embedded->IsSystem());
    EXPECT_EQ(data.descriptor.family, "Roboto");
    EXPECT_EQ(data.bytes, ui::ReadWholeFile(LUMARO_ROBOTO_TTF, 64u << 20).value());

    // Not embedded under that name, but a path on disk.
    EXPECT_EQ(DataOf(fonts.LoadFontFromFileOrResource("disk", LUMARO_ROBOTO_TTF)).bytes,
              data.bytes);
    EXPECT_EQ(fonts.LoadFontFromFileOrResource("none", "NoSuchFont.ttf"), nullptr);
    // Embedded, but not a font; a directory is no font file either.
    EXPECT_EQ(fonts.LoadFontFromFileOrResource("png", "eight.png"), nullptr);
    EXPECT_EQ(fonts.LoadFontFromFileOrResource("dir", "/"), nullptr);

    EXPECT_EQ(fonts.LoadFontFromMemory("garbage", "not a font at all", 17), nullptr);
    const auto again = fonts.LoadFontFromMemory("Roboto-Regular", data.bytes.data(),
                                                static_cast<int32_t>(data.bytes.size()));
    EXPECT_EQ(DataOf(again).descriptor.style, "Regular");
    // Three registrations: every successful load adds one, failures none.
    EXPECT_EQ(ProcessMemoryFontCache().Size(), before + 3);
}

TEST(WindowFonts, SystemFontsByFamilyThroughFontconfig) {
    WindowFonts fonts;
    const auto regular = fonts.LoadSystemFont("id", "Roboto", 0);
    ASSERT_NE(regular, nullptr);
    EXPECT_TRUE(regular->IsSystem());
    const ui::FontData data = regular->ReadFontData();
    EXPECT_EQ(data.descriptor.family, "Roboto");
    EXPECT_EQ(data.descriptor.style, "Regular");
    EXPECT_EQ(DataOf(fonts.LoadSystemFont("id", "Roboto", ui::kSystemFontBold)).descriptor.style,
              "Bold");
    // fontconfig always answers with something; another family is no answer.
    EXPECT_EQ(fonts.LoadSystemFont("id", "No Such Family Lumaro", 0), nullptr);
}

TEST(WindowFonts, WindowFontCacheKeepsTheFirstFontAndEmptiesWithTheLastWindow) {
    {
        WindowFonts first(&ui_platform_test_table);
        const auto roboto = first.LoadFontFromFileOrResource("Text", "Roboto-Regular.ttf");
        ASSERT_NE(roboto, nullptr);
        first.CacheWindowFont("Text", *roboto);
        {
            WindowFonts second;
            const auto bold = second.LoadSystemFont("Text", "Roboto", ui::kSystemFontBold);
            ASSERT_NE(bold, nullptr);
            second.CacheWindowFont("Text", *bold);
            const auto record = second.FindWindowFont("Text");
            ASSERT_TRUE(record.has_value());
            EXPECT_EQ(record->style, "Regular");
            EXPECT_FALSE(record->isSystem);
            EXPECT_EQ(record->faceIndex, 0);
            EXPECT_EQ(record->bytes->size(), roboto->ReadFontData().bytes.size());
        }
        // The first window still uses both caches.
        EXPECT_TRUE(first.FindWindowFont("Text").has_value());
        EXPECT_GT(ProcessMemoryFontCache().Size(), 0u);
    }
    EXPECT_EQ(ProcessWindowFontCache().Size(), 0u);
    EXPECT_EQ(ProcessMemoryFontCache().Size(), 0u);
    EXPECT_EQ(WindowFonts().FindWindowFont("Text"), std::nullopt);
}
