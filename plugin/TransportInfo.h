#pragma once

#include <cstdint>

namespace plugin {

// The host's transport as of the current block. A position of -1.0 means the
// host has not supplied it.
struct TransportInfo {
    double tempo = 120.0;
    double samplePos = -1.0;
    double ppqPos = -1.0;
    double lastBar = -1.0;
    double cycleStart = -1.0;
    double cycleEnd = -1.0;
    int32_t numerator = 4;
    int32_t denominator = 4;
    bool transportRunning = false;
    bool loopEnabled = false;
};

} // namespace plugin
