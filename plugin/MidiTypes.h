#pragma once

#include <array>
#include <cstdint>

namespace plugin {

// One short MIDI message, timed within the current block.
struct MidiMessage {
    int32_t sampleOffset = 0;
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};

// A system-exclusive message of at most 512 bytes, timed within the current
// block. The payload is held inline so that blocks can travel through the
// lock-free queues without touching the heap.
struct SysExBlock {
    static constexpr int32_t maxBytes = 512;

    int32_t sampleOffset = 0;
    int32_t size = 0; // bytes of data in use, 0..maxBytes
    std::array<uint8_t, maxBytes> data{};
};

} // namespace plugin
