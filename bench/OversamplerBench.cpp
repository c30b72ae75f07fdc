// Nanoseconds per host sample of the four-times resampler pair alone (up,
// identity chain, down) for one channel, and for both at once, at 48 kHz in
// 512-frame blocks, for the real-time and the offline quality, next to the
// libsoxr pair the plug-in used before (bench/reference/SoxrOversampler.h); of
// Feed, which the plain path pays to keep the resamplers current; and of a
// rebuild with unchanged settings, which every processing reset makes.
// Counter "ns/sample" is the README figure.

#include "equalizer/EqualizerProcessor.h"
#include "equalizer/Oversampler.h"
#include "reference/SoxrOversampler.h"

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

const equalizer::kernels::KernelSet& KernelsFor(const benchmark::State& state) {
    const auto* avx2 = equalizer::kernels::Avx2();
    return state.range(1) == 1 && avx2 != nullptr ? *avx2 : equalizer::kernels::Baseline();
}

template <class Oversampler> void Process(benchmark::State& state, Oversampler& oversampler) {
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

template <class Oversampler> void Feed(benchmark::State& state, Oversampler& oversampler) {
    const std::vector<double> input = NoiseBlock();
    for (auto _ : state) {
        oversampler.Feed(0, input.data(), kBlockFrames);
        benchmark::ClobberMemory();
    }
    SetCounters(state);
}

// Arguments: quality, kernels (0 baseline, 1 AVX2).
void BM_OversamplerProcess(benchmark::State& state) {
    equalizer::Oversampler oversampler(kFactor, static_cast<int>(state.range(0)), kRateHz,
                                       kBlockFrames);
    oversampler.UseKernels(KernelsFor(state));
    state.SetLabel(oversampler.Kernels().name);
    Process(state, oversampler);
}

// Both channels at once (ProcessStereo, the interleaved kernels), as the
// plug-in runs a stereo bus; "ns/sample" per channel-sample.
void BM_OversamplerProcessStereo(benchmark::State& state) {
    equalizer::Oversampler oversampler(kFactor, static_cast<int>(state.range(0)), kRateHz,
                                       kBlockFrames);
    oversampler.UseKernels(KernelsFor(state));
    state.SetLabel(oversampler.Kernels().name);
    const std::vector<double> input = NoiseBlock();
    std::vector<double> output[2] = {std::vector<double>(kBlockFrames),
                                     std::vector<double>(kBlockFrames)};
    const double* inputs[2] = {input.data(), input.data()};
    double* outputs[2] = {output[0].data(), output[1].data()};
    auto identity = [](double* pairs, int count) { benchmark::DoNotOptimize(pairs + count); };
    for (auto _ : state) {
        oversampler.ProcessStereo(inputs, outputs, kBlockFrames, identity);
        benchmark::DoNotOptimize(output[0].data());
        benchmark::ClobberMemory();
    }
    state.counters["ns/sample"] = benchmark::Counter(2.0 * kBlockFrames * 1e-9,
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

void BM_SoxrOversamplerProcess(benchmark::State& state) {
    reference::SoxrOversampler oversampler(kFactor, static_cast<int>(state.range(0)), kRateHz,
                                           kBlockFrames);
    Process(state, oversampler);
}

void BM_OversamplerFeed(benchmark::State& state) {
    equalizer::Oversampler oversampler(kFactor, static_cast<int>(state.range(0)), kRateHz,
                                       kBlockFrames);
    Feed(state, oversampler);
}

void BM_SoxrOversamplerFeed(benchmark::State& state) {
    reference::SoxrOversampler oversampler(kFactor, static_cast<int>(state.range(0)), kRateHz,
                                           kBlockFrames);
    Feed(state, oversampler);
}

// The first block after a switch on replays the recorded input.
void BM_OversamplerSwitchOn(benchmark::State& state) {
    equalizer::Oversampler oversampler(kFactor, static_cast<int>(state.range(0)), kRateHz,
                                       kBlockFrames);
    const std::vector<double> input = NoiseBlock();
    std::vector<double> output(kBlockFrames);
    auto identity = [](double*, int) {};
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < 8; ++i)
            oversampler.Feed(0, input.data(), kBlockFrames);
        state.ResumeTiming();
        oversampler.Process(0, input.data(), output.data(), kBlockFrames, identity);
        benchmark::DoNotOptimize(output.data());
    }
}

// What setProcessing(false) and setProcessing(true) cost the equalizer: two
// processing resets with unchanged settings.
void BM_ProcessingResetPair(benchmark::State& state) {
    equalizer::EqualizerProcessor processor;
    const bool offline = state.range(0) == equalizer::EqualizerProcessor::offlineQuality;
    processor.InitOversampling(true);
    processor.Reset(kRateHz, kBlockFrames, offline);
    for (auto _ : state) {
        benchmark::DoNotOptimize(processor.Reset(kRateHz, kBlockFrames, offline));
        benchmark::DoNotOptimize(processor.Reset(kRateHz, kBlockFrames, offline));
    }
    state.SetLabel(offline ? "offline" : "real time");
}

void BM_SoxrOversamplerRebuild(benchmark::State& state) {
    reference::SoxrOversampler oversampler(kFactor, static_cast<int>(state.range(0)), kRateHz,
                                           1024);
    for (auto _ : state)
        oversampler.Rebuild();
}

} // namespace

BENCHMARK(BM_OversamplerProcess)->ArgNames({"quality", "avx2"})->ArgsProduct({{2, 3}, {0, 1}});
BENCHMARK(BM_OversamplerProcessStereo)
    ->ArgNames({"quality", "avx2"})
    ->ArgsProduct({{2, 3}, {0, 1}});
BENCHMARK(BM_SoxrOversamplerProcess)->ArgName("quality")->Arg(2)->Arg(3);
BENCHMARK(BM_OversamplerFeed)->ArgName("quality")->Arg(2)->Arg(3);
BENCHMARK(BM_SoxrOversamplerFeed)->ArgName("quality")->Arg(2)->Arg(3);
BENCHMARK(BM_OversamplerSwitchOn)
    ->ArgName("quality")
    ->Arg(2)
    ->Arg(3)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProcessingResetPair)
    ->ArgName("quality")
    ->Arg(2)
    ->Arg(3)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SoxrOversamplerRebuild)
    ->ArgName("quality")
    ->Arg(2)
    ->Arg(3)
    ->Unit(benchmark::kMillisecond);
