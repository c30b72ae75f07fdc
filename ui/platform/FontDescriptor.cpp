#include "ui/platform/FontDescriptor.h"

#include <array>
#include <optional>

namespace ui {

namespace {

// Big-endian reads that refuse to look past the end: every offset in a font
// file comes from the file itself.
class FontBytes {
public:
    FontBytes(const uint8_t* bytes, size_t size) : bytes(bytes), size(bytes ? size : 0) {}

    bool Has(size_t offset, size_t count) const { return offset <= size && count <= size - offset; }
    std::optional<uint16_t> U16(size_t offset) const {
        if (!Has(offset, 2)) {
            return std::nullopt;
        }
        return static_cast<uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
    }
    std::optional<uint32_t> U32(size_t offset) const {
        if (!Has(offset, 4)) {
            return std::nullopt;
        }
        return static_cast<uint32_t>(bytes[offset]) << 24 |
               static_cast<uint32_t>(bytes[offset + 1]) << 16 |
               static_cast<uint32_t>(bytes[offset + 2]) << 8 | bytes[offset + 3];
    }
    bool TagIs(size_t offset, const char (&tag)[5]) const {
        if (!Has(offset, 4)) {
            return false;
        }
        for (size_t i = 0; i < 4; ++i) {
            if (bytes[offset + i] != static_cast<uint8_t>(tag[i])) {
                return false;
            }
        }
        return true;
    }
    const uint8_t* At(size_t offset) const { return bytes + offset; }

private:
    const uint8_t* bytes;
    size_t size;
};

constexpr uint32_t kCollectionVersion1 = 0x00010000;
constexpr uint32_t kCollectionVersion2 = 0x00020000;
// Bytes a table must hold for the fields read from it.
constexpr size_t kHeadBytesRead = 46;  // macStyle at 44
constexpr size_t kHheaBytesRead = 10;  // lineGap at 8
constexpr size_t kNameHeaderBytes = 6; // format, count, storage offset
constexpr size_t kNameRecordBytes = 12;
constexpr size_t kTableRecordBytes = 16;
constexpr size_t kDirectoryHeaderBytes = 12;

// Where the face's table directory starts, if the face exists.
std::optional<size_t> FaceStart(const FontBytes& font, int32_t faceIndex) {
    const bool single = font.TagIs(0, "1\0\0\0") || font.TagIs(0, "typ1") ||
                        font.TagIs(0, "OTTO") || font.TagIs(0, "\0\1\0\0");
    if (single) {
        return faceIndex == 0 ? std::optional<size_t>(0) : std::nullopt;
    }
    if (!font.TagIs(0, "ttcf") || faceIndex < 0) {
        return std::nullopt;
    }
    const auto version = font.U32(4);
    const auto faceCount = font.U32(8);
    if (!version || (*version != kCollectionVersion1 && *version != kCollectionVersion2) ||
        !faceCount || static_cast<uint32_t>(faceIndex) >= *faceCount) {
        return std::nullopt;
    }
    const auto start = font.U32(12 + 4 * static_cast<size_t>(faceIndex));
    return start ? std::optional<size_t>(*start) : std::nullopt;
}

struct TableRef {
    uint32_t offset = 0;
    uint32_t length = 0;
};

// The first record of the tag; a record whose table does not lie inside the
// bytes counts as missing, so later reads inside the table are safe.
TableRef FindTable(const FontBytes& font, size_t directory, uint16_t tableCount,
                   const char (&tag)[5]) {
    for (size_t i = 0; i < tableCount; ++i) {
        const size_t record = directory + kDirectoryHeaderBytes + i * kTableRecordBytes;
        if (!font.TagIs(record, tag)) {
            continue;
        }
        const uint32_t offset = font.U32(record + 8).value_or(0);
        const uint32_t length = font.U32(record + 12).value_or(0);
        if (!font.Has(offset, length)) {
            return {};
        }
        return {offset, length};
    }
    return {};
}

void AppendUtf8(std::string& out, uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | codePoint >> 6);
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | codePoint >> 12);
        out += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | codePoint >> 18);
        out += static_cast<char>(0x80 | (codePoint >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

constexpr uint32_t kReplacement = 0xFFFD;

// UTF-16 big-endian; unpaired surrogates become U+FFFD.
std::string Utf16BeToUtf8(const uint8_t* text, size_t byteCount) {
    std::string out;
    const size_t units = byteCount / 2;
    for (size_t i = 0; i < units; ++i) {
        const uint32_t unit = static_cast<uint32_t>(text[2 * i] << 8 | text[2 * i + 1]);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units) {
            const uint32_t low = static_cast<uint32_t>(text[2 * i + 2] << 8 | text[2 * i + 3]);
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, unit >= 0xD800 && unit < 0xE000 ? kReplacement : unit);
    }
    return out;
}

// Mac OS Roman, bytes 0x80-0xFF, so that names read from Macintosh records
// are UTF-8 like every other text of the program.
constexpr std::array<uint16_t, 128> kMacRoman = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3,
    0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3,
    0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA,
    0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D,
    0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE,
    0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

std::string MacRomanToUtf8(const uint8_t* text, size_t byteCount) {
    std::string out;
    for (size_t i = 0; i < byteCount; ++i) {
        AppendUtf8(out, text[i] < 0x80 ? text[i] : kMacRoman[text[i] - 0x80]);
    }
    return out;
}

enum class NameForm { Windows, Macintosh };

constexpr uint16_t kPlatformMacintosh = 1;
constexpr uint16_t kPlatformWindows = 3;
constexpr uint16_t kEncodingWindowsUnicodeBmp = 1;
constexpr uint16_t kLanguageWindowsUsEnglish = 0x0409;

// The string of the first record of that form and name id; empty when there
// is none or it does not lie inside the name table.
std::string ReadName(const FontBytes& font, const TableRef& table, uint16_t nameId, NameForm form) {
    const size_t base = table.offset;
    const size_t tableEnd = base + table.length;
    const auto count = font.U16(base + 2);
    const auto storage = font.U16(base + 4);
    if (!count || !storage || table.length < kNameHeaderBytes) {
        return {};
    }
    const uint16_t platform = form == NameForm::Windows ? kPlatformWindows : kPlatformMacintosh;
    const uint16_t encoding = form == NameForm::Windows ? kEncodingWindowsUnicodeBmp : 0;
    const uint16_t language = form == NameForm::Windows ? kLanguageWindowsUsEnglish : 0;
    for (size_t i = 0; i < *count; ++i) {
        const size_t record = base + kNameHeaderBytes + i * kNameRecordBytes;
        if (record + kNameRecordBytes > tableEnd) {
            return {};
        }
        if (font.U16(record) != platform || font.U16(record + 2) != encoding ||
            font.U16(record + 4) != language || font.U16(record + 6) != nameId) {
            continue;
        }
        const size_t length = *font.U16(record + 8);
        const size_t start = base + *storage + *font.U16(record + 10);
        if (start + length > tableEnd) {
            return {};
        }
        return form == NameForm::Windows ? Utf16BeToUtf8(font.At(start), length)
                                         : MacRomanToUtf8(font.At(start), length);
    }
    return {};
}

std::string ReadNameAnyForm(const FontBytes& font, const TableRef& table, uint16_t nameId) {
    std::string name = ReadName(font, table, nameId, NameForm::Windows);
    return name.empty() ? ReadName(font, table, nameId, NameForm::Macintosh) : name;
}

constexpr uint16_t kNameIdFamily = 1;
constexpr uint16_t kNameIdStyle = 2;

} // namespace

