#include "ui/platform/PlatformFont.h"

#include <limits>
#include <utility>

namespace ui {

BytesFont::BytesFont(Bytes bytes, std::string styleName, bool isSystem, int32_t knownFace)
    : PlatformFont(isSystem), bytes(std::move(bytes)), styleName(std::move(styleName)),
      knownFace(knownFace) {}

int32_t FindFaceByStyle(const uint8_t* bytes, size_t size, const std::string& styleName) {
    for (int32_t face = 0; face < std::numeric_limits<int32_t>::max(); ++face) {
        const FontDescriptor descriptor = ReadFontDescriptor(bytes, size, face);
        if (!descriptor.IsValid()) {
            return -1;
        }
        if (!descriptor.style.empty() && (styleName.empty() || descriptor.style == styleName)) {
            return face;
        }
    }
    return -1;
}

FontData BytesFont::ReadFontData() const {
    FontData data;
    if (!bytes || bytes->empty()) {
        return data;
    }
    data.bytes = *bytes;
    const uint8_t* start = data.bytes.data();
    const size_t size = data.bytes.size();
    int32_t face = -1;
    if (knownFace >= 0 && ReadFontDescriptor(start, size, knownFace).IsValid()) {
        face = knownFace;
    } else {
        face = FindFaceByStyle(start, size, styleName);
    }
    data.faceIndex = face;
    if (face >= 0) {
        // Read over the copy, so that the descriptor points into data.bytes.
        data.descriptor = ReadFontDescriptor(start, size, face);
    }
    return data;
}

} // namespace ui
