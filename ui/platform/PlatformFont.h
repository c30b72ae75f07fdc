#pragma once

#include "ui/platform/FontDescriptor.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ui {

// What a platform font hands to the drawing backend: the whole font file,
// the face to use in it, and that face's descriptor. descriptor.face points
// into bytes: move a FontData, never copy it.
struct FontData {
    FontDescriptor descriptor;
    std::vector<uint8_t> bytes;
    int32_t faceIndex = -1; // -1: no usable face
};

// A font as the window host produced it for a font id (from embedded bytes,
// a file or an installed system font). Temporary: the editor core deletes it
// once the backend and the window host have cached what they need.
// Any thread may use one object at a time.
class PlatformFont {
public:
    explicit PlatformFont(bool isSystem) : isSystem(isSystem) {}
    virtual ~PlatformFont() = default;
    PlatformFont(const PlatformFont&) = delete;
    PlatformFont& operator=(const PlatformFont&) = delete;

    // A native handle where the platform has one; null here.
    virtual void* GetFontHandle() const { return nullptr; }
    // The base has no bytes and no face.
    virtual FontData ReadFontData() const { return {}; }

    bool IsSystem() const { return isSystem; }

private:
    bool isSystem;
};

// A platform font that carries the font file's bytes (shared with the
// process-wide memory-font cache, never modified) and a style name: the
// Linux form of a platform font, where there is no native font handle.
class BytesFont final : public PlatformFont {
public:
    using Bytes = std::shared_ptr<const std::vector<uint8_t>>;

    // styleName picks the face of a collection: empty for the first face that
    // names a style. knownFace, when >= 0, is the face a font lookup already
    // chose (fontconfig reports it); it wins when that face is readable.
    BytesFont(Bytes bytes, std::string styleName, bool isSystem, int32_t knownFace = -1);

    // [any] A copy of the bytes, the face found and its descriptor; no bytes
    // and face -1 when the bytes hold no usable face.
    FontData ReadFontData() const override;

    const Bytes& SharedBytes() const { return bytes; }
    const std::string& StyleName() const { return styleName; }

private:
    Bytes bytes;
    std::string styleName;
    int32_t knownFace;
};

// [any] The face of a font file whose style name matches: for i = 0, 1, ...
// the first face that names a style, when styleName is empty, or whose style
// is styleName (byte for byte); -1 when an unreadable face comes first.
int32_t FindFaceByStyle(const uint8_t* bytes, size_t size, const std::string& styleName);

} // namespace ui
