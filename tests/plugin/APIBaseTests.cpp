#include "plugin/IPluginAPIBase.h"

#include "AllocationCounter.h"
#include "AllocationCounterSupported.h"
#include "plugin/Trace.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using plugin::IPluginAPIBase;
using plugin::MidiMessage;
using plugin::ParamChangeSource;
using plugin::ParamUpdate;
using plugin::PlugConfig;
using plugin::SysExBlock;

PlugConfig MakeConfig() {
    PlugConfig config;
    config.paramCount = 3;
    config.presetCount = 1;
    config.channelIOString = "1-1 2-2";
    config.pluginName = "Lumaro EQ";
    config.productName = "Lumaro EQ";
    config.manufacturerName = "Corvane Audio";
    config.vendorVersion = 0x00040006;
    config.uniqueId = plugin::FourCharCode("Lmq1");
    config.manufacturerId = plugin::FourCharCode("Crvn");
    config.stateChunks = true;
    config.hasEditor = true;
    config.editorWidth = 664;
    config.editorHeight = 215;
    config.minWidth = 1992; // limits deliberately given largest first
    config.maxWidth = 221;
    config.minHeight = 107;
    config.maxHeight = 860;
    config.hostResize = true;
    return config;
}

// Records the calls the API base makes on its hooks, in order.
class RecordingPlugin : public IPluginAPIBase {
public:
    using IPluginAPIBase::OnParamChange;

    explicit RecordingPlugin(const PlugConfig& config = MakeConfig()) : IPluginAPIBase(config, 1) {
        if (ParamCount() == 3) {
            ParamAt(0)->ConfigureDouble("Gain", 0.0, -20.0, 20.0, 0.1, "dB");
            ParamAt(1)->ConfigureBool("Oversampling", false);
            ParamAt(2)->ConfigureEnum("Freq", 0, 4, "", 0, "", {"35", "60", "110", "220"});
        }
    }
    ~RecordingPlugin() override { StopIdleTimer(); }

    void BeginParamGesture(int32_t index) override { Log("begin", index); }
    void NotifyHostOfParamValue(int32_t index, double normalized) override {
        Log("notify", index, normalized);
    }
    void EndParamGesture(int32_t index) override { Log("end", index); }
    bool ResizeEditorWindow(int32_t width, int32_t height) override {
        Log("resize", width, height);
        return resizeAnswer;
    }
    void OnParamChange(int32_t index, ParamChangeSource source, int32_t offset) override {
        Log("change", index, static_cast<int>(source), offset);
    }
    void OnParamChangeForEditor(int32_t index, ParamChangeSource source) override {
        Log("editor", index, static_cast<int>(source));
    }
    void PushMidiToEditor(const MidiMessage& message) override { Log("midi", message.data1); }
    void PushSysExToEditor(const SysExBlock& block) override { Log("sysex", block.data[0]); }
    void OnIdleTimer() override {
        ++idleCalls;
        if (logIdle) {
            Log("idle");
        }
    }
    void PrepareForHost() override { Log("prepare"); }
    void OnHostKnown() override { Log("known"); }

    void Log(const char* what, double a = 0, double b = 0, double c = 0) {
        char text[96];
        std::snprintf(text, sizeof text, "%s %g %g %g", what, a, b, c);
        log.emplace_back(text);
    }

    std::vector<std::string> log;
    bool resizeAnswer = true;
    bool logIdle = true;
    int idleCalls = 0;
    using IPluginAPIBase::hasUI;
};

// Stands in for a host run loop.
class FakeRunLoop : public plugin::TimerRunLoop {
public:
    bool RegisterTimer(plugin::TimerClient* timer, int32_t periodMs) override {
        client = timer;
        period = periodMs;
        return true;
    }
    void UnregisterTimer(plugin::TimerClient* timer) override {
        if (client == timer) {
            client = nullptr;
        }
        ++unregistrations;
    }
    void Fire() {
        if (client != nullptr) {
            client->OnTimerTick();
        }
    }
    plugin::TimerClient* client = nullptr;
    int32_t period = 0;
    int unregistrations = 0;
};