FontDescriptor ReadFontDescriptor(const uint8_t* bytes, size_t size, int32_t faceIndex) {
    const FontBytes font(bytes, size);
    const auto directory = FaceStart(font, faceIndex);
    if (!directory) {
        return {};
    }
    const auto tableCount = font.U16(*directory + 4);
    if (!tableCount ||
        !font.Has(*directory, kDirectoryHeaderBytes + *tableCount * kTableRecordBytes)) {
        return {};
    }
    const TableRef head = FindTable(font, *directory, *tableCount, "head");
    const TableRef name = FindTable(font, *directory, *tableCount, "name");
    const TableRef hhea = FindTable(font, *directory, *tableCount, "hhea");
    // A table too short for what is read from it is as good as missing.
    if (head.offset == 0 || head.length < kHeadBytesRead || hhea.offset == 0 ||
        hhea.length < kHheaBytesRead || name.offset == 0 || name.length < kNameHeaderBytes) {
        return {};
    }

    FontDescriptor descriptor;
    descriptor.face = font.At(*directory);
    descriptor.headOffset = head.offset;
    descriptor.nameOffset = name.offset;
    descriptor.hheaOffset = hhea.offset;
    descriptor.unitsPerEm = *font.U16(head.offset + 18);
    descriptor.macStyle = *font.U16(head.offset + 44);
    descriptor.ascender = static_cast<int16_t>(*font.U16(hhea.offset + 4));
    descriptor.descender = static_cast<int16_t>(*font.U16(hhea.offset + 6));
    descriptor.lineGap = static_cast<int16_t>(*font.U16(hhea.offset + 8));
    descriptor.family = ReadNameAnyForm(font, name, kNameIdFamily);
    descriptor.style = ReadNameAnyForm(font, name, kNameIdStyle);
    return descriptor;
}

} // namespace ui
