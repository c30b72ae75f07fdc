// Nanoseconds per host sample of the four-times resampler pair alone (up,
// identity chain, down, FIFO) for one channel at 48 kHz in 512-frame blocks,
// for the real-time and the offline quality, and of Feed, which the plain path
// pays to keep the resamplers current. Counter "ns/sample" is the README figure.

#include "equalizer/Oversampler.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

constexpr int kBlockFrames = 512;
constexpr double kRateHz = 48000.0;
constexpr int kFactor = 4;

std::vector<double> NoiseBlock() {
    std::mt19937 generator(1);
    std::uniform_real_distribution<double> uniform(-0.5, 0.5);
    std::vector<double> block(kBlockFrames);
    for (double& sample : block)
        sample = uniform(generator);
    return block;
}

void SetCounters(benchmark::State& state) {
    state.counters["ns/sample"] =
        benchmark::Counter(kBlockFrames * 1e-9, benchmark::Counter::kIsIterationInvariantRate |
                                                    benchmark::Counter::kInvert);
}

void BM_OversamplerProcess(benchmark::State& state) {
    equalizer::Oversampler oversampler(kFactor, static_cast<int>(state.range(0)), kRateHz,
                                       kBlockFrames);
    const std::vector<double> input = NoiseBlock();
    std::vector<double> output(kBlockFrames);
    auto identity = [](double* samples, int count) { benchmark::DoNotOptimize(samples + count); };
    for (auto _ : state) {
        oversampler.Process(0, input.data(), output.data(), kBlockFrames, identity);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    SetCounters(state);
}

void BM_OversamplerFeed(benchmark::State& state) {
    equalizer::Oversampler oversampler(kFactor, static_cast<int>(state.range(0)), kRateHz,
                                       kBlockFrames);
    const std::vector<double> input = NoiseBlock();
    for (auto _ : state) {
        oversampler.Feed(0, input.data(), kBlockFrames);
        benchmark::ClobberMemory();
    }
    SetCounters(state);
}

// Rebuild cost: the calibration scan runs at every processing reset.
void BM_OversamplerRebuild(benchmark::State& state) {
    equalizer::Oversampler oversampler(kFactor, static_cast<int>(state.range(0)), kRateHz, 1024);
    for (auto _ : state)
        oversampler.Rebuild();
}

} // namespace

BENCHMARK(BM_OversamplerProcess)->ArgName("quality")->Arg(2)->Arg(3);
BENCHMARK(BM_OversamplerFeed)->ArgName("quality")->Arg(2)->Arg(3);
BENCHMARK(BM_OversamplerRebuild)->ArgName("quality")->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);
