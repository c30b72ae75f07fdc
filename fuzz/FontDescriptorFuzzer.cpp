// ReadFontDescriptor on any bytes and face index: no read outside the bytes
// (AddressSanitizer), and a valid descriptor agrees with a second, plain
// reading of the table directory and of the fields it reports.

#include "FuzzCheck.h"

#include "ui/platform/FontDescriptor.h"

#include <cstring>
#include <string>

namespace {

uint32_t Be(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        v = v << 8 | p[i];
    }
    return v;
}

bool WellFormedUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<uint8_t>(s[i]);
        const size_t n = c < 0x80                ? 1
                         : c >= 0xC2 && c < 0xE0 ? 2
                         : c >= 0xE0 && c < 0xF0 ? 3
                         : c >= 0xF0 && c < 0xF5 ? 4
                                                 : 0;
        if (n == 0 || i + n > s.size()) {
            return false;
        }
        for (size_t k = 1; k < n; ++k) {
            if ((static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += n;
    }
    return true;
}

// The first directory record of the tag, read plainly (the directory is
// known to lie inside the bytes when the descriptor is valid).
uint32_t PlainTableOffset(const uint8_t* data, const uint8_t* directory, const char* tag) {
    const uint32_t count = Be(directory + 4, 2);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* record = directory + 12 + 16 * i;
        if (std::memcmp(record, tag, 4) == 0) {
            return Be(record + 8, 4);
        }
    }
    (void)data;
    return 0;
}

void Check(const uint8_t* data, size_t size, int32_t faceIndex) {
    const ui::FontDescriptor d = ui::ReadFontDescriptor(data, size, faceIndex);
    if (!d.IsValid()) {
        FUZZ_CHECK(d.family.empty() && d.style.empty() && d.unitsPerEm == 0,
                   "an invalid descriptor carries values");
        return;
    }
    FUZZ_CHECK(faceIndex >= 0, "face %d is valid", faceIndex);
    FUZZ_CHECK(d.face >= data && d.face + 12 <= data + size, "directory outside the bytes");
    const size_t directory = static_cast<size_t>(d.face - data);
    const bool single = size >= 4 && std::memcmp(data, "ttcf", 4) != 0;
    FUZZ_CHECK(!single || (faceIndex == 0 && directory == 0), "single font, face %d", faceIndex);
    FUZZ_CHECK(directory + 12 + 16 * Be(d.face + 4, 2) <= size, "directory runs past the end");
    FUZZ_CHECK(PlainTableOffset(data, d.face, "head") == d.headOffset, "head offset");
    FUZZ_CHECK(PlainTableOffset(data, d.face, "hhea") == d.hheaOffset, "hhea offset");
    FUZZ_CHECK(PlainTableOffset(data, d.face, "name") == d.nameOffset, "name offset");
    FUZZ_CHECK(d.headOffset + size_t{46} <= size && d.hheaOffset + size_t{10} <= size &&
                   d.nameOffset + size_t{6} <= size,
               "a table is too short for what was read");
    FUZZ_CHECK(d.unitsPerEm == Be(data + d.headOffset + 18, 2), "unitsPerEm");
    FUZZ_CHECK(d.macStyle == Be(data + d.headOffset + 44, 2), "macStyle");
    FUZZ_CHECK(d.ascender == static_cast<int16_t>(Be(data + d.hheaOffset + 4, 2)), "ascender");
    FUZZ_CHECK(d.descender == static_cast<int16_t>(Be(data + d.hheaOffset + 6, 2)), "descender");
    FUZZ_CHECK(d.lineGap == static_cast<int16_t>(Be(data + d.hheaOffset + 8, 2)), "lineGap");
    // A name is at most a table's worth of UTF-16 (3 bytes per unit in
    // UTF-8) or of Mac OS Roman (3 bytes per byte).
    FUZZ_CHECK(WellFormedUtf8(d.family) && WellFormedUtf8(d.style), "names are not UTF-8");
    FUZZ_CHECK(d.family.size() <= 3 * size && d.style.size() <= 3 * size, "names too long");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int32_t face : {0, 1, 2, -1}) {
        Check(data, size, face);
    }
    return 0;
}
