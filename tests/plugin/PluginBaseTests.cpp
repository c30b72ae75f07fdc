#include "plugin/IPluginBase.h"

#include "AllocationCounter.h"
#include "AllocationCounterSupported.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using plugin::ByteChunk;
using plugin::IParam;
using plugin::IPluginBase;
using plugin::ParamChangeSource;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes BytesOf(const ByteChunk& chunk) {
    return Bytes(chunk.Data(), chunk.Data() + chunk.Size());
}

// Appends a value's little-endian bytes, built from the bit pattern by hand
// so that the expected layout does not come from the code under test.
void AppendLittleEndian(Bytes& bytes, double value) {
    const auto bits = std::bit_cast<uint64_t>(value);
    for (int i = 0; i < 8; ++i)
        bytes.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

ByteChunk ChunkOf(const Bytes& bytes) {
    ByteChunk chunk;
    chunk.PutBytes(bytes.data(), static_cast<int32_t>(bytes.size()));
    return chunk;
}

ByteChunk ChunkOfValues(const std::vector<double>& values) {
    Bytes bytes;
    for (double v : values)
        AppendLittleEndian(bytes, v);
    return ChunkOf(bytes);
}

// Ten parameters defined like the equalizer's, one preset slot; records the
// hooks that state and preset operations call.
class TenParamPlugin : public IPluginBase {
public:
    TenParamPlugin() : IPluginBase(10, 1) {
        ParamAt(0)->ConfigureEnum("HPF", 0, 6, "", 0, "",
                                  {"Off", "30 Hz", "50 Hz", "80 Hz", "160 Hz", "300 Hz"});
        ParamAt(1)->ConfigureEnum("LoShelf Freq", 0, 4, "", 0, "",
                                  {"35 Hz", "60 Hz", "110 Hz", "220 Hz"});
        ParamAt(2)->ConfigureDouble("LoShelf Level", 0.0, -20.0, 20.0, 0.1, "dB");
        ParamAt(3)->ConfigureEnum("MF 1 Freq", 2, 6);
        ParamAt(4)->ConfigureDouble("MF Level 1", 0.0, -20.0, 20.0, 0.1, "dB");
        ParamAt(5)->ConfigureEnum("MF 2 Freq", 3, 7);
        ParamAt(6)->ConfigureDouble("MF Level 2", 0.0, -20.0, 20.0, 0.1, "dB");
        ParamAt(7)->ConfigureDouble("HiShelf Level", 0.0, -20.0, 20.0, 0.1, "dB");
        ParamAt(8)->ConfigureDouble("Gain", 0.0, -20.0, 10.0, 0.1, "dB");
        ParamAt(9)->ConfigureBool("Oversampling", false, "", IParam::NotAutomatable, "", "off",
                                  "on");
    }

    using IPluginBase::OnParamChange;
    void OnParamChange(int32_t paramIdx) override {
        calls.push_back("change " + std::to_string(paramIdx));
    }
    void OnParamChangeForEditor(int32_t paramIdx, ParamChangeSource source) override {
        calls.push_back("editor " + std::to_string(paramIdx) + " " + ParamChangeSourceName(source));
    }
    void OnPresetRestored() override { calls.push_back("preset restored"); }
    void OnStateRestored() override {
        calls.push_back("state restored");
        IPluginBase::OnStateRestored();
    }

    std::vector<double> Values() const {
        std::vector<double> values;
        for (int32_t i = 0; i < ParamCount(); ++i)
            values.push_back(ParamAt(i)->CurrentValue());
        return values;
    }
    void SetValues(const std::vector<double>& values) {
        for (int32_t i = 0; i < ParamCount(); ++i)
            ParamAt(i)->SetValue(values[static_cast<std::size_t>(i)]);
    }
    size_t CountCalls(const std::string& prefix) const {
        size_t count = 0;
        for (const auto& call : calls)
            count += call.rfind(prefix, 0) == 0 ? 1 : 0;
        return count;
    }

    std::vector<std::string> calls;
};

const std::vector<double> kFreshValues = {0.0, 0.0, 0.0, 2.0, 0.0, 3.0, 0.0, 0.0, 0.0, 0.0};
const std::vector<double> kSomeValues = {5.0, 3.0, -7.5, 0.0, 20.0, 6.0, -20.0, 1.3, -0.1, 1.0};

// Every parameter announced as a preset change, in order.
std::vector<std::string> PresetAnnouncement(int32_t count) {
    std::vector<std::string> calls;
    for (int32_t i = 0; i < count; ++i) {
        calls.push_back("change " + std::to_string(i));
        calls.push_back("editor " + std::to_string(i) + " Preset");
    }
    return calls;
}

} // namespace

