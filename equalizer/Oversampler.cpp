#include "equalizer/Oversampler.h"

#include "equalizer/OversamplerFilters.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace equalizer {

namespace {

// The frequency at which the latency is the delay: low enough that the
// minimum-phase filters' dispersion near the band edge does not enter.
constexpr double kLatencyFrequencyHz = 1000.0;

int PhaseLength(const FirTaps& filter) {
    return (filter.count + 1) / 2;
}

double Tap(const FirTaps& filter, int n) {
    return n < filter.count ? filter.taps[n] : 0.0;
}

// Phase delay, in the filter's own samples, at `cycles` per sample: the
// centroid first, then the small remaining phase, which needs no unwrapping.
double PhaseDelay(const FirTaps& filter, double cycles) {
    double sum = 0.0;
    double moment = 0.0;
    for (int n = 0; n < filter.count; ++n) {
        sum += filter.taps[n];
        moment += n * filter.taps[n];
    }
    const double centroid = moment / sum;
    const double w = 2.0 * M_PI * cycles;
    std::complex<double> response = 0.0;
    for (int n = 0; n < filter.count; ++n)
        response += filter.taps[n] * std::polar(1.0, -w * (n - centroid));
    return centroid - std::arg(response) / w;
}

} // namespace

Oversampler::Oversampler(int factor, int quality, double sampleRate, int maxBlock)
    : factor(factor), quality(quality), sampleRate(sampleRate), maxBlock(maxBlock) {
    Rebuild();
}

Oversampler::~Oversampler() = default;

bool Oversampler::ParametersValid() const noexcept {
    return (factor == 2 || factor == 4) && std::isfinite(sampleRate) && sampleRate > 0.0 &&
           maxBlock >= 1 && maxBlock <= kMaxBlockLimit;
}

void Oversampler::Rebuild() {
    ready = false;
    latency = 0;
    exactLatency = 0.0;
    if (!ParametersValid())
        return;
    if (factor != builtFactor || quality != builtQuality)
        Allocate();
    ComputeLatency();
    ClearHistory();
    ready = true;
}

void Oversampler::Allocate() {
    const OversamplerFilters& filters = LookUpOversamplerFilters(quality);
    const auto arrange = [](const FirTaps& filter, StageTaps& stage) {
        const int k = PhaseLength(filter);
        stage.taps = k;
        stage.phase0.assign(static_cast<std::size_t>(k), 0.0);
        stage.phase1.assign(static_cast<std::size_t>(k), 0.0);
        stage.pairs.assign(2 * static_cast<std::size_t>(k), 0.0);
        for (int j = 0; j < k; ++j) {
            const int m = k - 1 - j; // j runs from the oldest input to the newest
            // The interpolator's gain of 2 restores the level the zeros
            // between the input samples take away.
            stage.phase0[static_cast<std::size_t>(j)] = 2.0 * Tap(filter, 2 * m);
            stage.phase1[static_cast<std::size_t>(j)] = 2.0 * Tap(filter, 2 * m + 1);
            stage.pairs[2 * static_cast<std::size_t>(j)] = Tap(filter, 2 * m + 1);
            stage.pairs[2 * static_cast<std::size_t>(j) + 1] = Tap(filter, 2 * m);
        }
    };
    arrange(filters.first, first);
    const bool twoStages = factor == 4;
    if (twoStages)
        arrange(filters.second, second);
    else
        second = StageTaps{};

    const auto k1 = static_cast<std::size_t>(first.taps);
    const auto k2 = static_cast<std::size_t>(second.taps);
    constexpr auto chunk = static_cast<std::size_t>(kChunkFrames);
    // Every state value is a function of this many recent host samples.
    historyFrames = 2 * first.taps + second.taps + 4;
    int ring = 1;
    while (ring < historyFrames)
        ring <<= 1;
    recentMask = ring - 1;
    for (ChannelState& state : channels) {
        state.upFirst.assign(k1 - 1 + chunk, 0.0);
        state.upSecond.assign(twoStages ? k2 - 1 + 2 * chunk : 0, 0.0);
        state.downSecond.assign(twoStages ? 2 * (k2 - 1) + 4 * chunk : 0, 0.0);
        state.downFirst.assign(2 * (k1 - 1) + 2 * chunk, 0.0);
        state.recent.assign(static_cast<std::size_t>(ring), 0.0);
    }
    identityScratch.assign(chunk, 0.0);
    builtFactor = factor;
    builtQuality = quality;
}

