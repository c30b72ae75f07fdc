// Nanoseconds per channel-sample of the channel chain, next to the
// straightforward reference evaluation of the same formulas. Stereo, 512-frame
// blocks. Counters: "ns/ch-sample" is the figure the README quotes.
//
// Three ways of calling the chain are measured:
//   BM_Chain             ProcessStereo, both channels in vector lanes, as the
//                        plain path calls it at 48 kHz;
//   BM_ChainPerChannel   ProcessChannel once per channel at 48 kHz;
//   BM_ChainOversampled  ProcessInterleaved on runs of 2048 (left, right)
//                        pairs at 192 kHz, the chain's share of the
//                        oversampled path (the resamplers hand it both
//                        channels interleaved).
// BM_Reference and BM_ReferenceOversampled are the yardsticks for them.

#include "equalizer/EqualizerChain.h"
#include "reference/ReferenceEqualizer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

constexpr int blockFrames = 512;
constexpr int32_t rate = 48000;
constexpr int oversamplingFactor = 4;
// A glide from −6 to +6 dB stops redesigning after some hundreds of samples;
// the gliding rows retarget this often, so that they glide throughout.
constexpr int glideRetargetFrames = 256;

enum class Scenario { Settled, Gliding, Flat };
enum class Call { Stereo, PerChannel, Interleaved };

std::vector<double> Noise(unsigned seed, int frames) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-0.5, 0.5);
    std::vector<double> v(static_cast<size_t>(frames));
    for (double& x : v)
        x = dist(rng);
    return v;
}

// Five bands running at non-zero gains for Settled and Gliding.
template <class SetFrequency, class SetGain, class SetHighPass>
void Configure(Scenario scenario, SetFrequency frequency, SetGain gain, SetHighPass highPass) {
    if (scenario == Scenario::Flat)
        return;
    highPass(true);
    frequency(0, 80.0);
    frequency(1, 110.0);
    frequency(2, 400.0);
    frequency(3, 3150.0);
    gain(1, 4.0);
    gain(2, -6.0);
    gain(3, 3.0);
    gain(4, 5.0);
}

void SetCounters(benchmark::State& state, int frames) {
    const double channelSamples = 2.0 * frames;
    state.counters["ns/ch-sample"] =
        benchmark::Counter(channelSamples * 1e-9, benchmark::Counter::kIsIterationInvariantRate |
                                                      benchmark::Counter::kInvert);
}

void RunChain(benchmark::State& state, Scenario scenario, Call call, int32_t chainRate,
              int frames) {
    equalizer::EqualizerChain chain;
    Configure(
        scenario, [&](int b, double hz) { chain.SetBandFrequency(b, hz); },
        [&](int b, double db) { chain.SetBandGainDb(b, db); },
        [&](bool on) { chain.SetHighPassEnabled(on); });
    chain.SetSampleRateAndReset(chainRate);
    const std::vector<double> input[2] = {Noise(1, frames), Noise(2, frames)};
    std::vector<double> buffer[2] = {input[0], input[1]};
    std::vector<double> pairs(2 * static_cast<size_t>(frames));
    std::vector<double> interleaved(pairs.size());
    for (size_t f = 0; f < input[0].size(); ++f) {
        interleaved[2 * f] = input[0][f];
        interleaved[2 * f + 1] = input[1][f];
    }
    bool toggle = false;
    for (auto _ : state) {
        if (call == Call::Interleaved) {
            pairs = interleaved;
        } else {
            buffer[0] = input[0];
            buffer[1] = input[1];
        }
        for (int start = 0; start < frames; start += glideRetargetFrames) {
            const int n = std::min(glideRetargetFrames, frames - start);
            if (scenario == Scenario::Gliding) {
                // Retarget often enough that every section glides (and
                // redesigns) through the whole timed block, as during
                // automation.
                toggle = !toggle;
                for (int b = 1; b < 5; ++b)
                    chain.SetBandGainDb(b, toggle ? 6.0 : -6.0);
                chain.SetBandFrequency(2, toggle ? 400.0 : 820.0);
            }
            if (call == Call::Stereo) {
                chain.ProcessStereo(buffer[0].data() + start, buffer[1].data() + start, n);
            } else if (call == Call::Interleaved) {
                chain.ProcessInterleaved(pairs.data() + 2 * start, n);
            } else {
                chain.ProcessChannel(buffer[0].data() + start, n, 0);
                chain.ProcessChannel(buffer[1].data() + start, n, 1);
            }
        }
        benchmark::DoNotOptimize(buffer[0].data());
        benchmark::DoNotOptimize(buffer[1].data());
        benchmark::DoNotOptimize(pairs.data());
    }
    SetCounters(state, frames);
}

