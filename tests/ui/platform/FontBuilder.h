#pragma once

// Builds small TrueType files and collections with known values: the
// descriptor tests compare what the reader finds with what was written.

#include <cstdint>
#include <string>
#include <vector>

namespace font_builder {

struct NameRecord {
    uint16_t platform = 3;
    uint16_t encoding = 1;
    uint16_t language = 0x0409;
    uint16_t nameId = 1;
    std::vector<uint8_t> bytes;
};

struct FaceSpec {
    uint16_t unitsPerEm = 1000;
    uint16_t macStyle = 0;
    int16_t ascender = 800;
    int16_t descender = -200;
    int16_t lineGap = 90;
    std::vector<NameRecord> names;
};

inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}
inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v >> 16);
    Put16(out, v & 0xFFFF);
}
inline void Set32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
    }
}

// UTF-16 code units, big-endian.
inline NameRecord WindowsName(uint16_t nameId, const std::u16string& text) {
    NameRecord r{3, 1, 0x0409, nameId, {}};
    for (char16_t unit : text) {
        Put16(r.bytes, unit);
    }
    return r;
}
// Bytes as they are (Mac OS Roman).
inline NameRecord MacName(uint16_t nameId, const std::string& text) {
    return {1, 0, 0, nameId, std::vector<uint8_t>(text.begin(), text.end())};
}

// Appends one face (table directory, then head, hhea and name) at the end of
// out; table offsets count from the start of out.
inline void AppendFace(std::vector<uint8_t>& out, const FaceSpec& face) {
    const size_t directory = out.size();
    Put32(out, 0x00010000);
    Put16(out, 3);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 0);
    const char* tags[3] = {"head", "hhea", "name"};
    for (const char* tag : tags) {
        out.insert(out.end(), tag, tag + 4);
        Put32(out, 0); // checksum
        Put32(out, 0); // offset, set below
        Put32(out, 0); // length
    }
    auto finishTable = [&](int index, size_t start) {
        Set32(out, directory + 12 + 16 * index + 8, static_cast<uint32_t>(start));
        Set32(out, directory + 12 + 16 * index + 12, static_cast<uint32_t>(out.size() - start));
    };
    size_t start = out.size();
    out.resize(start + 54, 0);
    out[start + 18] = static_cast<uint8_t>(face.unitsPerEm >> 8);
    out[start + 19] = static_cast<uint8_t>(face.unitsPerEm);
    out[start + 44] = static_cast<uint8_t>(face.macStyle >> 8);
    out[start + 45] = static_cast<uint8_t>(face.macStyle);
    finishTable(0, start);

    start = out.size();
    out.resize(start + 36, 0);
    const int16_t metrics[3] = {face.ascender, face.descender, face.lineGap};
    for (int i = 0; i < 3; ++i) {
        out[start + 4 + 2 * i] = static_cast<uint8_t>(static_cast<uint16_t>(metrics[i]) >> 8);
        out[start + 5 + 2 * i] = static_cast<uint8_t>(static_cast<uint16_t>(metrics[i]));
    }
    finishTable(1, start);

    start = out.size();
    Put16(out, 0);
    Put16(out, static_cast<uint32_t>(face.names.size()));
    Put16(out, static_cast<uint32_t>(6 + 12 * face.names.size()));
    uint32_t stringOffset = 0;
    for (const NameRecord& r : face.names) {
        for (uint32_t v :
             {uint32_t{r.platform}, uint32_t{r.encoding}, uint32_t{r.language}, uint32_t{r.nameId},
              static_cast<uint32_t>(r.bytes.size()), stringOffset}) {
            Put16(out, v);
        }
        stringOffset += static_cast<uint32_t>(r.bytes.size());
    }
    for (const NameRecord& r : face.names) {
        out.insert(out.end(), r.bytes.begin(), r.bytes.end());
    }
    finishTable(2, start);
}

inline std::vector<uint8_t> BuildFont(const FaceSpec& face) {
    std::vector<uint8_t> out;
    AppendFace(out, face);
    return out;
}

inline std::vector<uint8_t> BuildCollection(const std::vector<FaceSpec>& faces,
                                            uint32_t version = 0x00010000) {
    std::vector<uint8_t> out{'t', 't', 'c', 'f'};
    Put32(out, version);
    Put32(out, static_cast<uint32_t>(faces.size()));
    const size_t offsets = out.size();
    out.resize(out.size() + 4 * faces.size(), 0);
    for (size_t i = 0; i < faces.size(); ++i) {
        Set32(out, offsets + 4 * i, static_cast<uint32_t>(out.size()));
        AppendFace(out, faces[i]);
    }
    return out;
}

inline FaceSpec NamedFace(const std::u16string& family, const std::u16string& style) {
    FaceSpec face;
    face.names = {WindowsName(1, family), WindowsName(2, style)};
    return face;
}

} // namespace font_builder