std::string lastTrace;

void CaptureTrace(const char* function, const char* format, std::va_list args) {
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    lastTrace = std::string(function) + " " + text;
}

// ---- Construction ----

TEST(APIBaseConstruction, IdentityAndEditorLimitsComeFromTheConfiguration) {
    RecordingPlugin plug;
    EXPECT_EQ(plug.PluginName(), "Lumaro EQ");
    EXPECT_EQ(plug.ManufacturerName(), "Corvane Audio");
    EXPECT_EQ(plug.VendorVersion(), 0x00040006);
    EXPECT_EQ(plug.UniqueId(), 0x4C6D7131); // 'L' 'm' 'q' '1'
    EXPECT_EQ(plug.ManufacturerId(), 0x4372766E);
    EXPECT_TRUE(plug.HasUI());
    EXPECT_TRUE(plug.HostMayResize());
    EXPECT_EQ(plug.ApiKind(), 1);
    EXPECT_EQ(plug.ParamCount(), 3);
    EXPECT_EQ(plug.PresetCount(), 1);
    EXPECT_EQ(plug.EditorWidth(), 664);
    EXPECT_EQ(plug.EditorHeight(), 215);
    EXPECT_EQ(static_cast<int>(plug.IdentifiedHostKind()), -1);
    EXPECT_EQ(plug.IdleTimer(), nullptr);
}

TEST(APIBaseConstruction, SizeLimitsInEitherOrderGiveTheSameMinimumAndMaximum) {
    PlugConfig config = MakeConfig();
    for (bool swapped : {false, true}) {
        config.minWidth = swapped ? 1992 : 221;
        config.maxWidth = swapped ? 221 : 1992;
        config.minHeight = swapped ? 860 : 107;
        config.maxHeight = swapped ? 107 : 860;
        RecordingPlugin plug(config);
        EXPECT_EQ(plug.MinWidth(), 221);
        EXPECT_EQ(plug.MaxWidth(), 1992);
        EXPECT_EQ(plug.MinHeight(), 107);
        EXPECT_EQ(plug.MaxHeight(), 860);
    }
}

TEST(APIBaseConstruction, IdentityTextsAreCutAt128CharactersAndNullReadsEmpty) {
    const std::string longName(300, 'n');
    PlugConfig config = MakeConfig();
    config.pluginName = longName.c_str();
    config.productName = nullptr;
    config.bundleId = nullptr;
    RecordingPlugin plug(config);
    EXPECT_EQ(plug.PluginName(), std::string(128, 'n'));
    EXPECT_EQ(plug.ProductName(), "");
    EXPECT_EQ(plug.BundleId(), "");
}

// ---- Host identification ----

TEST(APIBaseHost, SetHostFormatsTheVersionTracesAndCallsTheHooksInOrder) {
    const plugin::TraceSink previous = plugin::SetTraceSink(CaptureTrace);
    RecordingPlugin plug;

    plug.SetHost("REAPER", (1 << 16) | (2 << 8) | 3);
    EXPECT_EQ(plug.HostVersionText(), "v1.2.3");
    EXPECT_EQ(plug.HostName(), "REAPER");
    EXPECT_EQ(static_cast<int>(plug.IdentifiedHostKind()), 1);
    EXPECT_EQ(plug.HostVersion(), 0x00010203);
    EXPECT_EQ(lastTrace, "plugin::IPluginAPIBase::SetHost host_known:REAPER:v1.2.3");
    EXPECT_EQ(plug.log, (std::vector<std::string>{"prepare 0 0 0", "known 0 0 0"}));

    plug.SetHost("Some Host", 0);
    EXPECT_EQ(plug.HostVersionText(), "v0.0.0");
    EXPECT_EQ(static_cast<int>(plug.IdentifiedHostKind()), 0);
    EXPECT_EQ(lastTrace, "plugin::IPluginAPIBase::SetHost host_unknown:Some Host:v0.0.0");

    plug.SetHost(nullptr, (12 << 16) | (255 << 8) | 255);
    EXPECT_EQ(plug.HostVersionText(), "v12.255.255");
    EXPECT_EQ(plug.HostName(), "");
    plugin::SetTraceSink(previous);
}

