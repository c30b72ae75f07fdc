#pragma once

// The process-wide font caches: one list per kind of font object, shared by
// every editor of the process, each with its own lock and count of users.

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

namespace ui {

// [any] 64-bit FNV-1a.
uint64_t Fnv1a64(std::string_view text);
// [any] The key text of a font id at a scale: "Roboto-Regular-1.0x".
std::string FontCacheKey(std::string_view fontId, double scale);

// Entries in insertion order under a recursive lock (a cache operation may
// call another while holding it). Users are the editors that may look
// entries up; the last one to leave empties the cache, last entry first.
//
// Find and Add expect the caller to hold Lock() for as long as it uses what
// Find returned.
template <typename Payload> class FontCache {
public:
    struct Entry {
        uint64_t keyHash;
        std::string name;
        double scale;
        Payload payload;
    };

    FontCache() = default;
    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;

    // [any]
    std::recursive_mutex& Lock() { return mutex; }

    // [any, lock held] The first entry of that name and scale, or null.
    Payload* Find(std::string_view name, double scale) {
        const uint64_t hash = Fnv1a64(FontCacheKey(name, scale));
        for (Entry& entry : entries) {
            if (entry.keyHash == hash && entry.scale == scale && entry.name == name) {
                return &entry.payload;
            }
        }
        return nullptr;
    }
    // [any, lock held] Appends; does not look for an existing entry.
    void Add(std::string_view name, double scale, Payload payload) {
        entries.push_back(
            {Fnv1a64(FontCacheKey(name, scale)), std::string(name), scale, std::move(payload)});
    }

    // [any] Takes the lock.
    void AddUser() {
        std::lock_guard lock(mutex);
        ++users;
    }
    // [any] Takes the lock; empties the cache when the last user leaves.
    void RemoveUser() {
        std::lock_guard lock(mutex);
        if (users > 0 && --users == 0) {
            while (!entries.empty()) {
                entries.pop_back();
            }
        }
    }
    // [any] Takes the lock.
    size_t Size() {
        std::lock_guard lock(mutex);
        return entries.size();
    }
    int32_t Users() {
        std::lock_guard lock(mutex);
        return users;
    }

private:
    std::recursive_mutex mutex;
    std::deque<Entry> entries; // appending keeps earlier entries in place
    int32_t users = 0;
};

// Holds one use of a cache for its own lifetime.
template <typename Payload> class FontCacheUse {
public:
    explicit FontCacheUse(FontCache<Payload>& cache) : cache(cache) { cache.AddUser(); }
    ~FontCacheUse() { cache.RemoveUser(); }
    FontCacheUse(const FontCacheUse&) = delete;
    FontCacheUse& operator=(const FontCacheUse&) = delete;

private:
    FontCache<Payload>& cache;
};

} // namespace ui
