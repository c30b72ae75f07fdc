#include "ui/platform/FontCache.h"

#include <gtest/gtest.h>

#include <memory>

using ui::FontCache;

// Published FNV-1a 64-bit test vectors.
TEST(FontCache, KeysAreFnv1aOfTheIdAndScale) {
    EXPECT_EQ(ui::Fnv1a64(""), 0xcbf29ce484222325ull);
    EXPECT_EQ(ui::Fnv1a64("a"), 0xaf63dc4c8601ec8cull);
    EXPECT_EQ(ui::Fnv1a64("foobar"), 0x85944171f73967e8ull);
    EXPECT_EQ(ui::FontCacheKey("Roboto-Regular", 1.0), "Roboto-Regular-1.0x");
    EXPECT_EQ(ui::FontCacheKey("x", 2.0), "x-2.0x");
}

namespace {
// Records the order in which payloads are destroyed.
struct Tracked {
    std::shared_ptr<std::vector<int>> log;
    int id;
    Tracked(std::shared_ptr<std::vector<int>> log, int id) : log(std::move(log)), id(id) {}
    Tracked(Tracked&& other) noexcept : log(std::move(other.log)), id(other.id) {}
    ~Tracked() {
        if (log) {
            log->push_back(id);
        }
    }
};
} // namespace

TEST(FontCache, FindsByNameAndScaleInInsertionOrderAndEmptiesWithTheLastUser) {
    FontCache<Tracked> cache;
    auto log = std::make_shared<std::vector<int>>();
    cache.AddUser();
    cache.AddUser();
    {
        std::lock_guard lock(cache.Lock());
        cache.Add("Roboto-Regular", 1.0, Tracked(log, 1));
        cache.Add("Roboto-Regular", 1.0, Tracked(log, 2)); // not looked up: first wins
        cache.Add("Other", 1.0, Tracked(log, 3));
        ASSERT_NE(cache.Find("Roboto-Regular", 1.0), nullptr);
        EXPECT_EQ(cache.Find("Roboto-Regular", 1.0)->id, 1);
        EXPECT_EQ(cache.Find("Other", 1.0)->id, 3);
        EXPECT_EQ(cache.Find("Roboto-Regular", 2.0), nullptr);
        EXPECT_EQ(cache.Find("roboto-regular", 1.0), nullptr);
    }
    log->clear();
    cache.RemoveUser();
    EXPECT_EQ(cache.Size(), 3u);
    cache.RemoveUser();
    EXPECT_EQ(cache.Size(), 0u);
    EXPECT_EQ(*log, (std::vector<int>{3, 2, 1})); // last entry first
    cache.RemoveUser();                           // no user left: nothing happens
    EXPECT_EQ(cache.Users(), 0);
}
