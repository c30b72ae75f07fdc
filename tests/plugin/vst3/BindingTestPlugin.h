#pragma once

// A small plug-in on the VST 3 binding for the binding's unit tests: four
// parameters of every kind (one in a group), two presets, "1-1 2-2", and a
// block hook that doubles its input so that outputs can be checked by hand.
// It records what the framework tells it, without allocating, so that the
// tests can see which hooks ran on which thread.

#include "plugin/AudioThread.h"
#include "plugin/IParam.h"
#include "plugin/vst3/IPluginVST3.h"

#include <atomic>
#include <cstdint>

namespace binding_test {

inline constexpr int32_t kGain = 0;   // double, -20..10 dB, default 0
inline constexpr int32_t kMode = 1;   // enum of 6, default 2
inline constexpr int32_t kSwitch = 2; // bool, not automatable
inline constexpr int32_t kDrive = 3;  // double, 0..100 %, group "Tone"
inline constexpr int32_t kParamCount = 4;
inline constexpr int32_t kPresetCount = 2;

class TestPlugin : public plugin::vst3::IPluginVST3 {
public:
    static plugin::PlugConfig Config(bool midi = false) {
        plugin::PlugConfig config;
        config.midiIn = midi;
        config.midiOut = midi;
        config.paramCount = kParamCount;
        config.presetCount = kPresetCount;
        config.channelIOString = "1-1 2-2";
        config.pluginName = "Binding Test";
        config.productName = "Binding Test";
        config.manufacturerName = "Corvane Audio";
        config.vendorVersion = 0x00010000;
        config.uniqueId = plugin::FourCharCode("bTst");
        config.manufacturerId = plugin::FourCharCode("Cvan");
        return config;
    }

    explicit TestPlugin(bool midi = false) : IPluginVST3(Config(midi)) {
        ParamAt(kGain)->ConfigureDouble("Gain", 0.0, -20.0, 10.0, 0.1, "dB");
        ParamAt(kMode)->ConfigureEnum("Mode", 2, 6);
        const char* const modeTexts[] = {"Mode A", "Mode B", "Mode C",
                                         "Mode D", "Mode E", "Mode F"};
        for (int i = 0; i < 6; ++i)
            ParamAt(kMode)->AddValueText(i, modeTexts[i]);
        ParamAt(kSwitch)->ConfigureBool("Switch", false, "", plugin::IParam::NotAutomatable);
        ParamAt(kDrive)->ConfigureDouble("Drive", 50.0, 0.0, 100.0, 1.0, "%", 0, "Tone");
    }

    using IPluginVST3::OnParamChange;
    void OnParamChange(int32_t index, plugin::ParamChangeSource source,
                       int32_t sampleOffset) override {
        if (source == plugin::ParamChangeSource::Host) {
            hostChanges.fetch_add(1);
            lastHostIndex.store(index);
            lastHostOffset.store(sampleOffset);
            hostChangeOnAudioThread.store(plugin::IsAudioThread());
        }
        if (source == plugin::ParamChangeSource::Reset)
            resetAnnouncements.fetch_add(1);
        IPluginVST3::OnParamChange(index, source, sampleOffset);
    }

    void RenderBlock(const double* const* inputs, double* const* outputs, int32_t frames) override {
        renderCalls.fetch_add(1);
        const int32_t latency = latencyFromAudioThread.exchange(-1);
        if (latency >= 0)
            ChangeLatency(latency);
        for (int32_t c = 0; c < ChannelCount(plugin::BusDirection::Output); ++c)
            for (int32_t i = 0; i < frames; ++i)
                outputs[c][i] = 2.0 * inputs[c][i];
    }

    void OnProcessingReset() override {
        resets.fetch_add(1);
        offlineAtLastReset.store(IsRenderingOffline());
    }

    void OnHostKnown() override { hostKnownCalls.fetch_add(1); }

    void HandleMidiMessage(const plugin::MidiMessage& message) override {
        midiMessages.fetch_add(1);
        lastMidi = message;
        IPluginVST3::HandleMidiMessage(message);
    }

    // Makes the next rendered block call ChangeLatency(samples) from the
    // audio thread.
    void RequestLatencyFromAudioThread(int32_t samples) { latencyFromAudioThread.store(samples); }

    std::atomic<int32_t> hostChanges{0};
    std::atomic<int32_t> lastHostIndex{-1};
    std::atomic<int32_t> lastHostOffset{-1};
    std::atomic<bool> hostChangeOnAudioThread{false};
    std::atomic<int32_t> resetAnnouncements{0};
    std::atomic<int32_t> renderCalls{0};
    std::atomic<int32_t> resets{0};
    std::atomic<bool> offlineAtLastReset{false};
    std::atomic<int32_t> hostKnownCalls{0};
    std::atomic<int32_t> midiMessages{0};
    plugin::MidiMessage lastMidi; // written and read on the test's one thread

private:
    std::atomic<int32_t> latencyFromAudioThread{-1};
};

} // namespace binding_test
