// The channel I/O string parser against a second, deliberately plain reading
// of the same grammar (std::string splitting and strtoll): both must find the
// same configurations, and the totals must be the maxima over them.

#include "FuzzCheck.h"

#include "plugin/ChannelIO.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using plugin::BusDirection;

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : text) {
        if (c == separator) {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

// Channel count of one bus token, 0 for "no bus".
int32_t ReferenceToken(const std::string& token) {
    if (token == "*")
        return plugin::kWildcardChannels;
    errno = 0;
    const long long value = std::strtoll(token.c_str(), nullptr, 10);
    if (errno == ERANGE || value <= 0 || value > plugin::kMaxBusChannels)
        return 0;
    return static_cast<int32_t>(value);
}

std::vector<int32_t> ReferenceSide(const std::string& side) {
    std::vector<int32_t> counts;
    for (const std::string& token : Split(side, '.')) {
        if (const int32_t count = ReferenceToken(token); count != 0)
            counts.push_back(count);
    }
    return counts;
}

struct ReferenceConfig {
    std::vector<int32_t> inputs;
    std::vector<int32_t> outputs;
};

std::vector<ReferenceConfig> ReferenceParse(const std::string& text) {
    std::vector<ReferenceConfig> configs;
    for (const std::string& item : Split(text, ' ')) {
        if (item.empty())
            continue;
        ReferenceConfig config;
        const std::size_t dash = item.find('-');
        config.inputs = ReferenceSide(item.substr(0, dash));
        if (dash != std::string::npos)
            config.outputs = ReferenceSide(item.substr(dash + 1));
        configs.push_back(config);
    }
    return configs;
}

int32_t Sum(const std::vector<int32_t>& counts) {
    int32_t total = 0;
    for (int32_t c : counts)
        total += c;
    return total;
}

void CompareSide(const plugin::ChannelIOConfig& config, BusDirection direction,
                 const std::vector<int32_t>& expected, std::size_t configIndex) {
    const auto& buses = config.Buses(direction);
    FUZZ_CHECK(buses.size() == expected.size(), "config %zu direction %d: %zu buses, expected %zu",
               configIndex, static_cast<int>(direction), buses.size(), expected.size());
    for (std::size_t i = 0; i < buses.size(); ++i) {
        FUZZ_CHECK(buses[i].direction == direction, "config %zu bus %zu", configIndex, i);
        FUZZ_CHECK(buses[i].channelCount == expected[i], "config %zu bus %zu: %d, expected %d",
                   configIndex, i, buses[i].channelCount, expected[i]);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The parser reads a C string: it ends at the first NUL.
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.c_str();

    std::vector<plugin::ChannelIOConfig> configs(3); // the parser must replace old contents
    const plugin::ChannelIOTotals totals = plugin::ParseChannelIOString(text.c_str(), configs);
    const std::vector<ReferenceConfig> expected = ReferenceParse(text);

    FUZZ_CHECK(configs.size() == expected.size(), "%zu configs, expected %zu", configs.size(),
               expected.size());
    FUZZ_CHECK(totals.configCount == static_cast<int32_t>(expected.size()), "count %d",
               totals.configCount);

    plugin::ChannelIOTotals maxima;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        CompareSide(configs[i], BusDirection::Input, expected[i].inputs, i);
        CompareSide(configs[i], BusDirection::Output, expected[i].outputs, i);
        maxima.inputChannels = std::max(maxima.inputChannels, Sum(expected[i].inputs));
        maxima.outputChannels = std::max(maxima.outputChannels, Sum(expected[i].outputs));
        maxima.inputBuses =
            std::max(maxima.inputBuses, static_cast<int32_t>(expected[i].inputs.size()));
        maxima.outputBuses =
            std::max(maxima.outputBuses, static_cast<int32_t>(expected[i].outputs.size()));
    }
    FUZZ_CHECK(totals.inputChannels == maxima.inputChannels, "%d vs %d", totals.inputChannels,
               maxima.inputChannels);
    FUZZ_CHECK(totals.outputChannels == maxima.outputChannels, "%d vs %d", totals.outputChannels,
               maxima.outputChannels);
    FUZZ_CHECK(totals.inputBuses == maxima.inputBuses, "%d vs %d", totals.inputBuses,
               maxima.inputBuses);
    FUZZ_CHECK(totals.outputBuses == maxima.outputBuses, "%d vs %d", totals.outputBuses,
               maxima.outputBuses);
    return 0;
}
