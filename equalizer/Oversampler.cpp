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
        const auto size = static_cast<std::size_t>(k);
        stage.taps = k;
        stage.phase0.Assign(size);
        stage.phase1.Assign(size);
        stage.pairs.Assign(2 * size);
        stage.upQuads.Assign(4 * size);
        stage.downQuads.Assign(4 * size);
        for (std::size_t j = 0; j < size; ++j) {
            const int m = k - 1 - static_cast<int>(j); // j runs from the oldest input to the newest
            // The interpolator's gain of 2 restores the level the zeros
            // between the input samples take away.
            const double c0 = 2.0 * Tap(filter, 2 * m);
            const double c1 = 2.0 * Tap(filter, 2 * m + 1);
            const double even = Tap(filter, 2 * m + 1);
            const double odd = Tap(filter, 2 * m);
            stage.phase0[j] = c0;
            stage.phase1[j] = c1;
            stage.pairs[2 * j] = even;
            stage.pairs[2 * j + 1] = odd;
            const double up[4] = {c0, c0, c1, c1};
            const double down[4] = {even, even, odd, odd};
            std::copy_n(up, 4, stage.upQuads.data() + 4 * j);
            std::copy_n(down, 4, stage.downQuads.data() + 4 * j);
        }
    };
    arrange(filters.first, first);
    const bool twoStages = factor == 4;
    if (twoStages) {
        arrange(filters.second, second);
    } else {
        second.taps = 0;
        for (AlignedBuffer* buffer :
             {&second.phase0, &second.phase1, &second.pairs, &second.upQuads, &second.downQuads})
            buffer->Assign(0);
    }

    const auto k1 = static_cast<std::size_t>(first.taps);
    const auto k2 = static_cast<std::size_t>(second.taps);
    constexpr auto chunk = static_cast<std::size_t>(kChunkFrames);
    // Every state value is a function of this many recent host samples.
    historyFrames = 2 * first.taps + second.taps + 4;
    int ring = 1;
    while (ring < historyFrames)
        ring <<= 1;
    recentMask = ring - 1;
    const auto size = [&](StageBuffers& buffers, std::size_t channelCount) {
        buffers.upFirst.Assign(channelCount * (k1 - 1 + chunk));
        buffers.upSecond.Assign(twoStages ? channelCount * (k2 - 1 + 2 * chunk) : 0);
        buffers.downSecond.Assign(twoStages ? channelCount * (2 * (k2 - 1) + 4 * chunk) : 0);
        buffers.downFirst.Assign(channelCount * (2 * (k1 - 1) + 2 * chunk));
    };
    for (ChannelState& state : channels) {
        size(state.stages, 1);
        state.recent.Assign(static_cast<std::size_t>(ring));
    }
    size(interleaved, kChannels);
    identityScratch.Assign(chunk);
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
    for (AlignedBuffer* buffer : {&state.stages.upFirst, &state.stages.upSecond,
                                  &state.stages.downSecond, &state.stages.downFirst, &state.recent})
        buffer->Clear();
    state.written = 0;
    state.skipped = 0;
}

void Oversampler::ClearHistory() noexcept {
    for (ChannelState& state : channels)
        ClearChannel(state);
    for (AlignedBuffer* buffer : interleaved.All())
        buffer->Clear();
    stereo = false;
}

std::array<int, 4> Oversampler::HistoryLengths() const noexcept {
    const int k1 = first.taps;
    const int k2 = factor == 4 ? second.taps : 1;
    return {k1 - 1, k2 - 1, 2 * (k2 - 1), 2 * (k1 - 1)};
}

void Oversampler::MoveHistories(bool toInterleaved) noexcept {
    const std::array<int, 4> lengths = HistoryLengths();
    const auto both = interleaved.All();
    const auto left = channels[0].stages.All();
    const auto right = channels[1].stages.All();
    for (std::size_t b = 0; b < 4; ++b) {
        AlignedBuffer& pairs = *both[b];
        AlignedBuffer& l = *left[b];
        AlignedBuffer& r = *right[b];
        for (int i = 0; i < lengths[b]; ++i) {
            const auto n = static_cast<std::size_t>(i);
            if (toInterleaved) {
                pairs[2 * n] = l[n];
                pairs[2 * n + 1] = r[n];
            } else {
                l[n] = pairs[2 * n];
                r[n] = pairs[2 * n + 1];
            }
        }
    }
    stereo = toInterleaved;
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
        for (AlignedBuffer* buffer : {&state.stages.upFirst, &state.stages.upSecond,
                                      &state.stages.downSecond, &state.stages.downFirst})
            buffer->Clear();
    }
    double chunk[kChunkFrames];
    for (int done = 0; done < replay;) {
        const int frames = std::min(kChunkFrames, replay - done);
        const std::int64_t start = state.written - replay + done;
        for (int i = 0; i < frames; ++i)
            chunk[i] = state.recent[static_cast<std::size_t>((start + i) & recentMask)];
        Up(state.stages, chunk, frames);
        Down(state.stages, identityScratch.data(), frames);
        done += frames;
    }
    state.skipped = 0;
}

