#pragma once

// The process-wide cache of decoded bitmaps, shared by every editor of the
// process, and the pure naming rules of resolution variants.
//
// Images are decoded once per (name, scale) for the whole process. The cache
// also counts the live editors: when the last one goes, the cache is emptied
// and its images released, so nothing of ours outlives the last editor.

#include "ui/EditorTypes.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ui {

// The order in which resolution variants are tried for a target scale n:
// n first, then 3 unless n is 3, then 2 and 1, each skipping n.
struct ScaleSearchOrder {
    std::array<int32_t, 4> scales{};
    int32_t count = 0;

    const int32_t* begin() const { return scales.data(); }
    const int32_t* end() const { return scales.data() + count; }
};

// [any] Targets below 1 are searched as 1.
ScaleSearchOrder ScaleSearchOrderFor(int32_t target);

// [any] The text after the last '.', or "" when there is none.
std::string FileExtension(const std::string& name);

// [any] The resource name of the variant at scale: the name itself for 1,
// otherwise "<name without extension>@<scale>x.<extension>"
// ("LEQ_back.png" at 2 is "LEQ_back@2x.png").
std::string ScaledResourceName(const std::string& name, int32_t scale);

class BitmapCache {
public:
    // Proof that the caller holds the cache's lock.
    using Lock = std::unique_lock<std::mutex>;

    // [any] The process's cache.
    static BitmapCache& Instance();

    // [any] Held for a whole load, so that two editors loading the same
    // name at the same time decode it once.
    Lock Acquire() { return Lock(mutex); }

    // [any, locked] Null when (name, scale) is not cached.
    std::shared_ptr<APIBitmap> Find(const Lock& lock, const std::string& name, int32_t scale) const;
    // [any, locked] Keyed by (name, the image's scale); an entry already
    // cached under that key is kept, so every user shares one image.
    void Add(const Lock& lock, const std::shared_ptr<APIBitmap>& image, const std::string& name);
    // [any, locked]
    void Remove(const Lock& lock, const APIBitmap* image);
    // [any, locked]
    size_t Size(const Lock& lock) const;

    // [any] Counts an editor in.
    void AddEditor();
    // [any] Counts an editor out; the last one empties the cache.
    void RemoveEditor();
    // [any]
    int32_t LiveEditors();

private:
    struct Entry {
        std::string name;
        int32_t scale = 0;
        std::shared_ptr<APIBitmap> image;
    };

    BitmapCache() = default;

    std::mutex mutex;
    std::vector<Entry> entries;
    int32_t liveEditors = 0;
};

} // namespace ui
