#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace reference {

// Single-thread ring buffer of samples between the downsampler, which delivers
// in bursts, and the host block, which takes exactly its frame count.
// Storage is sized once by Resize; Push, Pop and Discard never allocate.
class SampleFifo {
public:
    // [ui, processing stopped]
    void Resize(std::size_t capacity) {
        storage.assign(capacity, 0.0);
        readIndex = 0;
        size = 0;
    }

    // [ui, processing stopped]
    void FillWithZeros(std::size_t count) noexcept {
        Clear();
        size = std::min(count, storage.size());
        std::fill(storage.begin(), storage.begin() + static_cast<std::ptrdiff_t>(size), 0.0);
    }

    // [audio] wait-free
    void Clear() noexcept {
        readIndex = 0;
        size = 0;
    }

    // Appends as many samples as fit; returns how many were taken.
    // [audio] wait-free
    std::size_t Push(const double* samples, std::size_t count) noexcept {
        const std::size_t capacity = storage.size();
        const std::size_t taken = std::min(count, capacity - size);
        std::size_t writeIndex = readIndex + size;
        if (writeIndex >= capacity)
            writeIndex -= capacity;
        const std::size_t first = std::min(taken, capacity - writeIndex);
        std::copy(samples, samples + first, storage.data() + writeIndex);
        std::copy(samples + first, samples + taken, storage.data());
        size += taken;
        return taken;
    }

    // Takes up to count samples; returns how many were there.
    // [audio] wait-free
    std::size_t Pop(double* destination, std::size_t count) noexcept {
        const std::size_t taken = std::min(count, size);
        const std::size_t first = std::min(taken, storage.size() - readIndex);
        const double* source = storage.data();
        std::copy(source + readIndex, source + readIndex + first, destination);
        std::copy(source, source + (taken - first), destination + first);
        Advance(taken);
        return taken;
    }

    // [audio] wait-free
    std::size_t Discard(std::size_t count) noexcept {
        const std::size_t taken = std::min(count, size);
        Advance(taken);
        return taken;
    }

    // [any]
    std::size_t Size() const noexcept { return size; }
    // [any]
    std::size_t Capacity() const noexcept { return storage.size(); }

private:
    void Advance(std::size_t count) noexcept {
        readIndex += count;
        if (readIndex >= storage.size())
            readIndex -= storage.size();
        size -= count;
        if (size == 0)
            readIndex = 0;
    }

    std::vector<double> storage;
    std::size_t readIndex = 0;
    std::size_t size = 0;
};

} // namespace reference