double* Oversampler::Up(StageBuffers& b, const double* input, int frames) noexcept {
    const int k1 = first.taps;
    std::copy(input, input + frames, b.upFirst.data() + (k1 - 1));
    if (factor == 4) {
        const int k2 = second.taps;
        double* doubled = b.upSecond.data() + (k2 - 1);
        kernelSet->interpolate(first.phase0.data(), first.phase1.data(), k1, b.upFirst.data(),
                               doubled, frames);
        double* run = b.downSecond.data() + 2 * (k2 - 1);
        kernelSet->interpolate(second.phase0.data(), second.phase1.data(), k2, b.upSecond.data(),
                               run, 2 * frames);
        return run;
    }
    double* run = b.downFirst.data() + 2 * (k1 - 1);
    kernelSet->interpolate(first.phase0.data(), first.phase1.data(), k1, b.upFirst.data(), run,
                           frames);
    return run;
}

void Oversampler::Down(StageBuffers& b, double* output, int frames) noexcept {
    const int k1 = first.taps;
    if (factor == 4) {
        const int k2 = second.taps;
        kernelSet->decimate(second.pairs.data(), k2, b.downSecond.data(),
                            b.downFirst.data() + 2 * (k1 - 1), 2 * frames);
        // Keep the last taps − 1 inputs of each stage for the next chunk.
        std::copy_n(b.upSecond.data() + 2 * frames, k2 - 1, b.upSecond.data());
        std::copy_n(b.downSecond.data() + 4 * frames, 2 * (k2 - 1), b.downSecond.data());
    }
    kernelSet->decimate(first.pairs.data(), k1, b.downFirst.data(), output, frames);
    std::copy_n(b.upFirst.data() + frames, k1 - 1, b.upFirst.data());
    std::copy_n(b.downFirst.data() + 2 * frames, 2 * (k1 - 1), b.downFirst.data());
}

double* Oversampler::UpStereo(const double* left, const double* right, int frames) noexcept {
    StageBuffers& b = interleaved;
    const int k1 = first.taps;
    double* newest = b.upFirst.data() + 2 * (k1 - 1);
    for (int i = 0; i < frames; ++i) {
        newest[2 * i] = left[i];
        newest[2 * i + 1] = right[i];
    }
    if (factor == 4) {
        const int k2 = second.taps;
        double* doubled = b.upSecond.data() + 2 * (k2 - 1);
        kernelSet->interpolateStereo(first.upQuads.data(), k1, b.upFirst.data(), doubled, frames);
        double* run = b.downSecond.data() + 4 * (k2 - 1);
        kernelSet->interpolateStereo(second.upQuads.data(), k2, b.upSecond.data(), run, 2 * frames);
        return run;
    }
    double* run = b.downFirst.data() + 4 * (k1 - 1);
    kernelSet->interpolateStereo(first.upQuads.data(), k1, b.upFirst.data(), run, frames);
    return run;
}

void Oversampler::DownStereo(double* left, double* right, int frames) noexcept {
    StageBuffers& b = interleaved;
    const int k1 = first.taps;
    if (factor == 4) {
        const int k2 = second.taps;
        double* halved = b.downFirst.data() + 4 * (k1 - 1);
        kernelSet->decimateStereo(second.downQuads.data(), k2, b.downSecond.data(), halved,
                                  halved + 1, 2, 2 * frames);
        std::copy_n(b.upSecond.data() + 4 * frames, 2 * (k2 - 1), b.upSecond.data());
        std::copy_n(b.downSecond.data() + 8 * frames, 4 * (k2 - 1), b.downSecond.data());
    }
    kernelSet->decimateStereo(first.downQuads.data(), k1, b.downFirst.data(), left, right, 1,
                              frames);
    std::copy_n(b.upFirst.data() + 2 * frames, 2 * (k1 - 1), b.upFirst.data());
    std::copy_n(b.downFirst.data() + 4 * frames, 4 * (k1 - 1), b.downFirst.data());
}

bool Oversampler::ProcessWithChain(int channel, const double* input, double* output, int frames,
                                   OversampledChainRef chain) noexcept {
    if (!AcceptsBlock(channel, input, frames) || output == nullptr) {
        if (output != nullptr && frames > 0)
            std::fill_n(output, frames, 0.0);
        return false;
    }
    if (stereo)
        Deinterleave();
    ChannelState& state = channels[static_cast<std::size_t>(channel)];
    CatchUp(state);
    Record(state, input, frames);
    for (int done = 0; done < frames;) {
        const int n = std::min(kChunkFrames, frames - done);
        double* run = Up(state.stages, input + done, n);
        chain(run, factor * n);
        Down(state.stages, output + done, n);
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
    // The replay runs per channel (their fed stretches may differ).
    if (channels[0].skipped != 0 || channels[1].skipped != 0) {
        if (stereo)
            Deinterleave();
        CatchUp(channels[0]);
        CatchUp(channels[1]);
    }
    if (!stereo)
        Interleave();
    for (int ch = 0; ch < kChannels; ++ch)
        Record(channels[static_cast<std::size_t>(ch)], inputs[ch], frames);
    for (int done = 0; done < frames;) {
        const int n = std::min(kChunkFrames, frames - done);
        double* run = UpStereo(inputs[0] + done, inputs[1] + done, n);
        chain(run, factor * n);
        DownStereo(outputs[0] + done, outputs[1] + done, n);
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
