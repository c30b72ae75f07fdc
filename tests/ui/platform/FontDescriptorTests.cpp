#include "FontBuilder.h"

#include "ui/platform/PlatformFont.h"
#include "ui/platform/Resources.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace font_builder;
using ui::FontDescriptor;
using ui::ReadFontDescriptor;

namespace {

std::vector<uint8_t> RobotoBytes() {
    auto bytes = ui::ReadWholeFile(LUMARO_ROBOTO_TTF, 64u << 20);
    EXPECT_TRUE(bytes.has_value()) << LUMARO_ROBOTO_TTF;
    return bytes.value_or(std::vector<uint8_t>{});
}

// Reads from an allocation of exactly the given size, so that the address
// sanitizer reports any read past its end.
FontDescriptor ReadExact(const std::vector<uint8_t>& bytes, size_t size, int32_t face = 0) {
    auto copy = std::make_unique<uint8_t[]>(std::max<size_t>(size, 1));
    std::copy_n(bytes.begin(), size, copy.get());
    FontDescriptor d = ReadFontDescriptor(copy.get(), size, face);
    d.face = d.face ? reinterpret_cast<const uint8_t*>(1) : nullptr; // the copy is gone
    return d;
}

bool SameContent(const FontDescriptor& a, const FontDescriptor& b) {
    return a.headOffset == b.headOffset && a.nameOffset == b.nameOffset &&
           a.hheaOffset == b.hheaOffset && a.family == b.family && a.style == b.style &&
           a.macStyle == b.macStyle && a.unitsPerEm == b.unitsPerEm && a.ascender == b.ascender &&
           a.descender == b.descender && a.lineGap == b.lineGap;
}

struct FreeTypeFace {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    explicit FreeTypeFace(const std::vector<uint8_t>& bytes) {
        FT_Init_FreeType(&library);
        FT_New_Memory_Face(library, bytes.data(), static_cast<FT_Long>(bytes.size()), 0, &face);
    }
    ~FreeTypeFace() {
        FT_Done_Face(face);
        FT_Done_FreeType(library);
    }
};

} // namespace

// The real font against FreeType's reading of the same tables.
TEST(FontDescriptor, RobotoMatchesFreeType) {
    const std::vector<uint8_t> bytes = RobotoBytes();
    const FontDescriptor d = ReadFontDescriptor(bytes.data(), bytes.size(), 0);
    ASSERT_TRUE(d.IsValid());
    EXPECT_EQ(d.face, bytes.data());
    EXPECT_EQ(d.family, "Roboto");
    EXPECT_EQ(d.style, "Regular");
    EXPECT_EQ(d.unitsPerEm, 2048);

    FreeTypeFace ft(bytes);
    ASSERT_NE(ft.face, nullptr);
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(ft.face, FT_SFNT_HHEA));
    const auto* head = static_cast<const TT_Header*>(FT_Get_Sfnt_Table(ft.face, FT_SFNT_HEAD));
    ASSERT_TRUE(hhea && head);
    EXPECT_EQ(d.family, ft.face->family_name);
    EXPECT_EQ(d.style, ft.face->style_name);
    EXPECT_EQ(d.unitsPerEm, head->Units_Per_EM);
    EXPECT_EQ(d.macStyle, head->Mac_Style);
    EXPECT_EQ(d.ascender, hhea->Ascender);
    EXPECT_EQ(d.descender, hhea->Descender);
    EXPECT_EQ(d.lineGap, hhea->Line_Gap);
    EXPECT_FALSE(ReadFontDescriptor(bytes.data(), bytes.size(), 1).IsValid());
    EXPECT_FALSE(ReadFontDescriptor(bytes.data(), bytes.size(), -1).IsValid());
}

// Every prefix either reads exactly as the whole file or is invalid, and the
// shortest valid one ends where the last of the directory and the three
// tables ends (lengths from FreeType's table list).
TEST(FontDescriptor, TruncatedRobotoIsInvalidUntilItsTablesAreWhole) {
    const std::vector<uint8_t> bytes = RobotoBytes();
    const FontDescriptor full = ReadFontDescriptor(bytes.data(), bytes.size(), 0);
    FreeTypeFace ft(bytes);
    FT_ULong tag = 0, length = 0;
    FT_Sfnt_Table_Info(ft.face, 0, nullptr, &length); // the number of tables
    size_t end = 12 + 16 * static_cast<size_t>(length);
    for (FT_UInt i = 0; FT_Sfnt_Table_Info(ft.face, i, &tag, &length) == 0; ++i) {
        const uint32_t offset = tag == FT_MAKE_TAG('h', 'e', 'a', 'd')   ? full.headOffset
                                : tag == FT_MAKE_TAG('h', 'h', 'e', 'a') ? full.hheaOffset
                                : tag == FT_MAKE_TAG('n', 'a', 'm', 'e') ? full.nameOffset
                                                                         : 0;
        if (offset) {
            end = std::max<size_t>(end, offset + length);
        }
    }
    EXPECT_TRUE(ReadExact(bytes, end).IsValid());
    EXPECT_FALSE(ReadExact(bytes, end - 1).IsValid());

    std::vector<size_t> lengths;
    for (size_t n = 0; n < 600; ++n) {
        lengths.push_back(n);
    }
    for (size_t n = 600; n < bytes.size(); n += 997) {
        lengths.push_back(n);
    }
    for (size_t n : lengths) {
        const FontDescriptor d = ReadExact(bytes, n);
        EXPECT_TRUE(!d.IsValid() || SameContent(d, full)) << "prefix " << n;
        EXPECT_EQ(d.IsValid(), n >= end) << "prefix " << n;
    }
}