void Oversampler::ComputeLatency() {
    // Up by two is zero-stuffing and the filter; down by two is the filter
    // and keeping the second sample of each pair, one high-rate sample ahead.
    const OversamplerFilters& filters = LookUpOversamplerFilters(quality);
    const double firstDelay = PhaseDelay(filters.first, kLatencyFrequencyHz / (2.0 * sampleRate));
    if (factor == 4) {
        const double secondDelay =
            PhaseDelay(filters.second, kLatencyFrequencyHz / (4.0 * sampleRate));
        exactLatency = firstDelay + secondDelay / 2.0 - 0.75;
    } else {
        exactLatency = firstDelay - 0.5;
    }
    latency = static_cast<int>(std::lround(exactLatency));
}

void Oversampler::ClearChannel(ChannelState& state) noexcept {
    for (std::vector<double>* buffer :
         {&state.upFirst, &state.upSecond, &state.downSecond, &state.downFirst, &state.recent})
        std::fill(buffer->begin(), buffer->end(), 0.0);
    state.written = 0;
    state.skipped = 0;
}

void Oversampler::ClearHistory() noexcept {
    for (ChannelState& state : channels)
        ClearChannel(state);
}

bool Oversampler::AcceptsBlock(int channel, const double* input, int frames) const noexcept {
    return ready && channel >= 0 && channel < kChannels && frames >= 0 && frames <= maxBlock &&
           (input != nullptr || frames == 0);
}

void Oversampler::Record(ChannelState& state, const double* input, int frames) noexcept {
    const int ring = recentMask + 1;
    const int skipped = std::max(0, frames - ring);
    for (int i = skipped; i < frames; ++i)
        state.recent[static_cast<std::size_t>((state.written + i) & recentMask)] = input[i];
    state.written += frames;
}

void Oversampler::CatchUp(ChannelState& state) noexcept {
    if (state.skipped == 0)
        return;
    // The stages run, with an identity chain as during feeding, over the
    // samples they missed. When those are at least historyFrames, every
    // stage's state depends on them alone: from zero history, their last
    // historyFrames give it exactly (the ring holds zeros for what came
    // before a stream shorter than that, as a stream from silence does).
    // Fewer, and the state from before the feeding still counts: continue it.
    int replay = static_cast<int>(std::min<std::int64_t>(state.skipped, historyFrames));
    if (replay == historyFrames) {
        for (std::vector<double>* buffer :
             {&state.upFirst, &state.upSecond, &state.downSecond, &state.downFirst})
            std::fill(buffer->begin(), buffer->end(), 0.0);
    }
    double chunk[kChunkFrames];
    for (int done = 0; done < replay;) {
        const int frames = std::min(kChunkFrames, replay - done);
        const std::int64_t start = state.written - replay + done;
        for (int i = 0; i < frames; ++i)
            chunk[i] = state.recent[static_cast<std::size_t>((start + i) & recentMask)];
        Up(state, chunk, frames);
        Down(state, identityScratch.data(), frames);
        done += frames;
    }
    state.skipped = 0;
}