// ---- Queues ----

TEST(APIBaseQueues, EachQueueHasItsStatedCapacity) {
    RecordingPlugin plug;
    EXPECT_EQ(plug.ParamsFromProcessor().Capacity(), 512u);
    EXPECT_EQ(plug.MidiFromEditor().Capacity(), 32u);
    EXPECT_EQ(plug.MidiFromProcessor().Capacity(), 32u);
    EXPECT_EQ(plug.SysExFromEditor().Capacity(), 4u);
    EXPECT_EQ(plug.SysExFromProcessor().Capacity(), 4u);
    EXPECT_EQ(plug.SysExScratch().size, 0);
    EXPECT_EQ(plug.SysExScratch().data[511], 0);
}

TEST(APIBaseQueues, EditorMidiBeyondThirtyTwoIsDroppedAndTheRestPopsInOrder) {
    RecordingPlugin plug;
    for (int i = 0; i < 33; ++i) {
        plug.SendMidiFromUI(MidiMessage{i, 0xB0, static_cast<uint8_t>(i), 0});
    }
    EXPECT_EQ(plug.MidiFromEditor().Available(), 32u);
    MidiMessage message;
    for (int i = 0; i < 32; ++i) {
        ASSERT_TRUE(plug.MidiFromEditor().Pop(message));
        EXPECT_EQ(message.data1, i);
    }
    EXPECT_FALSE(plug.MidiFromEditor().Pop(message));
}

TEST(APIBaseQueues, EditorSysExIsCopiedWithItsSizeLimitedAndDroppedBeyondFour) {
    RecordingPlugin plug;
    SysExBlock block;
    block.sampleOffset = 9;
    block.size = 3;
    block.data = {};
    block.data[0] = 0xF0;
    block.data[1] = 0x7D;
    block.data[2] = 0xF7;
    block.data[3] = 0x55; // beyond the size: must not travel
    plug.SendSysExFromUI(block);
    block.size = 100000;
    plug.SendSysExFromUI(block);
    block.size = -5;
    plug.SendSysExFromUI(block);
    plug.SendSysExFromUI(block);
    plug.SendSysExFromUI(block); // fifth: dropped
    EXPECT_EQ(plug.SysExFromEditor().Available(), 4u);

    SysExBlock out;
    ASSERT_TRUE(plug.SysExFromEditor().Pop(out));
    EXPECT_EQ(out.sampleOffset, 9);
    EXPECT_EQ(out.size, 3);
    EXPECT_EQ(out.data[2], 0xF7);
    EXPECT_EQ(out.data[3], 0);
    ASSERT_TRUE(plug.SysExFromEditor().Pop(out));
    EXPECT_EQ(out.size, 512);
    EXPECT_EQ(out.data[3], 0x55);
    ASSERT_TRUE(plug.SysExFromEditor().Pop(out));
    EXPECT_EQ(out.size, 0);
    EXPECT_EQ(out.data[0], 0);
}

