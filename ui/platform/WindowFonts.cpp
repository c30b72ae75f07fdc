#include "ui/platform/WindowFonts.h"

#include "ui/platform/Resources.h"
#include "ui/platform/SystemFonts.h"

#include <mutex>

namespace ui {

namespace {

constexpr double kFontScale = 1.0;
constexpr const char* kFontExtension = "ttf";

BytesFont::Bytes ShareBytes(const void* bytes, size_t count) {
    const auto* first = static_cast<const uint8_t*>(bytes);
    return std::make_shared<const std::vector<uint8_t>>(first, first + count);
}

} // namespace

MemoryFontCache& ProcessMemoryFontCache() {
    static MemoryFontCache cache;
    return cache;
}

WindowFontCache& ProcessWindowFontCache() {
    static WindowFontCache cache;
    return cache;
}

WindowFonts::WindowFonts(const ResourceTable* table)
    : resources(table), memoryFontsUse(ProcessMemoryFontCache()),
      windowFontsUse(ProcessWindowFontCache()) {}

// The members leave the caches in reverse order, one lock at a time (neither
// is held while the other is taken).
WindowFonts::~WindowFonts() = default;

std::unique_ptr<PlatformFont> WindowFonts::RegisterFontBytes(const char* fontId,
                                                             BytesFont::Bytes bytes) {
    MemoryFontCache& cache = ProcessMemoryFontCache();
    std::lock_guard lock(cache.Lock());
    if (!bytes || bytes->empty()) {
        return nullptr;
    }
    const FontDescriptor descriptor = ReadFontDescriptor(bytes->data(), bytes->size(), 0);
    if (!descriptor.IsValid() || descriptor.family.empty()) {
        return nullptr;
    }
    cache.Add(fontId ? fontId : "", kFontScale, {bytes});
    return std::make_unique<BytesFont>(std::move(bytes), std::string(), false);
}

std::unique_ptr<PlatformFont> WindowFonts::LoadFontFromMemory(const char* fontId, const void* bytes,
                                                              int32_t byteCount) {
    if (!bytes || byteCount <= 0) {
        return nullptr;
    }
    return RegisterFontBytes(fontId, ShareBytes(bytes, static_cast<size_t>(byteCount)));
}

std::unique_ptr<PlatformFont> WindowFonts::LoadFontFromFileOrResource(const char* fontId,
                                                                      const char* name) {
    if (!name) {
        return nullptr;
    }
    std::lock_guard lock(ProcessMemoryFontCache().Lock());
    const LocatedResource located = LocateResource(resources, name, kFontExtension);
    switch (located.location) {
    case ResourceLocation::Embedded: {
        const auto bytes = LoadResourceBytes(resources, located.name, UpperAscii(kFontExtension));
        return bytes.empty() ? nullptr
                             : RegisterFontBytes(fontId, ShareBytes(bytes.data(), bytes.size()));
    }
    case ResourceLocation::File: {
        auto bytes = ReadWholeFile(located.name, kMaxFontFileBytes);
        if (!bytes) {
            return nullptr;
        }
        return RegisterFontBytes(fontId,
                                 std::make_shared<const std::vector<uint8_t>>(std::move(*bytes)));
    }
    case ResourceLocation::NotFound:
        break;
    }
    return nullptr;
}

std::unique_ptr<PlatformFont> WindowFonts::LoadSystemFont(const char* /*fontId*/,
                                                          const char* family, int32_t style) {
    if (!family || !*family) {
        return nullptr;
    }
    const auto match =
        MatchSystemFont(family, style == kSystemFontBold, style == kSystemFontItalic);
    if (!match) {
        return nullptr;
    }
    auto bytes = ReadWholeFile(match->path, kMaxFontFileBytes);
    if (!bytes || bytes->empty()) {
        return nullptr;
    }
    const char* styleName = style == kSystemFontBold     ? "Bold"
                            : style == kSystemFontItalic ? "Italic"
                                                         : "Regular";
    return std::make_unique<BytesFont>(
        std::make_shared<const std::vector<uint8_t>>(std::move(*bytes)), styleName, true,
        match->faceIndex);
}

void WindowFonts::CacheWindowFont(const char* fontId, const PlatformFont& font) {
    const std::string id = fontId ? fontId : "";
    WindowFontCache& cache = ProcessWindowFontCache();
    std::lock_guard lock(cache.Lock());
    if (cache.Find(id, kFontScale)) {
        return;
    }
    FontData data = font.ReadFontData();
    WindowFontRecord record;
    record.faceIndex = data.faceIndex;
    record.family = data.descriptor.family;
    record.style = data.descriptor.style;
    record.isSystem = font.IsSystem();
    record.bytes = std::make_shared<const std::vector<uint8_t>>(std::move(data.bytes));
    cache.Add(id, kFontScale, std::move(record));
}

std::optional<WindowFontRecord> WindowFonts::FindWindowFont(const char* fontId) const {
    WindowFontCache& cache = ProcessWindowFontCache();
    std::lock_guard lock(cache.Lock());
    const WindowFontRecord* record = cache.Find(fontId ? fontId : "", kFontScale);
    return record ? std::optional<WindowFontRecord>(*record) : std::nullopt;
}

} // namespace ui
