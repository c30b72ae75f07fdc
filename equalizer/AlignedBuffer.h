#pragma once

#include <algorithm>
#include <cstddef>
#include <new>

namespace equalizer {

// A zero-initialised array of doubles on a 64-byte boundary (a cache line),
// so that the vector kernels' full-width loads of pairs never straddle one.
// Allocates only in Assign; everything else is plain access.
class AlignedBuffer {
public:
    static constexpr std::size_t alignment = 64;

    AlignedBuffer() = default;
    ~AlignedBuffer() { Release(); }
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;

    // [ui, processing stopped] Replaces the contents by `count` zeros.
    void Assign(std::size_t count) {
        Release();
        if (count > 0) {
            values = static_cast<double*>(
                ::operator new(count * sizeof(double), std::align_val_t(alignment)));
            std::fill_n(values, count, 0.0);
        }
        length = count;
    }

    // [any] Zeros, keeping the size. No allocation.
    void Clear() noexcept { std::fill_n(values, length, 0.0); }

    double* data() noexcept { return values; }
    const double* data() const noexcept { return values; }
    std::size_t size() const noexcept { return length; }
    double& operator[](std::size_t i) noexcept { return values[i]; }
    double operator[](std::size_t i) const noexcept { return values[i]; }

private:
    void Release() noexcept {
        if (values != nullptr)
            ::operator delete(values, std::align_val_t(alignment));
        values = nullptr;
        length = 0;
    }

    double* values = nullptr;
    std::size_t length = 0;
};

} // namespace equalizer
