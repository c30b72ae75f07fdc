#include "plugin/HostKind.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using plugin::HostKind;
using plugin::LookUpHostKind;

int Code(const char* name) {
    return static_cast<int>(LookUpHostKind(name));
}

TEST(HostKindLookup, KnownHostsIgnoringCase) {
    EXPECT_EQ(Code("REAPER"), 1);
    EXPECT_EQ(Code("Cubase Pro"), 3);
    EXPECT_EQ(Code("WaveLab Elements 12"), 32);
    EXPECT_EQ(Code("WaveLab Pro"), 31);
    EXPECT_EQ(Code("Ableton Live 12"), 9);
    EXPECT_EQ(Code("Mixbus32C"), 45);
    EXPECT_EQ(Code("Ardour"), 28);
    EXPECT_EQ(Code("My StandAlone wrapper"), 24);
    EXPECT_EQ(Code("VST3PluginTestHost"), 27);
    EXPECT_EQ(Code("Bitwig Studio"), 34);
    EXPECT_EQ(Code("Blue Cat's VST Host"), 44);
    EXPECT_EQ(Code("iZotope RX 10"), 42);
    EXPECT_EQ(Code("www.example.org"), 35);
}

TEST(HostKindLookup, EarlierTableEntriesWin) {
    // "live" sits before most entries: any name containing it is Live.
    EXPECT_EQ(Code("Olive Tracktion"), 9);
    EXPECT_EQ(Code("Deliverance Studio"), 9);
    // "reaper" precedes "cubase", "bias" precedes "logic".
    EXPECT_EQ(Code("cubase-reaper bridge"), 1);
    EXPECT_EQ(Code("Bias Logic"), 19);
    // Mixbus is an Ardour derivative but "mixbus" comes after "ardour".
    EXPECT_EQ(Code("Ardour Mixbus"), 28);
    // "www" and "standalone" are last.
    EXPECT_EQ(Code("Standalone Nuendo"), 4);
    EXPECT_EQ(Code("www reaper"), 1);
}

TEST(HostKindLookup, UnmatchedEmptyAndNullNamesAreUnknown) {
    EXPECT_EQ(LookUpHostKind("Some Host"), HostKind::Unknown);
    EXPECT_EQ(LookUpHostKind(""), HostKind::Unknown);
    EXPECT_EQ(LookUpHostKind(nullptr), HostKind::Unknown);
    // Only ASCII letters fold: a Turkish dotted capital I does not become "i".
    EXPECT_EQ(Code("L\xC4\xB0VE"), 0);
    // Words split across a space do not match a run without one.
    EXPECT_EQ(Code("pro tools"), 0);
    EXPECT_EQ(Code("ProTools"), 2);
}

TEST(HostKindLookup, OnlyTheFirst255CharactersAreSearched) {
    const std::string within = std::string(249, 'x') + "Reaper"; // ends at 255
    const std::string beyond = std::string(250, 'x') + "Reaper"; // last letter cut
    const std::string farBeyond = std::string(4000, 'x') + "Reaper";
    EXPECT_EQ(Code(within.c_str()), 1);
    EXPECT_EQ(Code(beyond.c_str()), 0);
    EXPECT_EQ(Code(farBeyond.c_str()), 0);
}

} // namespace
