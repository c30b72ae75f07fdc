#include "plugin/ChannelIO.h"

#include <algorithm>
#include <cctype>

namespace plugin {

int32_t ChannelIOConfig::TotalChannels(BusDirection direction) const {
    int32_t total = 0;
    for (const BusSpec& bus : Buses(direction)) {
        total += bus.channelCount;
    }
    return total;
}

bool ChannelIOConfig::HasWildcard(BusDirection direction) const {
    const auto& list = Buses(direction);
    return std::any_of(list.begin(), list.end(),
                       [](const BusSpec& bus) { return bus.channelCount == kWildcardChannels; });
}

namespace {

// Reads a token the way "%d" would (optional leading blanks and sign, then
// digits; trailing garbage ignored), saturating instead of overflowing.
// Anything unreadable reads as 0.
int32_t ReadToken(std::string_view token) {
    if (token == "*") {
        return kWildcardChannels;
    }
    size_t i = 0;
    while (i < token.size() && std::isspace(static_cast<unsigned char>(token[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
        negative = token[i] == '-';
        ++i;
    }
    int64_t value = 0;
    for (; i < token.size() && std::isdigit(static_cast<unsigned char>(token[i])); ++i) {
        value = std::min<int64_t>(value * 10 + (token[i] - '0'), int64_t{1} << 40);
    }
    if (negative || value > kMaxBusChannels) {
        return 0;
    }
    return static_cast<int32_t>(value);
}

void ParseSide(std::string_view side, BusDirection direction, std::vector<BusSpec>& buses) {
    while (true) {
        const size_t dot = side.find('.');
        const int32_t count = ReadToken(side.substr(0, dot));
        if (count != 0) {
            buses.push_back(BusSpec{direction, count});
        }
        if (dot == std::string_view::npos) {
            break;
        }
        side.remove_prefix(dot + 1);
    }
}

} // namespace

ChannelIOTotals ParseChannelIOString(const char* text, std::vector<ChannelIOConfig>& configs) {
    configs.clear();
    ChannelIOTotals totals;
    std::string_view rest = text != nullptr ? std::string_view(text) : std::string_view();

    while (!rest.empty()) {
        const size_t start = rest.find_first_not_of(' ');
        if (start == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(start);
        const size_t end = rest.find(' ');
        const std::string_view item = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);

        ChannelIOConfig config;
        const size_t dash = item.find('-');
        ParseSide(item.substr(0, dash), BusDirection::Input, config.buses[0]);
        if (dash != std::string_view::npos) {
            ParseSide(item.substr(dash + 1), BusDirection::Output, config.buses[1]);
        }

        totals.inputChannels =
            std::max(totals.inputChannels, config.TotalChannels(BusDirection::Input));
        totals.outputChannels =
            std::max(totals.outputChannels, config.TotalChannels(BusDirection::Output));
        totals.inputBuses = std::max(totals.inputBuses, config.BusCount(BusDirection::Input));
        totals.outputBuses = std::max(totals.outputBuses, config.BusCount(BusDirection::Output));
        configs.push_back(std::move(config));
    }
    totals.configCount = static_cast<int32_t>(configs.size());
    return totals;
}

} // namespace plugin
