// The whole block processing (EqualizerProcessor::Render, which RenderBlock
// calls) with five bands settled, stereo, 48 kHz, 512-frame blocks, on the
// plain path (the resamplers kept fed) and the oversampled path, next to the
// same work done with the straightforward reference chain. Counters:
// "ns/ch-sample", and "realtime" (seconds of audio per second of CPU).

#include "equalizer/EqualizerProcessor.h"
#include "equalizer/Oversampler.h"
#include "equalizer/Parameters.h"
#include "equalizer/SampleChecks.h"
#include "reference/ReferenceEqualizer.h"
#include "reference/SoxrOversampler.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

namespace eq = equalizer;

constexpr int blockFrames = 512;
constexpr double rateHz = 48000.0;

std::vector<double> Noise(unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-0.5, 0.5);
    std::vector<double> v(blockFrames);
    for (double& x : v)
        x = dist(rng);
    return v;
}

void SetCounters(benchmark::State& state) {
    state.counters["ns/ch-sample"] =
        benchmark::Counter(2.0 * blockFrames * 1e-9, benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
    state.counters["realtime"] =
        benchmark::Counter(blockFrames / rateHz, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Render(benchmark::State& state, bool oversampled) {
    eq::EqualizerProcessor processor;
    processor.InitOversampling(oversampled);
    processor.Reset(rateHz, blockFrames, false);
    // 80 Hz high-pass, shelves and mids at 110, 400 and 3150 Hz, all boosted
    // or cut: every band runs.
    processor.ApplyParameter(eq::HPF, 3.0);
    processor.ApplyParameter(eq::LoShelfFreq, 2.0);
    processor.ApplyParameter(eq::LoShelfLevel, 4.0);
    processor.ApplyParameter(eq::MF1Freq, 3.0);
    processor.ApplyParameter(eq::MFLevel1, -6.0);
    processor.ApplyParameter(eq::MF2Freq, 4.0);
    processor.ApplyParameter(eq::MFLevel2, 3.0);
    processor.ApplyParameter(eq::HiShelfLevel, 5.0);
    const std::vector<double> input[2] = {Noise(1), Noise(2)};
    std::vector<double> output[2] = {std::vector<double>(blockFrames),
                                     std::vector<double>(blockFrames)};
    const double* inputs[2] = {input[0].data(), input[1].data()};
    double* outputs[2] = {output[0].data(), output[1].data()};
    eq::BlockChannels channels;
    channels.count = 2;
    channels.inputConnected[0] = channels.inputConnected[1] = true;
    channels.outputConnected[0] = channels.outputConnected[1] = true;
    for (int i = 0; i < 2000; ++i) // let every glide settle
        processor.Render(inputs, outputs, blockFrames, channels);
    for (auto _ : state) {
        processor.Render(inputs, outputs, blockFrames, channels);
        benchmark::DoNotOptimize(output[0].data());
        benchmark::DoNotOptimize(output[1].data());
    }
    SetCounters(state);
}

// What Render does, with the reference chain: feed the resamplers and run the
// chain in place on the plain path, or run it inside the resamplers.
void BM_ReferenceRender(benchmark::State& state, bool oversampled) {
    eq::Oversampler oversampler(eq::EqualizerProcessor::oversamplingFactor,
                                eq::EqualizerProcessor::realtimeQuality, rateHz,
                                eq::EqualizerProcessor::minimumScratchFrames);
    reference::Chain chain;
    const double frequencies[4] = {80.0, 110.0, 400.0, 3150.0};
    const double gains[5] = {0.0, 4.0, -6.0, 3.0, 5.0};
    const int32_t chainRate = static_cast<int32_t>(oversampled ? rateHz * 4.0 : rateHz);
    chain.highPass = true;
    for (int ch = 0; ch < 2; ++ch) {
        for (int b = 0; b < 5; ++b) {
            if (b < 4)
                reference::SetTarget(chain.sections[b][ch], 1, frequencies[b]);
            if (b > 0)
                reference::SetTarget(chain.sections[b][ch], 2, gains[b]);
            reference::SetRate(chain.sections[b][ch], chainRate);
        }
        for (int b = 0; b < 5; ++b)
            reference::Reset(chain.sections[b][ch]);
        for (int b = 0; b < 5; ++b)
            reference::Update(chain.sections[b][ch]);
    }
    const std::vector<double> input[2] = {Noise(1), Noise(2)};
    std::vector<double> copy(blockFrames);
    std::vector<double> output[2] = {std::vector<double>(blockFrames),
                                     std::vector<double>(blockFrames)};
    for (auto _ : state) {
        for (int ch = 0; ch < 2; ++ch) {
            if (oversampled) {
                std::copy(input[ch].begin(), input[ch].end(), copy.begin());
                auto run = [&chain, ch](double* samples, int count) {
                    chain.Process(samples, count, ch);
                };
                oversampler.Process(ch, copy.data(), output[ch].data(), blockFrames, run);
            } else {
                oversampler.Feed(ch, input[ch].data(), blockFrames);
                std::copy(input[ch].begin(), input[ch].end(), output[ch].begin());
                chain.Process(output[ch].data(), blockFrames, ch);
            }
        }
        benchmark::DoNotOptimize(output[0].data());
        benchmark::DoNotOptimize(output[1].data());
    }
    SetCounters(state);
}

// Today's chain inside the libsoxr pair the plug-in used before: the plain
// path kept it fed, the oversampled path ran the chain per channel inside it.
void BM_SoxrRender(benchmark::State& state, bool oversampled) {
    reference::SoxrOversampler oversampler(eq::EqualizerProcessor::oversamplingFactor,
                                           eq::EqualizerProcessor::realtimeQuality, rateHz,
                                           eq::EqualizerProcessor::minimumScratchFrames);
    eq::EqualizerChain chain;
    chain.SetHighPassEnabled(true);
    const double frequencies[4] = {80.0, 110.0, 400.0, 3150.0};
    const double gains[5] = {0.0, 4.0, -6.0, 3.0, 5.0};
    for (int b = 0; b < 5; ++b) {
        if (b < 4)
            chain.SetBandFrequency(b, frequencies[b]);
        if (b > 0)
            chain.SetBandGainDb(b, gains[b]);
    }
    chain.SetSampleRateAndReset(oversampled ? rateHz * 4.0 : rateHz);
    const std::vector<double> input[2] = {Noise(1), Noise(2)};
    std::vector<double> copy(blockFrames);
    std::vector<double> output[2] = {std::vector<double>(blockFrames),
                                     std::vector<double>(blockFrames)};
    for (auto _ : state) {
        if (oversampled) {
            for (int ch = 0; ch < 2; ++ch) {
                std::copy(input[ch].begin(), input[ch].end(), copy.begin());
                auto run = [&chain, ch](double* samples, int count) {
                    chain.ProcessChannel(samples, count, ch);
                };
                oversampler.Process(ch, copy.data(), output[ch].data(), blockFrames, run);
            }
        } else {
            for (int ch = 0; ch < 2; ++ch) {
                oversampler.Feed(ch, input[ch].data(), blockFrames);
                std::copy(input[ch].begin(), input[ch].end(), output[ch].begin());
            }
            chain.ProcessStereo(output[0].data(), output[1].data(), blockFrames);
        }
        benchmark::DoNotOptimize(output[0].data());
        benchmark::DoNotOptimize(output[1].data());
    }
    SetCounters(state);
}

// The check for non-finite input that every block makes, per channel.
void BM_NonFiniteCheck(benchmark::State& state) {
    const std::vector<double> input[2] = {Noise(1), Noise(2)};
    for (auto _ : state) {
        benchmark::DoNotOptimize(eq::AllFinite(input[0].data(), blockFrames));
        benchmark::DoNotOptimize(eq::AllFinite(input[1].data(), blockFrames));
    }
    SetCounters(state);
}

} // namespace

BENCHMARK(BM_NonFiniteCheck);
BENCHMARK_CAPTURE(BM_SoxrRender, plain, false);
BENCHMARK_CAPTURE(BM_SoxrRender, oversampled, true);
BENCHMARK_CAPTURE(BM_Render, plain, false);
BENCHMARK_CAPTURE(BM_ReferenceRender, plain, false);
BENCHMARK_CAPTURE(BM_Render, oversampled, true);
BENCHMARK_CAPTURE(BM_ReferenceRender, oversampled, true);
