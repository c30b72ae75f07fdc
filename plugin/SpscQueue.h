#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

namespace plugin {

// Bounded single-producer single-consumer queue. Exactly one thread pushes and
// exactly one thread pops; which threads those are is said where each queue is
// declared. Storage for capacity + 1 elements is allocated at construction;
// one slot stays empty so that "full" and "empty" need no shared counter.
//
// Push and Pop are wait-free, never allocate and never free, so either side may
// be the audio thread. Each side publishes its own index with release ordering
// after it has stored or taken the element, and reads the other side's index
// with acquire ordering. Elements are copied, so T should be a small trivially
// copyable record.
template <typename T> class SpscQueue {
public:
    // [ui] allocates capacity + 1 elements.
    explicit SpscQueue(size_t capacity)
        : slotCount(capacity + 1), slots(std::make_unique<T[]>(capacity + 1)) {}

    SpscQueue(const SpscQueue&) = delete;
    SpscQueue& operator=(const SpscQueue&) = delete;

    // [producer] Stores a copy of item; returns false, leaving the queue
    // unchanged, when the queue is full.
    bool Push(const T& item) noexcept {
        const size_t write = writeIndex.load(std::memory_order_relaxed);
        const size_t next = Advance(write);
        if (next == readIndex.load(std::memory_order_acquire)) {
            return false;
        }
        slots[write] = item;
        writeIndex.store(next, std::memory_order_release);
        return true;
    }

    // [consumer] Takes the oldest element into item; returns false when empty.
    bool Pop(T& item) noexcept {
        const size_t read = readIndex.load(std::memory_order_relaxed);
        if (read == writeIndex.load(std::memory_order_acquire)) {
            return false;
        }
        item = slots[read];
        readIndex.store(Advance(read), std::memory_order_release);
        return true;
    }

    // [any] Elements waiting. Exact on either end's own thread when the other
    // end is idle; otherwise a snapshot that may already be stale.
    size_t Available() const noexcept {
        const size_t write = writeIndex.load(std::memory_order_acquire);
        const size_t read = readIndex.load(std::memory_order_acquire);
        return write >= read ? write - read : write + slotCount - read;
    }

    // [any]
    size_t Capacity() const noexcept { return slotCount - 1; }

private:
    size_t Advance(size_t index) const noexcept { return index + 1 == slotCount ? 0 : index + 1; }

    // Keeps the two indices on separate cache lines so that the producer and
    // the consumer do not invalidate each other's line on every operation.
    static constexpr size_t kCacheLine = 64;

    const size_t slotCount;
    std::unique_ptr<T[]> slots;
    alignas(kCacheLine) std::atomic<size_t> writeIndex{0};
    alignas(kCacheLine) std::atomic<size_t> readIndex{0};
};

} // namespace plugin