TEST(ByteChunkLayout, ValuesAreLittleEndianBitPatterns) {
    ByteChunk chunk;
    ASSERT_TRUE(chunk.PutDouble(3.0));
    ASSERT_TRUE(chunk.PutInt32(-2));
    ASSERT_TRUE(chunk.PutFloat(-1.0f));
    ASSERT_TRUE(chunk.PutUInt64(0x0102030405060708ull));
    const Bytes expected = {0, 0, 0,    0,    0,    0,    0x08, 0x40, 0xFE, 0xFF, 0xFF, 0xFF,
                            0, 0, 0x80, 0xBF, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(BytesOf(chunk), expected);

    double d = 0.0;
    int32_t i = 0;
    float f = 0.0f;
    uint64_t u = 0;
    EXPECT_EQ(chunk.GetDouble(d, 0), 8);
    EXPECT_EQ(chunk.GetInt32(i, 8), 12);
    EXPECT_EQ(chunk.GetFloat(f, 12), 16);
    EXPECT_EQ(chunk.GetUInt64(u, 16), 24);
    EXPECT_EQ(d, 3.0);
    EXPECT_EQ(i, -2);
    EXPECT_EQ(f, -1.0f);
    EXPECT_EQ(u, 0x0102030405060708ull);
}

TEST(ByteChunkLayout, ReadsOutsideTheDataFailWithoutTouchingTheOutput) {
    const ByteChunk chunk = ChunkOfValues({1.0});
    double d = 42.0;
    EXPECT_EQ(chunk.GetDouble(d, 1), -1);
    EXPECT_EQ(chunk.GetDouble(d, -1), -1);
    EXPECT_EQ(chunk.GetDouble(d, std::numeric_limits<int32_t>::max() - 2), -1);
    EXPECT_EQ(d, 42.0);
    uint8_t byte = 0;
    EXPECT_EQ(chunk.GetBytes(&byte, 1, 6), 7);
    EXPECT_EQ(byte, 0xF0); // 1.0 is 0x3FF0000000000000
    EXPECT_EQ(chunk.GetBytes(&byte, 1, 7), 8);
    EXPECT_EQ(byte, 0x3F);
    EXPECT_EQ(chunk.GetBytes(&byte, 1, 8), -1);
    EXPECT_EQ(chunk.GetBytes(nullptr, 1, 0), -1);
    EXPECT_EQ(chunk.GetBytes(&byte, -1, 0), -1);
}

TEST(ByteChunkLayout, SizeLimitRefusesWholeAppends) {
    ByteChunk chunk(12);
    EXPECT_EQ(chunk.MaxSize(), 12);
    EXPECT_TRUE(chunk.PutDouble(1.0));
    EXPECT_FALSE(chunk.PutDouble(2.0)); // would pass the limit: nothing written
    EXPECT_EQ(chunk.Size(), 8);
    EXPECT_TRUE(chunk.PutInt32(7));
    EXPECT_FALSE(chunk.PutBytes("x", 1));
    EXPECT_FALSE(chunk.Resize(13));
    EXPECT_TRUE(chunk.Resize(2));
    EXPECT_EQ(chunk.Size(), 2);
    EXPECT_FALSE(chunk.Resize(-1));
    EXPECT_TRUE(chunk.Resize(12));
    EXPECT_EQ(chunk.Data()[11], 0); // grown bytes are zero
    EXPECT_FALSE(chunk.PutBytes(nullptr, 0) && chunk.Size() != 12);
    EXPECT_EQ(ByteChunk(-5).MaxSize(), 0);
}

TEST(PluginState, FreshChunkIsTheRealValuesInIndexOrder) {
    TenParamPlugin plugin;
    ByteChunk chunk;
    ASSERT_TRUE(plugin.SerializeState(chunk));
    ASSERT_EQ(chunk.Size(), 80);
    Bytes expected;
    for (double v : kFreshValues)
        AppendLittleEndian(expected, v);
    EXPECT_EQ(BytesOf(chunk), expected);
    // The "MF 1 Freq" default, 2.0, is 0x4000000000000000; "MF 2 Freq", 3.0, is 0x4008...
    EXPECT_EQ(chunk.Data()[31], 0x40);
    EXPECT_EQ(chunk.Data()[46], 0x08);
    EXPECT_EQ(chunk.Data()[47], 0x40);

    IPluginBase empty(0, 0);
    ByteChunk none;
    EXPECT_TRUE(empty.SerializeParams(none));
    EXPECT_EQ(none.Size(), 0);
}

TEST(PluginState, SerializingAppendsAfterExistingData) {
    TenParamPlugin plugin;
    plugin.SetValues(kSomeValues);
    ByteChunk chunk;
    chunk.PutInt32(0x11223344);
    ASSERT_TRUE(plugin.SerializeParams(chunk));
    ASSERT_EQ(chunk.Size(), 84);
    EXPECT_EQ(chunk.Data()[0], 0x44);
    TenParamPlugin other;
    EXPECT_EQ(other.UnserializeParams(chunk, 4), 84);
    EXPECT_EQ(other.Values(), kSomeValues);
}

TEST(PluginState, SerializingIntoAFullChunkStopsAndFails) {
    TenParamPlugin plugin;
    ByteChunk chunk(36);
    EXPECT_FALSE(plugin.SerializeParams(chunk));
    EXPECT_EQ(chunk.Size(), 32); // four whole values, nothing past the room
    ByteChunk zeroRoom(0);
    EXPECT_FALSE(plugin.SerializeParams(zeroRoom));
    EXPECT_EQ(zeroRoom.Size(), 0);
}

TEST(PluginState, RestoreFromStartReturnsOffsetAfterTheDataAndAnnounces) {
    TenParamPlugin plugin;
    ByteChunk chunk = ChunkOfValues(kSomeValues);
    chunk.PutInt32(1); // trailing data (a bypass flag) is left to the caller
    EXPECT_EQ(plugin.UnserializeState(chunk, 0), 80);
    EXPECT_EQ(plugin.Values(), kSomeValues);
    EXPECT_EQ(plugin.calls, PresetAnnouncement(10));
}

TEST(PluginState, RestoreFromOffsetEightShiftsValuesAndRunsOut) {
    TenParamPlugin plugin;
    const ByteChunk chunk = ChunkOfValues(kFreshValues);
    plugin.SetValues(kSomeValues);
    EXPECT_EQ(plugin.UnserializeParams(chunk, 8), -1);
    std::vector<double> expected(kFreshValues.begin() + 1, kFreshValues.end());
    expected.push_back(kSomeValues[9]); // the tenth value did not fit
    EXPECT_EQ(plugin.Values(), expected);
    EXPECT_EQ(plugin.calls, PresetAnnouncement(10));
}

TEST(PluginState, ShortChunkRestoresWholeValuesOnly) {
    TenParamPlugin plugin;
    Bytes bytes;
    for (double v : kSomeValues)
        AppendLittleEndian(bytes, v);
    bytes.pop_back(); // 79 bytes
    EXPECT_EQ(plugin.UnserializeParams(ChunkOf(bytes), 0), -1);
    std::vector<double> expected(kSomeValues.begin(), kSomeValues.begin() + 9);
    expected.push_back(kFreshValues[9]);
    EXPECT_EQ(plugin.Values(), expected);
    EXPECT_EQ(plugin.calls, PresetAnnouncement(10));

    TenParamPlugin fromEmpty;
    EXPECT_EQ(fromEmpty.UnserializeParams(ByteChunk(), 0), -1);
    EXPECT_EQ(fromEmpty.Values(), kFreshValues);
}

TEST(PluginState, NegativeStartReadsNothingButAnnounces) {
    TenParamPlugin plugin;
    EXPECT_EQ(plugin.UnserializeParams(ChunkOfValues(kSomeValues), -3), -3);
    EXPECT_EQ(plugin.Values(), kFreshValues);
    EXPECT_EQ(plugin.calls, PresetAnnouncement(10));
}

TEST(PluginState, RestoredValuesAreLimitedToRangeAndStep) {
    TenParamPlugin plugin;
    std::vector<double> stored = kFreshValues;
    stored[0] = 2.6;   // HPF, stepped
    stored[2] = 0.123; // a dB level keeps unrounded values
    stored[8] = 15.0;  // Gain above its maximum
    stored[9] = -4.0;  // Oversampling below its minimum
    EXPECT_EQ(plugin.UnserializeParams(ChunkOfValues(stored), 0), 80);
    EXPECT_EQ(plugin.ParamAt(0)->CurrentValue(), 3.0);
    EXPECT_EQ(plugin.ParamAt(2)->CurrentValue(), 0.123);
    EXPECT_EQ(plugin.ParamAt(8)->CurrentValue(), 10.0);
    EXPECT_EQ(plugin.ParamAt(9)->CurrentValue(), 0.0);
}

TEST(PluginState, CorruptNaNKeepsTheValueAndInfinitiesAreLimited) {
    TenParamPlugin plugin;
    plugin.SetValues(kSomeValues);
    std::vector<double> stored = kSomeValues;
    stored[2] = std::numeric_limits<double>::quiet_NaN();
    stored[4] = -std::numeric_limits<double>::quiet_NaN();
    stored[6] = std::numeric_limits<double>::infinity();
    stored[8] = -std::numeric_limits<double>::infinity();
    stored[0] = std::numeric_limits<double>::infinity(); // stepped list
    EXPECT_EQ(plugin.UnserializeParams(ChunkOfValues(stored), 0), 80);
    std::vector<double> expected = kSomeValues;
    expected[6] = 20.0;
    expected[8] = -20.0;
    expected[0] = 5.0;
    EXPECT_EQ(plugin.Values(), expected);
}

TEST(PluginState, RestoringInPlaceDoesNotAllocate) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    IPluginBase plugin(10, 1); // hooks that record would allocate themselves
    const ByteChunk chunk = ChunkOfValues(kSomeValues);
    testing_support::AllocationCounter counter;
    EXPECT_EQ(plugin.UnserializeParams(chunk, 0), 80);
    EXPECT_EQ(counter.Count(), 0u);
}

