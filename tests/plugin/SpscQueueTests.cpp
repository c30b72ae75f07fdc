#include "plugin/SpscQueue.h"

#include "AllocationCounter.h"
#include "AllocationCounterSupported.h"
#include "plugin/MidiTypes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>

namespace {

using plugin::SpscQueue;

TEST(SpscQueue, HoldsExactlyItsCapacityAndDropsTheNextPush) {
    SpscQueue<int> queue(32);
    EXPECT_EQ(queue.Capacity(), 32u);
    for (int i = 0; i < 32; ++i) {
        ASSERT_TRUE(queue.Push(i));
    }
    EXPECT_FALSE(queue.Push(999));
    EXPECT_EQ(queue.Available(), 32u);
    for (int i = 0; i < 32; ++i) {
        int value = -1;
        ASSERT_TRUE(queue.Pop(value));
        EXPECT_EQ(value, i);
    }
    int value = -1;
    EXPECT_FALSE(queue.Pop(value));
    EXPECT_EQ(value, -1);
}

TEST(SpscQueue, AvailableCountIsRightAcrossTheWrapOfTheIndices) {
    SpscQueue<int> queue(4); // five slots
    int value = 0;
    // Walk the indices around the storage several times with varying fill.
    int next = 0;
    int expected = 0;
    for (int round = 0; round < 23; ++round) {
        const int pushes = round % 5;
        for (int i = 0; i < pushes; ++i) {
            if (queue.Push(next)) {
                ++next;
            }
        }
        ASSERT_LE(queue.Available(), 4u);
        const size_t before = queue.Available();
        const int pops = (round * 3) % 4;
        size_t popped = 0;
        for (int i = 0; i < pops; ++i) {
            if (queue.Pop(value)) {
                ASSERT_EQ(value, expected);
                ++expected;
                ++popped;
            }
        }
        ASSERT_EQ(queue.Available(), before - popped);
        ASSERT_EQ(queue.Available(), static_cast<size_t>(next - expected));
    }
}

TEST(SpscQueue, CapacityOfOneAndSysExRecordsWork) {
    SpscQueue<plugin::SysExBlock> queue(1);
    plugin::SysExBlock block;
    block.size = 3;
    block.data[2] = 0xF7;
    EXPECT_TRUE(queue.Push(block));
    EXPECT_FALSE(queue.Push(block));
    plugin::SysExBlock out;
    ASSERT_TRUE(queue.Pop(out));
    EXPECT_EQ(out.size, 3);
    EXPECT_EQ(out.data[2], 0xF7);
    EXPECT_EQ(queue.Available(), 0u);
}

TEST(SpscQueue, PushAndPopDoNotAllocate) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    SpscQueue<plugin::MidiMessage> queue(32);
    testing_support::AllocationCounter counter;
    plugin::MidiMessage message;
    for (int i = 0; i < 100; ++i) {
        queue.Push(message);
        queue.Push(message);
        queue.Pop(message);
    }
    EXPECT_EQ(counter.Count(), 0u);
}

// Millions of items through a small queue between two threads: every item
// arrives, once, in order. Run under ThreadSanitizer to check the ordering.
TEST(SpscQueueThreaded, TwoThreadsPassMillionsOfItemsInOrderWithoutLoss) {
#if defined(LUMARO_TSAN)
    constexpr uint64_t kItems = 300'000; // TSan is ~20 times slower
#else
    constexpr uint64_t kItems = 4'000'000;
#endif
    SpscQueue<uint64_t> queue(64);

    std::thread producer([&] {
        for (uint64_t i = 1; i <= kItems;) {
            if (queue.Push(i * 2654435761u)) {
                ++i;
            } else {
                std::this_thread::yield();
            }
        }
    });

    uint64_t received = 0;
    bool inOrder = true;
    while (received < kItems) {
        uint64_t value = 0;
        if (queue.Pop(value)) {
            ++received;
            inOrder = inOrder && value == received * 2654435761u;
        } else {
            std::this_thread::yield();
        }
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(received, kItems);
    EXPECT_EQ(queue.Available(), 0u);
}

} // namespace