double* Oversampler::Up(ChannelState& state, const double* input, int frames) noexcept {
    const int k1 = first.taps;
    std::copy(input, input + frames, state.upFirst.begin() + (k1 - 1));
    if (factor == 4) {
        const int k2 = second.taps;
        double* doubled = state.upSecond.data() + (k2 - 1);
        kernelSet->interpolate(first.phase0.data(), first.phase1.data(), k1, state.upFirst.data(),
                               doubled, frames);
        double* run = state.downSecond.data() + 2 * (k2 - 1);
        kernelSet->interpolate(second.phase0.data(), second.phase1.data(), k2,
                               state.upSecond.data(), run, 2 * frames);
        return run;
    }
    double* run = state.downFirst.data() + 2 * (k1 - 1);
    kernelSet->interpolate(first.phase0.data(), first.phase1.data(), k1, state.upFirst.data(), run,
                           frames);
    return run;
}

void Oversampler::Down(ChannelState& state, double* output, int frames) noexcept {
    const int k1 = first.taps;
    if (factor == 4) {
        const int k2 = second.taps;
        kernelSet->decimate(second.pairs.data(), k2, state.downSecond.data(),
                            state.downFirst.data() + 2 * (k1 - 1), 2 * frames);
        // Keep the last taps − 1 inputs of each stage for the next chunk.
        std::copy_n(state.upSecond.begin() + 2 * frames, k2 - 1, state.upSecond.begin());
        std::copy_n(state.downSecond.begin() + 4 * frames, 2 * (k2 - 1), state.downSecond.begin());
    }
    kernelSet->decimate(first.pairs.data(), k1, state.downFirst.data(), output, frames);
    std::copy_n(state.upFirst.begin() + frames, k1 - 1, state.upFirst.begin());
    std::copy_n(state.downFirst.begin() + 2 * frames, 2 * (k1 - 1), state.downFirst.begin());
}

bool Oversampler::ProcessWithChain(int channel, const double* input, double* output, int frames,
                                   OversampledChainRef chain) noexcept {
    if (!AcceptsBlock(channel, input, frames) || output == nullptr) {
        if (output != nullptr && frames > 0)
            std::fill_n(output, frames, 0.0);
        return false;
    }
    ChannelState& state = channels[static_cast<std::size_t>(channel)];
    CatchUp(state);
    Record(state, input, frames);
    for (int done = 0; done < frames;) {
        const int n = std::min(kChunkFrames, frames - done);
        double* run = Up(state, input + done, n);
        chain(run, factor * n);
        Down(state, output + done, n);
        done += n;
    }
    return true;
}

bool Oversampler::ProcessStereoWithChain(const double* const* inputs, double* const* outputs,
                                         int frames, OversampledStereoChainRef chain) noexcept {
    const bool accepted = AcceptsBlock(0, inputs[0], frames) &&
                          AcceptsBlock(1, inputs[1], frames) && outputs[0] != nullptr &&
                          outputs[1] != nullptr;
    if (!accepted) {
        for (int ch = 0; ch < kChannels; ++ch)
            if (outputs[ch] != nullptr && frames > 0)
                std::fill_n(outputs[ch], frames, 0.0);
        return false;
    }
    for (int ch = 0; ch < kChannels; ++ch) {
        CatchUp(channels[static_cast<std::size_t>(ch)]);
        Record(channels[static_cast<std::size_t>(ch)], inputs[ch], frames);
    }
    for (int done = 0; done < frames;) {
        const int n = std::min(kChunkFrames, frames - done);
        double* left = Up(channels[0], inputs[0] + done, n);
        double* right = Up(channels[1], inputs[1] + done, n);
        chain(left, right, factor * n);
        Down(channels[0], outputs[0] + done, n);
        Down(channels[1], outputs[1] + done, n);
        done += n;
    }
    return true;
}

bool Oversampler::Feed(int channel, const double* input, int frames) noexcept {
    if (!AcceptsBlock(channel, input, frames))
        return false;
    if (frames == 0)
        return true;
    ChannelState& state = channels[static_cast<std::size_t>(channel)];
    Record(state, input, frames);
    state.skipped += frames;
    return true;
}

} // namespace equalizer