void RunReference(benchmark::State& state, Scenario scenario, int32_t chainRate, int frames) {
    reference::Chain chain;
    Configure(
        scenario,
        [&](int b, double hz) {
            for (int ch = 0; ch < 2; ++ch)
                reference::SetTarget(chain.sections[b][ch], 1, hz);
        },
        [&](int b, double db) {
            for (int ch = 0; ch < 2; ++ch)
                reference::SetTarget(chain.sections[b][ch], 2, db);
        },
        [&](bool on) { chain.highPass = on; });
    for (int ch = 0; ch < 2; ++ch) {
        for (int b = 0; b < 5; ++b)
            reference::SetRate(chain.sections[b][ch], chainRate);
        for (int b = 0; b < 5; ++b)
            reference::Reset(chain.sections[b][ch]);
        for (int b = 0; b < 5; ++b)
            reference::Update(chain.sections[b][ch]);
    }
    const std::vector<double> input[2] = {Noise(1, frames), Noise(2, frames)};
    std::vector<double> buffer[2] = {input[0], input[1]};
    bool toggle = false;
    for (auto _ : state) {
        buffer[0] = input[0];
        buffer[1] = input[1];
        for (int start = 0; start < frames; start += glideRetargetFrames) {
            const int n = std::min(glideRetargetFrames, frames - start);
            if (scenario == Scenario::Gliding) {
                toggle = !toggle;
                for (int ch = 0; ch < 2; ++ch) {
                    for (int b = 1; b < 5; ++b)
                        reference::SetTarget(chain.sections[b][ch], 2, toggle ? 6.0 : -6.0);
                    reference::SetTarget(chain.sections[2][ch], 1, toggle ? 400.0 : 820.0);
                }
            }
            for (int ch = 0; ch < 2; ++ch)
                chain.Process(buffer[ch].data() + start, n, ch);
        }
        benchmark::DoNotOptimize(buffer[0].data());
        benchmark::DoNotOptimize(buffer[1].data());
    }
    SetCounters(state, frames);
}

void BM_Chain(benchmark::State& state, Scenario scenario) {
    RunChain(state, scenario, Call::Stereo, rate, blockFrames);
}
void BM_ChainPerChannel(benchmark::State& state, Scenario scenario) {
    RunChain(state, scenario, Call::PerChannel, rate, blockFrames);
}
void BM_Reference(benchmark::State& state, Scenario scenario) {
    RunReference(state, scenario, rate, blockFrames);
}
void BM_ChainOversampled(benchmark::State& state, Scenario scenario) {
    RunChain(state, scenario, Call::Interleaved, rate * oversamplingFactor,
             blockFrames * oversamplingFactor);
}
void BM_ReferenceOversampled(benchmark::State& state, Scenario scenario) {
    RunReference(state, scenario, rate * oversamplingFactor, blockFrames * oversamplingFactor);
}

} // namespace

BENCHMARK_CAPTURE(BM_Chain, settled_five_bands, Scenario::Settled);
BENCHMARK_CAPTURE(BM_ChainPerChannel, settled_five_bands, Scenario::Settled);
BENCHMARK_CAPTURE(BM_Reference, settled_five_bands, Scenario::Settled);
BENCHMARK_CAPTURE(BM_Chain, gliding, Scenario::Gliding);
BENCHMARK_CAPTURE(BM_ChainPerChannel, gliding, Scenario::Gliding);
BENCHMARK_CAPTURE(BM_Reference, gliding, Scenario::Gliding);
BENCHMARK_CAPTURE(BM_Chain, flat, Scenario::Flat);
BENCHMARK_CAPTURE(BM_Reference, flat, Scenario::Flat);
BENCHMARK_CAPTURE(BM_ChainOversampled, settled_five_bands, Scenario::Settled);
BENCHMARK_CAPTURE(BM_ReferenceOversampled, settled_five_bands, Scenario::Settled);
BENCHMARK_CAPTURE(BM_ChainOversampled, gliding, Scenario::Gliding);
BENCHMARK_CAPTURE(BM_ReferenceOversampled, gliding, Scenario::Gliding);
