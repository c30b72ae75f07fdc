#include "plugin/ChannelIO.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using plugin::BusDirection;
using plugin::ChannelIOConfig;
using plugin::ChannelIOTotals;
using plugin::kWildcardChannels;
using plugin::ParseChannelIOString;

std::vector<int> Counts(const ChannelIOConfig& config, BusDirection direction) {
    std::vector<int> counts;
    for (const auto& bus : config.Buses(direction)) {
        EXPECT_EQ(bus.direction, direction);
        counts.push_back(bus.channelCount);
    }
    return counts;
}

TEST(ChannelIOString, MonoAndStereoPairParsesIntoTwoConfigurations) {
    std::vector<ChannelIOConfig> configs;
    const ChannelIOTotals totals = ParseChannelIOString("1-1 2-2", configs);

    ASSERT_EQ(totals.configCount, 2);
    ASSERT_EQ(configs.size(), 2u);
    EXPECT_EQ(Counts(configs[0], BusDirection::Input), std::vector<int>{1});
    EXPECT_EQ(Counts(configs[0], BusDirection::Output), std::vector<int>{1});
    EXPECT_EQ(Counts(configs[1], BusDirection::Input), std::vector<int>{2});
    EXPECT_EQ(Counts(configs[1], BusDirection::Output), std::vector<int>{2});
    EXPECT_EQ(totals.inputChannels, 2);
    EXPECT_EQ(totals.outputChannels, 2);
    EXPECT_EQ(totals.inputBuses, 1);
    EXPECT_EQ(totals.outputBuses, 1);
}

TEST(ChannelIOString, TotalsAreMaximaTakenPerDirectionOverAllConfigurations) {
    std::vector<ChannelIOConfig> configs;
    // Widest input in the second configuration, widest output in the first,
    // most output buses in the third.
    const ChannelIOTotals totals = ParseChannelIOString("1-6 2.2-1 1-1.1.1", configs);

    EXPECT_EQ(totals.configCount, 3);
    EXPECT_EQ(totals.inputChannels, 4);
    EXPECT_EQ(totals.outputChannels, 6);
    EXPECT_EQ(totals.inputBuses, 2);
    EXPECT_EQ(totals.outputBuses, 3);
    EXPECT_EQ(Counts(configs[1], BusDirection::Input), (std::vector<int>{2, 2}));
}

TEST(ChannelIOString, RunsOfSpacesAndOuterSpacesSeparateLikeOneSpace) {
    std::vector<ChannelIOConfig> configs;
    EXPECT_EQ(ParseChannelIOString("   1-1     2-2  ", configs).configCount, 2);
    EXPECT_EQ(Counts(configs[1], BusDirection::Output), std::vector<int>{2});

    EXPECT_EQ(ParseChannelIOString("", configs).configCount, 0);
    EXPECT_TRUE(configs.empty());
    EXPECT_EQ(ParseChannelIOString("    ", configs).configCount, 0);
    EXPECT_EQ(ParseChannelIOString(nullptr, configs).configCount, 0);
}

TEST(ChannelIOString, WildcardBusCountsAsMinusSixtyFourChannels) {
    std::vector<ChannelIOConfig> configs;
    const ChannelIOTotals totals = ParseChannelIOString("*-2 1.*-*", configs);

    ASSERT_EQ(totals.configCount, 2);
    EXPECT_EQ(Counts(configs[0], BusDirection::Input), std::vector<int>{kWildcardChannels});
    EXPECT_EQ(Counts(configs[1], BusDirection::Input), (std::vector<int>{1, kWildcardChannels}));
    EXPECT_EQ(configs[1].TotalChannels(BusDirection::Input), 1 - 64);
    EXPECT_TRUE(configs[1].HasWildcard(BusDirection::Output));
    EXPECT_FALSE(configs[0].HasWildcard(BusDirection::Output));
    // A wildcard sums to a negative width; the totals never go below zero.
    EXPECT_EQ(totals.inputChannels, 0);
    EXPECT_EQ(totals.outputChannels, 2);
    // "**" is not a wildcard, and reads as no number at all.
    ParseChannelIOString("**-1", configs);
    EXPECT_TRUE(configs[0].Buses(BusDirection::Input).empty());
}

TEST(ChannelIOString, ZeroMalformedAndOutOfRangeTokensAddNoBus) {
    std::vector<ChannelIOConfig> configs;
    const ChannelIOTotals totals =
        ParseChannelIOString("0-2 x-1 1..2-3 -4 2- 1--2 99999999999-1 257-1", configs);

    ASSERT_EQ(totals.configCount, 8);
    EXPECT_TRUE(configs[0].Buses(BusDirection::Input).empty());
    EXPECT_EQ(Counts(configs[0], BusDirection::Output), std::vector<int>{2});
    EXPECT_TRUE(configs[1].Buses(BusDirection::Input).empty());
    EXPECT_EQ(Counts(configs[2], BusDirection::Input), (std::vector<int>{1, 2}));
    EXPECT_TRUE(configs[3].Buses(BusDirection::Input).empty());
    EXPECT_EQ(Counts(configs[3], BusDirection::Output), std::vector<int>{4});
    EXPECT_EQ(Counts(configs[4], BusDirection::Input), std::vector<int>{2});
    EXPECT_TRUE(configs[4].Buses(BusDirection::Output).empty());
    EXPECT_EQ(Counts(configs[5], BusDirection::Input), std::vector<int>{1});
    EXPECT_TRUE(configs[5].Buses(BusDirection::Output).empty()); // "-2" is negative
    EXPECT_TRUE(configs[6].Buses(BusDirection::Input).empty());
    EXPECT_TRUE(configs[7].Buses(BusDirection::Input).empty());
}

TEST(ChannelIOString, TokenReadsItsLeadingNumberLikeScanf) {
    std::vector<ChannelIOConfig> configs;
    ParseChannelIOString("2ch-+1 3x.4-1", configs);

    EXPECT_EQ(Counts(configs[0], BusDirection::Input), std::vector<int>{2});
    EXPECT_EQ(Counts(configs[0], BusDirection::Output), std::vector<int>{1});
    EXPECT_EQ(Counts(configs[1], BusDirection::Input), (std::vector<int>{3, 4}));
}

TEST(ChannelIOString, ReparsingReplacesEarlierConfigurations) {
    std::vector<ChannelIOConfig> configs;
    ParseChannelIOString("1-1 2-2 4-4", configs);
    ParseChannelIOString("8-8", configs);
    ASSERT_EQ(configs.size(), 1u);
    EXPECT_EQ(Counts(configs[0], BusDirection::Input), std::vector<int>{8});
}

} // namespace
