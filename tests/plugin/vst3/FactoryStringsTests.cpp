#include "plugin/vst3/FactoryStrings.h"

#include <gtest/gtest.h>

#include <cstring>

using plugin::vst3::CopyUtf16Field;
using plugin::vst3::CopyUtf8Field;

namespace {

constexpr char kGarbage = static_cast<char>(0xAA);

template <std::size_t N> bool ZeroFrom(const char (&field)[N], std::size_t from) {
    for (std::size_t i = from; i < N; ++i)
        if (field[i] != 0)
            return false;
    return true;
}

template <std::size_t N> bool ZeroFrom(const char16_t (&field)[N], std::size_t from) {
    for (std::size_t i = from; i < N; ++i)
        if (field[i] != 0)
            return false;
    return true;
}

} // namespace

TEST(FactoryStrings, Utf8TextThatFitsIsCopiedAndTheRestZeroed) {
    char field[16];
    std::memset(field, kGarbage, sizeof(field));
    CopyUtf8Field(field, sizeof(field), "Fx|EQ");
    EXPECT_STREQ(field, "Fx|EQ");
    EXPECT_TRUE(ZeroFrom(field, 5));
}

TEST(FactoryStrings, Utf8OverlongTextIsCutWithATerminatorInsideTheField) {
    char field[8];
    std::memset(field, kGarbage, sizeof(field));
    // Bytes past the field's end must not be read or written: the source is
    // exactly as long as the field, with no room for the terminator.
    CopyUtf8Field(field, sizeof(field), "ABCDEFGH");
    EXPECT_STREQ(field, "ABCDEFG");

    char exact[6];
    CopyUtf8Field(exact, sizeof(exact), "12345");
    EXPECT_STREQ(exact, "12345");
}

TEST(FactoryStrings, Utf8CutNeverSplitsACharacter) {
    // "a" then U+00E9 (C3 A9): three bytes, so a 3-byte field holds only "a".
    char field[3];
    CopyUtf8Field(field, sizeof(field), "a\xC3\xA9");
    EXPECT_EQ(field[0], 'a');
    EXPECT_TRUE(ZeroFrom(field, 1));

    // U+1D11E (F0 9D 84 9E) in a 5-byte field fits exactly with its zero.
    char wide[5];
    CopyUtf8Field(wide, sizeof(wide), "\xF0\x9D\x84\x9E");
    EXPECT_EQ(std::memcmp(wide, "\xF0\x9D\x84\x9E", 5), 0);
}

TEST(FactoryStrings, NullTextGivesAnAllZeroField) {
    char field[4];
    std::memset(field, kGarbage, sizeof(field));
    CopyUtf8Field(field, sizeof(field), nullptr);
    EXPECT_TRUE(ZeroFrom(field, 0));

    char16_t wide[4];
    std::memset(wide, kGarbage, sizeof(wide));
    CopyUtf16Field(wide, 4, nullptr);
    EXPECT_TRUE(ZeroFrom(wide, 0));
}

TEST(FactoryStrings, Utf16ConversionOfTwoThreeAndFourByteCharacters) {
    char16_t field[8];
    std::memset(field, kGarbage, sizeof(field));
    // "Zo" U+00EB, U+20AC (E2 82 AC), U+1D11E as the pair D834 DD1E.
    CopyUtf16Field(field, 8, "Zo\xC3\xAB\xE2\x82\xAC\xF0\x9D\x84\x9E");
    const char16_t expected[] = {0x005A, 0x006F, 0x00EB, 0x20AC, 0xD834, 0xDD1E};
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(field[i], expected[i]) << "unit " << i;
    EXPECT_TRUE(ZeroFrom(field, 6));
}

TEST(FactoryStrings, Utf16CutNeverSplitsASurrogatePair) {
    char16_t field[3];
    // "a" and U+1D11E need three units plus a terminator; only "a" fits.
    CopyUtf16Field(field, 3, "a\xF0\x9D\x84\x9E");
    EXPECT_EQ(field[0], u'a');
    EXPECT_TRUE(ZeroFrom(field, 1));
}

TEST(FactoryStrings, Utf16ReplacesInvalidUtf8) {
    char16_t field[8];
    // A stray continuation byte, an overlong encoding of '/', a sequence cut
    // short by the end of the text.
    CopyUtf16Field(field, 8, "\x80x\xC0\xAFy\xE2\x82");
    EXPECT_EQ(field[0], 0xFFFD);
    EXPECT_EQ(field[1], u'x');
    EXPECT_EQ(field[2], 0xFFFD);
    EXPECT_EQ(field[3], u'y');
    EXPECT_EQ(field[4], 0xFFFD);
    EXPECT_TRUE(ZeroFrom(field, 5));
}