TEST(FontDescriptor, CorruptedDirectoryAndTablesNeverReadOutside) {
    const std::vector<uint8_t> bytes = RobotoBytes();
    const FontDescriptor full = ReadFontDescriptor(bytes.data(), bytes.size(), 0);

    // Every table record pointing just before the end of the file.
    std::vector<uint8_t> pastEnd = bytes;
    const uint16_t tables = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
    for (size_t i = 0; i < tables; ++i) {
        Set32(pastEnd, 12 + 16 * i + 8, static_cast<uint32_t>(bytes.size() - 4));
    }
    EXPECT_FALSE(ReadExact(pastEnd, pastEnd.size()).IsValid());

    // Name strings and the record count pointing far outside the table.
    std::vector<uint8_t> badNames = bytes;
    const size_t name = full.nameOffset;
    badNames[name + 4] = badNames[name + 5] = 0xFF;
    const FontDescriptor d = ReadExact(badNames, badNames.size());
    EXPECT_TRUE(d.IsValid());
    EXPECT_TRUE(d.family.empty() && d.style.empty());
}

TEST(FontDescriptor, NamesFromWindowsAndMacintoshRecords) {
    FaceSpec face;
    face.unitsPerEm = 2048;
    face.macStyle = 3;
    face.ascender = -5;
    face.descender = -32768;
    face.lineGap = 32767;
    // "Grü" + U+1F600 (a surrogate pair) + an unpaired high surrogate.
    face.names = {WindowsName(1, u"Gr\u00FC\U0001F600\xD800"), WindowsName(2, u""),
                  MacName(2, "Fett\x8A")};
    const std::vector<uint8_t> font = BuildFont(face);
    const FontDescriptor d = ReadExact(font, font.size());
    ASSERT_TRUE(d.IsValid());
    EXPECT_EQ(d.family, "Gr\xC3\xBC\xF0\x9F\x98\x80\xEF\xBF\xBD");
    EXPECT_EQ(d.style, "Fett\xC3\xA4"); // Mac OS Roman 0x8A is a-umlaut
    EXPECT_EQ(d.unitsPerEm, 2048);
    EXPECT_EQ(d.macStyle, 3);
    EXPECT_EQ(d.ascender, -5);
    EXPECT_EQ(d.descender, -32768);
    EXPECT_EQ(d.lineGap, 32767);

    FaceSpec macOnly;
    macOnly.names = {MacName(1, "Roboto"), MacName(2, "Regular")};
    const std::vector<uint8_t> macFont = BuildFont(macOnly);
    const FontDescriptor m = ReadExact(macFont, macFont.size());
    EXPECT_EQ(m.family, "Roboto");
    EXPECT_EQ(m.style, "Regular");
}

TEST(FontDescriptor, CollectionFacesAndTheStyleSearch) {
    const std::vector<uint8_t> ttc =
        BuildCollection({NamedFace(u"Sans", u"Regular"), NamedFace(u"Sans", u"Bold")});
    EXPECT_EQ(ReadExact(ttc, ttc.size(), 0).style, "Regular");
    EXPECT_EQ(ReadExact(ttc, ttc.size(), 1).style, "Bold");
    EXPECT_FALSE(ReadExact(ttc, ttc.size(), 2).IsValid()); // index == count
    const std::vector<uint8_t> version3 =
        BuildCollection({NamedFace(u"Sans", u"Regular")}, 0x00030000);
    EXPECT_FALSE(ReadExact(version3, version3.size(), 0).IsValid());

    EXPECT_EQ(ui::FindFaceByStyle(ttc.data(), ttc.size(), "Bold"), 1);
    EXPECT_EQ(ui::FindFaceByStyle(ttc.data(), ttc.size(), ""), 0);
    EXPECT_EQ(ui::FindFaceByStyle(ttc.data(), ttc.size(), "Italic"), -1);

    auto shared = std::make_shared<const std::vector<uint8_t>>(ttc);
    const ui::FontData bold = ui::BytesFont(shared, "Bold", true).ReadFontData();
    EXPECT_EQ(bold.faceIndex, 1);
    EXPECT_EQ(bold.descriptor.style, "Bold");
    EXPECT_TRUE(bold.descriptor.face >= bold.bytes.data() &&
                bold.descriptor.face < bold.bytes.data() + bold.bytes.size());
    // A face chosen by a font lookup wins over the style search.
    EXPECT_EQ(ui::BytesFont(shared, "Bold", true, 0).ReadFontData().faceIndex, 0);
    EXPECT_EQ(ui::BytesFont(shared, "Italic", true).ReadFontData().faceIndex, -1);
}
