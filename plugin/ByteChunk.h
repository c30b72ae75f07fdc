#pragma once

#include <cstdint>
#include <limits>
#include <vector>

namespace plugin {

// A growable byte buffer for state data. Its size is a signed 32-bit count,
// matching what hosts hand over; writing appends at the end and reading starts
// at a caller-given offset and returns the offset after the data, or -1 when
// the data does not fit. Multi-byte values are always little-endian, whatever
// the machine, so a state saved on one host loads on any other.
//
// A buffer may be given a size limit; an append that would pass it fails and
// leaves the buffer unchanged, which lets a caller write into fixed room
// safely.
//
// Not thread-safe; growing allocates, so appends belong to the UI thread.
class ByteChunk {
public:
    static constexpr int32_t kUnlimited = std::numeric_limits<int32_t>::max();

    ByteChunk() = default;
    // [any] A buffer that can never hold more than maxSizeBytes (negative: 0).
    explicit ByteChunk(int32_t maxSizeBytes) noexcept;

    // [any]
    int32_t Size() const noexcept { return static_cast<int32_t>(bytes.size()); }
    // [any]
    int32_t MaxSize() const noexcept { return maxSize; }
    // [any]
    const uint8_t* Data() const noexcept { return bytes.data(); }
    // [any]
    uint8_t* Data() noexcept { return bytes.data(); }

    // [ui] New bytes are zero. False (and unchanged) for a negative size, a
    // size above the limit or an allocation failure.
    bool Resize(int32_t newSizeBytes) noexcept;
    // [ui]
    void Clear() noexcept { bytes.clear(); }

    // [ui] Appends count bytes. False (and unchanged) when they do not fit.
    bool PutBytes(const void* source, int32_t count) noexcept;
    // [ui]
    bool PutInt32(int32_t value) noexcept;
    // [ui]
    bool PutUInt64(uint64_t value) noexcept;
    // [ui] The IEEE 754 bit pattern, little-endian.
    bool PutFloat(float value) noexcept;
    // [ui] The IEEE 754 bit pattern, little-endian.
    bool PutDouble(double value) noexcept;

    // [any] The Get operations read at startPos and return the offset after
    // the value, or -1 (out untouched) when startPos is negative or the value
    // does not fit in the buffer. They never allocate.
    int32_t GetBytes(void* destination, int32_t count, int32_t startPos) const noexcept;
    // [any]
    int32_t GetInt32(int32_t& out, int32_t startPos) const noexcept;
    // [any]
    int32_t GetUInt64(uint64_t& out, int32_t startPos) const noexcept;
    // [any]
    int32_t GetFloat(float& out, int32_t startPos) const noexcept;
    // [any]
    int32_t GetDouble(double& out, int32_t startPos) const noexcept;

    // [any] Same bytes; the size limit is not compared.
    bool operator==(const ByteChunk& other) const noexcept { return bytes == other.bytes; }

private:
    bool Fits(int64_t count) const noexcept;
    bool PutLittleEndian(uint64_t value, int byteCount) noexcept;
    int32_t GetLittleEndian(uint64_t& out, int byteCount, int32_t startPos) const noexcept;

    std::vector<uint8_t> bytes;
    int32_t maxSize = kUnlimited;
};

} // namespace plugin
