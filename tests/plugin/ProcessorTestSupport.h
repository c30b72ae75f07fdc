#pragma once

#include "plugin/IPluginProcessor.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace processor_testing {

inline plugin::PlugConfig MakeConfig(const char* channelIO, int32_t latency = 0) {
    plugin::PlugConfig config;
    config.channelIOString = channelIO;
    config.latency = latency;
    return config;
}

// A processor whose block hook records what it was handed and then runs the
// default hook (or, with `gain` set, writes gain × input into each output).
class RecordingProcessor : public plugin::IPluginProcessor {
public:
    static constexpr int kMaxChannels = 8;

    explicit RecordingProcessor(const char* channelIO, int32_t latency = 0)
        : IPluginProcessor(MakeConfig(channelIO, latency)) {}

    void RenderBlock(const double* const* inputs, double* const* outputs, int32_t frames) override {
        ++renderCalls;
        lastFrames = frames;
        for (int j = 0; j < ChannelCount(plugin::BusDirection::Input) && j < kMaxChannels; ++j) {
            seenInputs[j] = inputs[j];
        }
        for (int j = 0; j < ChannelCount(plugin::BusDirection::Output) && j < kMaxChannels; ++j) {
            seenOutputs[j] = outputs[j];
        }
        if (useGain) {
            const int channels = std::min(ChannelCount(plugin::BusDirection::Input),
                                          ChannelCount(plugin::BusDirection::Output));
            for (int j = 0; j < channels; ++j) {
                for (int32_t i = 0; i < frames; ++i) {
                    outputs[j][i] = gain * inputs[j][i];
                }
            }
        } else {
            IPluginProcessor::RenderBlock(inputs, outputs, frames);
        }
    }

    bool QueueMidiOut(const plugin::MidiMessage& message) override {
        ++queueCalls;
        lastQueued = message;
        return acceptMidi;
    }

    int renderCalls = 0;
    int32_t lastFrames = -1;
    std::array<const double*, kMaxChannels> seenInputs{};
    std::array<double*, kMaxChannels> seenOutputs{};
    bool useGain = false;
    double gain = 1.0;
    int queueCalls = 0;
    plugin::MidiMessage lastQueued;
    bool acceptMidi = true;
};

// Per-channel host buffers and the pointer array a host would pass.
template <typename Sample> struct HostBuffers {
    HostBuffers(int channels, int frames)
        : data(static_cast<size_t>(channels), std::vector<Sample>(static_cast<size_t>(frames))) {
        for (auto& channel : data) {
            pointers.push_back(channel.data());
        }
    }
    std::vector<std::vector<Sample>> data;
    std::vector<Sample*> pointers;
};

} // namespace processor_testing