TEST(APIBaseQueues, ProcessorParamsAreQueuedAsRealValuesUpTo512) {
    RecordingPlugin plug;
    plug.SendParamFromProcessor(0, 0.75, true); // -20 + 0.75 * 40 dB
    plug.SendParamFromProcessor(2, 1.0, true);  // last of four entries
    plug.SendParamFromProcessor(1, 3.5, false); // a real value passes as it is
    plug.SendParamFromProcessor(7, 0.5, true);  // no such parameter: dropped
    ParamUpdate update;
    ASSERT_TRUE(plug.ParamsFromProcessor().Pop(update));
    EXPECT_EQ(update.index, 0);
    EXPECT_DOUBLE_EQ(update.value, 10.0);
    ASSERT_TRUE(plug.ParamsFromProcessor().Pop(update));
    EXPECT_EQ(update.value, 3.0);
    ASSERT_TRUE(plug.ParamsFromProcessor().Pop(update));
    EXPECT_EQ(update.value, 3.5);
    EXPECT_FALSE(plug.ParamsFromProcessor().Pop(update));

    for (int i = 0; i < 513; ++i) {
        plug.SendParamFromProcessor(i % 3, 0.0, false);
    }
    EXPECT_EQ(plug.ParamsFromProcessor().Available(), 512u);
}

// ---- Idle tick ----

TEST(APIBaseIdleTick, WithAnEditorDeliversMidiThenSysExThenCallsTheHook) {
    FakeRunLoop loop; // outlives the plug-in, as a host run loop does
    RecordingPlugin plug;
    plug.MidiFromProcessor().Push(MidiMessage{0, 0x90, 60, 100});
    plug.MidiFromProcessor().Push(MidiMessage{5, 0x80, 61, 0});
    SysExBlock block;
    block.size = 1;
    block.data[0] = 0xF0;
    plug.SysExFromProcessor().Push(block);

    plug.CreateIdleTimer(&loop);
    loop.Fire();
    EXPECT_EQ(plug.log, (std::vector<std::string>{"midi 60 0 0", "midi 61 0 0", "sysex 240 0 0",
                                                  "idle 0 0 0"}));
    EXPECT_EQ(plug.MidiFromProcessor().Available(), 0u);
    EXPECT_EQ(plug.SysExFromProcessor().Available(), 0u);
}

TEST(APIBaseIdleTick, WithoutAnEditorOnlyTheHookRunsAndTheQueuesWait) {
    FakeRunLoop loop; // outlives the plug-in, as a host run loop does
    RecordingPlugin plug;
    plug.hasUI = false;
    plug.MidiFromProcessor().Push(MidiMessage{0, 0x90, 60, 100});
    plug.SysExFromProcessor().Push(SysExBlock{});
    plug.CreateIdleTimer(&loop);
    loop.Fire();
    loop.Fire();
    EXPECT_EQ(plug.idleCalls, 2);
    EXPECT_EQ(plug.log, (std::vector<std::string>{"idle 0 0 0", "idle 0 0 0"}));
    EXPECT_EQ(plug.MidiFromProcessor().Available(), 1u);
    EXPECT_EQ(plug.SysExFromProcessor().Available(), 1u);
}

TEST(APIBaseIdleTick, OneTickDeliversAtMostOneQueueful) {
    FakeRunLoop loop; // outlives the plug-in, as a host run loop does
    RecordingPlugin plug;
    plug.logIdle = false;
    for (int i = 0; i < 32; ++i) {
        plug.MidiFromProcessor().Push(MidiMessage{});
    }
    plug.CreateIdleTimer(&loop);
    loop.Fire();
    EXPECT_EQ(plug.log.size(), 32u);
}

TEST(APIBaseIdleTick, IdleTimerTicksEvery20MsAndIsReplacedAndStoppedCleanly) {
    FakeRunLoop first;
    FakeRunLoop second;
    {
        RecordingPlugin plug;
        plug.CreateIdleTimer(&first);
        EXPECT_EQ(first.period, 20);
        ASSERT_NE(plug.IdleTimer(), nullptr);
        EXPECT_EQ(plug.IdleTimer()->PeriodMs(), 20);
        plug.CreateIdleTimer(&second);
        EXPECT_EQ(first.unregistrations, 1);
        first.Fire(); // the replaced timer is gone
        second.Fire();
        EXPECT_EQ(plug.idleCalls, 1);
        plug.StopIdleTimer();
        plug.StopIdleTimer();
        second.Fire();
        EXPECT_EQ(plug.idleCalls, 1);
    }
    EXPECT_EQ(second.unregistrations, 1);
}

