#include "plugin/ByteChunk.h"

#include <bit>
#include <cstring>
#include <new>

namespace plugin {

ByteChunk::ByteChunk(int32_t maxSizeBytes) noexcept
    : maxSize(maxSizeBytes < 0 ? 0 : maxSizeBytes) {}

bool ByteChunk::Fits(int64_t count) const noexcept {
    return count >= 0 && static_cast<int64_t>(bytes.size()) + count <= maxSize;
}

bool ByteChunk::Resize(int32_t newSizeBytes) noexcept {
    if (newSizeBytes < 0 || newSizeBytes > maxSize)
        return false;
    try {
        bytes.resize(static_cast<size_t>(newSizeBytes), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool ByteChunk::PutBytes(const void* source, int32_t count) noexcept {
    if (!Fits(count) || (source == nullptr && count > 0))
        return false;
    const auto* first = static_cast<const uint8_t*>(source);
    try {
        bytes.insert(bytes.end(), first, first + count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool ByteChunk::PutLittleEndian(uint64_t value, int byteCount) noexcept {
    uint8_t encoded[8];
    for (int i = 0; i < byteCount; ++i)
        encoded[i] = static_cast<uint8_t>(value >> (8 * i));
    return PutBytes(encoded, byteCount);
}

bool ByteChunk::PutInt32(int32_t value) noexcept {
    return PutLittleEndian(static_cast<uint32_t>(value), 4);
}

bool ByteChunk::PutUInt64(uint64_t value) noexcept {
    return PutLittleEndian(value, 8);
}

bool ByteChunk::PutFloat(float value) noexcept {
    return PutLittleEndian(std::bit_cast<uint32_t>(value), 4);
}

bool ByteChunk::PutDouble(double value) noexcept {
    return PutLittleEndian(std::bit_cast<uint64_t>(value), 8);
}

int32_t ByteChunk::GetBytes(void* destination, int32_t count, int32_t startPos) const noexcept {
    if (startPos < 0 || count < 0 || (destination == nullptr && count > 0))
        return -1;
    const int64_t end = static_cast<int64_t>(startPos) + count;
    if (end > static_cast<int64_t>(bytes.size()))
        return -1;
    if (count > 0)
        std::memcpy(destination, bytes.data() + startPos, static_cast<size_t>(count));
    return static_cast<int32_t>(end);
}

int32_t ByteChunk::GetLittleEndian(uint64_t& out, int byteCount, int32_t startPos) const noexcept {
    uint8_t encoded[8];
    const int32_t next = GetBytes(encoded, byteCount, startPos);
    if (next < 0)
        return -1;
    uint64_t value = 0;
    for (int i = 0; i < byteCount; ++i)
        value |= static_cast<uint64_t>(encoded[i]) << (8 * i);
    out = value;
    return next;
}

int32_t ByteChunk::GetInt32(int32_t& out, int32_t startPos) const noexcept {
    uint64_t raw = 0;
    const int32_t next = GetLittleEndian(raw, 4, startPos);
    if (next >= 0)
        out = static_cast<int32_t>(static_cast<uint32_t>(raw));
    return next;
}

int32_t ByteChunk::GetUInt64(uint64_t& out, int32_t startPos) const noexcept {
    return GetLittleEndian(out, 8, startPos);
}

int32_t ByteChunk::GetFloat(float& out, int32_t startPos) const noexcept {
    uint64_t raw = 0;
    const int32_t next = GetLittleEndian(raw, 4, startPos);
    if (next >= 0)
        out = std::bit_cast<float>(static_cast<uint32_t>(raw));
    return next;
}

int32_t ByteChunk::GetDouble(double& out, int32_t startPos) const noexcept {
    uint64_t raw = 0;
    const int32_t next = GetLittleEndian(raw, 8, startPos);
    if (next >= 0)
        out = std::bit_cast<double>(raw);
    return next;
}

} // namespace plugin
