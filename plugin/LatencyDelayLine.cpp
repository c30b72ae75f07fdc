#include "plugin/LatencyDelayLine.h"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace plugin {

LatencyDelayLine::LatencyDelayLine(int32_t inputChannels, int32_t outputChannels, int32_t length)
    : inputChannels(std::max(inputChannels, 0)), outputChannels(std::max(outputChannels, 0)) {
    Reserve(length);
    SetLength(length);
}

bool LatencyDelayLine::Reserve(int32_t maxLength) {
    if (maxLength <= capacity) {
        return true;
    }
    try {
        // The storage layout depends on the length, so the live samples are
        // not carried over; a new capacity is only asked for while stopped.
        storage.assign(static_cast<size_t>(maxLength) * static_cast<size_t>(inputChannels), 0.0);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    capacity = maxLength;
    writePosition = 0;
    return true;
}

int32_t LatencyDelayLine::SetLength(int32_t newLength) noexcept {
    length = std::clamp(newLength, 0, capacity);
    writePosition = 0;
    // Only the part in use is cleared: a short latency on a line with a large
    // reserve should not cost a sweep of the whole reserve on the audio thread.
    std::fill_n(storage.begin(), static_cast<size_t>(length) * inputChannels, 0.0);
    return length;
}

void LatencyDelayLine::Process(const double* const* inputs, double* const* outputs,
                               int32_t channels, int32_t frames) noexcept {
    if (length == 0) {
        return;
    }
    const int32_t used = std::min({channels, inputChannels, outputChannels});
    for (int32_t i = 0; i < frames; ++i) {
        for (int32_t j = 0; j < used; ++j) {
            double& stored = storage[static_cast<size_t>(j) * length + writePosition];
            const double x = inputs[j][i];
            outputs[j][i] = stored;
            stored = x;
        }
        writePosition = writePosition + 1 == length ? 0 : writePosition + 1;
    }
}

} // namespace plugin