TEST(PluginPresets, SlotsStartEmptyAndNamesOutOfRangeAreBlank) {
    IPluginBase plugin(2, 3);
    EXPECT_EQ(plugin.PresetCount(), 3);
    EXPECT_STREQ(plugin.PresetName(0), "empty");
    EXPECT_STREQ(plugin.PresetName(2), "empty");
    EXPECT_STREQ(plugin.PresetName(3), "");
    EXPECT_STREQ(plugin.PresetName(-1), "");
    EXPECT_EQ(plugin.CurrentPresetIndex(), 0);
    EXPECT_EQ(IPluginBase(0, -2).PresetCount(), 0);
}

TEST(PluginPresets, FirstRecallCapturesLaterRecallsRestore) {
    TenParamPlugin plugin;
    plugin.SetValues(kSomeValues);
    ASSERT_TRUE(plugin.RestorePreset(0));
    EXPECT_STREQ(plugin.PresetName(0), "user preset 1");
    EXPECT_EQ(plugin.CurrentPresetIndex(), 0);
    EXPECT_EQ(plugin.Values(), kSomeValues);
    // Captured: hooks run, then every position goes to the editor.
    ASSERT_GE(plugin.calls.size(), 2u);
    EXPECT_EQ(plugin.calls[0], "preset restored");
    EXPECT_EQ(plugin.calls[1], "state restored");
    EXPECT_EQ(plugin.CountCalls("editor"), 10u);
    EXPECT_EQ(plugin.CountCalls("change"), 0u);

    plugin.SetValues(kFreshValues);
    plugin.calls.clear();
    ASSERT_TRUE(plugin.RestorePreset(0));
    EXPECT_EQ(plugin.Values(), kSomeValues);
    EXPECT_STREQ(plugin.PresetName(0), "user preset 1");
    std::vector<std::string> expected = PresetAnnouncement(10);
    expected.push_back("preset restored");
    expected.push_back("state restored");
    std::vector<std::string> head(plugin.calls.begin(),
                                  plugin.calls.begin() + static_cast<long>(expected.size()));
    EXPECT_EQ(head, expected);
}

TEST(PluginPresets, UserPresetNamesCountEarlierCaptures) {
    IPluginBase plugin(1, 3);
    ASSERT_TRUE(plugin.RestorePreset(2));
    ASSERT_TRUE(plugin.RestorePreset(0));
    EXPECT_STREQ(plugin.PresetName(2), "user preset 1");
    EXPECT_STREQ(plugin.PresetName(0), "user preset 2");
    EXPECT_STREQ(plugin.PresetName(1), "empty");
    EXPECT_EQ(plugin.CurrentPresetIndex(), 0);
}

TEST(PluginPresets, IndexOutOfRangeIsRefusedAndChangesNothing) {
    TenParamPlugin plugin;
    plugin.SetValues(kSomeValues);
    EXPECT_FALSE(plugin.RestorePreset(1));
    EXPECT_FALSE(plugin.RestorePreset(-1));
    EXPECT_TRUE(plugin.calls.empty());
    EXPECT_STREQ(plugin.PresetName(0), "empty");
    EXPECT_EQ(plugin.Values(), kSomeValues);
}
