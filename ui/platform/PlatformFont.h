#pragma once

#include "ui/platform/FontDescriptor.h"

#include <cstdint>
#include <vector>

namespace ui {

// What a platform font hands to the drawing backend: the whole font file,
// the face to use in it, and that face's descriptor.
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

} // namespace ui
