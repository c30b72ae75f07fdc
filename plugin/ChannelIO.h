#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace plugin {

// Indexes every per-direction pair of the processor.
enum class BusDirection : int32_t { Input = 0, Output = 1 };

inline constexpr int32_t kBusDirections = 2;

constexpr int32_t DirectionIndex(BusDirection direction) {
    return static_cast<int32_t>(direction);
}

// Channel count of a bus that accepts any number of channels ("*").
inline constexpr int32_t kWildcardChannels = -64;

struct BusSpec {
    BusDirection direction = BusDirection::Input;
    int32_t channelCount = 0;
};

// One allowed configuration: the input buses and the output buses, in order.
struct ChannelIOConfig {
    std::array<std::vector<BusSpec>, kBusDirections> buses;

    const std::vector<BusSpec>& Buses(BusDirection direction) const {
        return buses[DirectionIndex(direction)];
    }
    int32_t BusCount(BusDirection direction) const {
        return static_cast<int32_t>(Buses(direction).size());
    }
    // Sum of the channel counts; a wildcard bus adds kWildcardChannels.
    int32_t TotalChannels(BusDirection direction) const;
    bool HasWildcard(BusDirection direction) const;
};

// What the parser found, each total being the maximum over all configurations
// (never below 0: a wildcard-only side counts as no channels).
struct ChannelIOTotals {
    int32_t configCount = 0;
    int32_t inputChannels = 0;
    int32_t outputChannels = 0;
    int32_t inputBuses = 0;
    int32_t outputBuses = 0;
};

// Largest channel count one bus token may ask for. The channel I/O string is
// the plug-in's own constant, but a typo such as "2000000" must not make the
// processor allocate millions of channel slots.
inline constexpr int32_t kMaxBusChannels = 256;

// Parses a channel I/O string such as "1-1 2-2" into `configs` (replacing its
// contents). Configurations are separated by spaces (runs count as one); each
// is split at its first "-" into an input and an output side; each side is a
// list of bus tokens separated by ".". "*" is a wildcard bus; any other token
// is read as a decimal integer. A token that reads as 0, is unreadable, is
// negative or exceeds kMaxBusChannels adds no bus. A null text parses as empty.
//
// [any] allocates (configuration time only).
ChannelIOTotals ParseChannelIOString(const char* text, std::vector<ChannelIOConfig>& configs);

} // namespace plugin
