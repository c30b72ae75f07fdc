#pragma once

#include <cstdint>
#include <vector>

namespace plugin {

// Delays the bypassed signal by the plug-in's reported latency, so that
// switching bypass on does not move the audio in time.
//
// Storage is allocated up front for a maximum length (the capacity); changing
// the length within that capacity only zeroes and rewinds, so it is safe on the
// audio thread. Samples are laid out channel after channel, `length` samples
// per channel, all within the first length × inputChannels entries.
class LatencyDelayLine {
public:
    // [ui, processing stopped] allocates; the capacity starts at length.
    LatencyDelayLine(int32_t inputChannels, int32_t outputChannels, int32_t length);

    // [ui, processing stopped] Makes room for lengths up to maxLength. Returns
    // false, keeping the old capacity, when the memory cannot be had. Never
    // shrinks. Keeps the current length; the delayed samples restart from
    // silence.
    bool Reserve(int32_t maxLength);

    // [audio, or ui while processing is stopped] wait-free, does not allocate.
    // Sets the length, limited to 0..Capacity(), zeroes the delayed samples and
    // rewinds. Returns the length actually set.
    int32_t SetLength(int32_t length) noexcept;

    // [audio] wait-free, does not allocate. For each frame, and for each channel
    // below both channel counts and below `channels`: output = the sample stored
    // `length` frames ago, then the input is stored. Input and output may be the
    // same buffer. Does nothing when the length is 0.
    void Process(const double* const* inputs, double* const* outputs, int32_t channels,
                 int32_t frames) noexcept;

    int32_t Length() const noexcept { return length; }                 // [audio]
    int32_t Capacity() const noexcept { return capacity; }             // [any]
    int32_t InputChannels() const noexcept { return inputChannels; }   // [any]
    int32_t OutputChannels() const noexcept { return outputChannels; } // [any]

private:
    int32_t inputChannels;
    int32_t outputChannels;
    int32_t writePosition = 0;
    int32_t length = 0;
    int32_t capacity = 0;
    std::vector<double> storage;
};

} // namespace plugin
