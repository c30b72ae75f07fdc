#pragma once

// The window host's side of font loading: platform fonts from embedded
// resources, files, memory and installed system fonts, and the fonts kept for
// the window's text field. The X11 window owns one and forwards its font
// operations to it.

#include "ui/platform/FontCache.h"
#include "ui/platform/PlatformFont.h"
#include "ui/platform/ResourceTable.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace ui {

// Bytes "registered" by LoadFontFromMemory: the Linux counterpart of a
// private font registration, which lives until the cache is emptied.
struct MemoryFontRegistration {
    BytesFont::Bytes bytes;
};

// What the window's text field needs to draw in a font.
struct WindowFontRecord {
    BytesFont::Bytes bytes; // the whole font file
    int32_t faceIndex = -1;
    std::string family;
    std::string style;
    bool isSystem = false;
};

using MemoryFontCache = FontCache<MemoryFontRegistration>;
using WindowFontCache = FontCache<WindowFontRecord>;

// [any] The caches shared by every window of the process.
MemoryFontCache& ProcessMemoryFontCache();
WindowFontCache& ProcessWindowFontCache();

// Style argument of LoadSystemFont.
enum SystemFontStyle : int32_t { kSystemFontBold = 1, kSystemFontItalic = 2 };

// Files larger than this are refused as fonts.
inline constexpr size_t kMaxFontFileBytes = 64u << 20;

class WindowFonts {
public:
    // [ui] Becomes a user of the memory-font cache, then of the window-font
    // cache (always in this order). table: the module's embedded files.
    explicit WindowFonts(const ResourceTable* table = nullptr);
    // [ui] Leaves both caches; the last user empties them.
    ~WindowFonts();
    WindowFonts(const WindowFonts&) = delete;
    WindowFonts& operator=(const WindowFonts&) = delete;

    // [ui]
    void SetResourceTable(const ResourceTable* table) { resources = table; }

    // [ui] An embedded "<name>" of type TTF, else the file at that path; null
    // when neither exists or the bytes hold no readable font.
    std::unique_ptr<PlatformFont> LoadFontFromFileOrResource(const char* fontId, const char* name);
    // [ui] Copies the bytes into a new registration (every call adds one);
    // null when face 0 has no descriptor or no family name.
    std::unique_ptr<PlatformFont> LoadFontFromMemory(const char* fontId, const void* bytes,
                                                     int32_t byteCount);
    // [ui] An installed font of that family through fontconfig (style: 1
    // bold, 2 italic, other regular); null when the best match is of another
    // family. The font id is not used.
    std::unique_ptr<PlatformFont> LoadSystemFont(const char* fontId, const char* family,
                                                 int32_t style);
    // [ui] Keeps the font for the text field under the id; an id already
    // cached keeps its first font.
    void CacheWindowFont(const char* fontId, const PlatformFont& font);
    // [ui] The text field's font for the id, if cached.
    std::optional<WindowFontRecord> FindWindowFont(const char* fontId) const;

private:
    std::unique_ptr<PlatformFont> RegisterFontBytes(const char* fontId, BytesFont::Bytes bytes);

    const ResourceTable* resources;
    FontCacheUse<MemoryFontRegistration> memoryFontsUse;
    FontCacheUse<WindowFontRecord> windowFontsUse;
};

} // namespace ui