TEST(APIBaseIdleTick, AnEmptyTickAndProcessorParamsDoNotAllocate) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    FakeRunLoop loop; // outlives the plug-in, as a host run loop does
    RecordingPlugin plug;
    plug.logIdle = false;
    plug.CreateIdleTimer(&loop);
    testing_support::AllocationCounter counter;
    loop.Fire();
    plug.SendParamFromProcessor(0, 0.5, true);
    plug.MidiFromProcessor().Push(MidiMessage{});
    EXPECT_EQ(counter.Count(), 0u);
    EXPECT_EQ(plug.idleCalls, 1);
}

// ---- Parameter paths ----

TEST(APIBaseParams, EditorEditSetsTheValueTellsTheHostThenThePluginThenTheEditor) {
    RecordingPlugin plug;
    plug.BeginParamEdit(0);
    plug.SetParamFromEditor(0, 0.25);
    plug.EndParamEdit(0);
    EXPECT_EQ(plug.log, (std::vector<std::string>{"begin 0 0 0", "notify 0 0.25 0", "change 0 3 -1",
                                                  "editor 0 3 0", "end 0 0 0"}));
    EXPECT_DOUBLE_EQ(plug.ParamAt(0)->CurrentValue(), -10.0);
}

TEST(APIBaseParams, EditsForUnknownIndexesOrNonFinitePositionsAreIgnored) {
    RecordingPlugin plug;
    plug.SetParamFromEditor(3, 0.5);
    plug.SetParamFromEditor(-1, 0.5);
    plug.SetParamValueFromEditor(99, 0.5);
    plug.SetParamFromEditor(0, std::nan(""));
    EXPECT_TRUE(plug.log.empty());
    EXPECT_EQ(plug.ParamAt(0)->CurrentValue(), 0.0);
}

TEST(APIBaseParams, NotifyingAllParamsSendsEachPositionInIndexOrder) {
    RecordingPlugin plug;
    plug.ParamAt(0)->SetValue(20.0);
    plug.ParamAt(1)->SetValue(1.0);
    plug.ParamAt(2)->SetValue(1.0); // second of four entries: position 1/3
    plug.NotifyHostOfAllParams();
    ASSERT_EQ(plug.log.size(), 3u);
    EXPECT_EQ(plug.log[0], "notify 0 1 0");
    EXPECT_EQ(plug.log[1], "notify 1 1 0");
    EXPECT_EQ(plug.log[2], "notify 2 0.333333 0");
}

// ---- Editor size and defaults ----

TEST(APIBaseEditor, ResizeAsksTheHostOnlyWhenThePlatformMustResize) {
    RecordingPlugin plug;
    EXPECT_TRUE(plug.RequestEditorResize(800, 300, false));
    EXPECT_TRUE(plug.log.empty());
    EXPECT_TRUE(plug.RequestEditorResize(800, 300, true));
    plug.resizeAnswer = false;
    EXPECT_FALSE(plug.RequestEditorResize(900, 320, true));
    EXPECT_EQ(plug.log, (std::vector<std::string>{"resize 800 300 0", "resize 900 320 0"}));
}

TEST(APIBaseEditor, TrackInformationAndNoteNamesHaveNeutralDefaults) {
    RecordingPlugin plug;
    int32_t red = 9, green = 9, blue = 9;
    plug.TrackColour(red, green, blue);
    EXPECT_EQ(red + green + blue, 0);
    std::string text = "kept";
    plug.TrackName(text);
    plug.TrackNamespace(text);
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(plug.TrackIndex(), 0);
    EXPECT_EQ(plug.TrackNamespaceIndex(), 0);
    EXPECT_FALSE(plug.GetMidiNoteName(60, text));
    EXPECT_EQ(text, "");
}

} // namespace
