#pragma once

#include "equalizer/AlignedBuffer.h"
#include "equalizer/KernelSet.h"

#include <array>
#include <cstdint>
#include <memory>
#include <type_traits>

namespace equalizer {

// Non-owning reference to a callable `void(double* samples, int count)` that
// processes oversampled samples in place. It neither allocates nor copies the
// callable, so it may be built on the audio thread from a capturing lambda; the
// callable must outlive the call it is passed to.
class OversampledChainRef {
public:
    template <typename Callable>
    requires(!std::is_same_v<std::remove_cvref_t<Callable>, OversampledChainRef>)
        OversampledChainRef(Callable& callable)
    noexcept // NOLINT: implicit by design
        : object(const_cast<void*>(static_cast<const void*>(std::addressof(callable)))),
          invoke(&Invoke<Callable>) {}

    void operator()(double* samples, int count) const { invoke(object, samples, count); }

private:
    template <typename Callable> static void Invoke(void* object, double* samples, int count) {
        (*static_cast<Callable*>(object))(samples, count);
    }

    void* object;
    void (*invoke)(void*, double*, int);
};

// The same for `void(double* pairs, int count)`: both channels at once, as
// count interleaved (left, right) pairs.
class OversampledStereoChainRef {
public:
    template <typename Callable>
    requires(!std::is_same_v<std::remove_cvref_t<Callable>, OversampledStereoChainRef>)
        OversampledStereoChainRef(Callable& callable)
    noexcept // NOLINT: implicit by design
        : object(const_cast<void*>(static_cast<const void*>(std::addressof(callable)))),
          invoke(&Invoke<Callable>) {}

    void operator()(double* pairs, int count) const { invoke(object, pairs, count); }

private:
    template <typename Callable> static void Invoke(void* object, double* pairs, int count) {
        (*static_cast<Callable*>(object))(pairs, count);
    }

    void* object;
    void (*invoke)(void*, double*, int);
};

// Runs a processing chain at `factor` (2 or 4) times the host rate on up to
// two channels: a cascade of two-times polyphase FIR interpolators, the
// chain, and the matching decimators (OversamplerFilters.h), in 64-bit.
//
// Every stage is an FIR, computed sample-exactly whatever the block sizes:
// the output is the processed input with the filters' own delay, which for
// the minimum-phase rows is a few host samples (Latency(), the delay at
// 1 kHz, rounded), and it does not depend on how the stream is cut into
// blocks, bit for bit.
//
// Feed does not run the filters: an FIR's state depends only on its last
// inputs, so Feed only records the recent host-rate input, and the first
// Process after it brings the state up to date from that record (replaying
// at most HistoryFrames() samples through the stages with an identity
// chain). The output is then bit for bit the one the filters would give had
// they run through the fed blocks with an identity chain.
//
// Both channels at once (ProcessStereo) run through kernels that hold the
// two channels interleaved, with the histories in that layout; a call for
// one channel converts them back (a copy of a few hundred samples, made only
// when the kind of call changes). The bits are the same either way.
//
// Building (constructor, Rebuild with a new quality) allocates; Rebuild with
// the same quality only clears the history. Process, Feed and ClearHistory
// are wait-free and never allocate. The two channels are independent.
class Oversampler {
public:
    static constexpr int kChannels = 2;
    static constexpr int kMaxFactor = 4;
    // Largest block accepted, as a guard against absurd host settings.
    static constexpr int kMaxBlockLimit = 1 << 20;
    // Host frames run through the stages at a time.
    static constexpr int kChunkFrames = 256;

    // [ui, processing stopped]
    Oversampler(int factor, int quality, double sampleRate, int maxBlock);
    // [ui, processing stopped]
    ~Oversampler();

    Oversampler(const Oversampler&) = delete;
    Oversampler& operator=(const Oversampler&) = delete;

    // [any]
    int Factor() const noexcept { return factor; }
    // [any]
    int Quality() const noexcept { return quality; }
    // [any]
    double SampleRate() const noexcept { return sampleRate; }
    // [any]
    int MaxBlock() const noexcept { return maxBlock; }
    // Delay from input to output in host-rate samples at 1 kHz, rounded; 0
    // when not ready.
    // [any]
    int Latency() const noexcept { return latency; }
    // The same delay unrounded.
    // [any]
    double ExactLatency() const noexcept { return exactLatency; }
    // False when the settings are out of range (factor other than 2 or 4,
    // rate, block size); Process then outputs zeros.
    // [any]
    bool IsReady() const noexcept { return ready; }
    // [any]
    const kernels::KernelSet& Kernels() const noexcept { return *kernelSet; }
    // Host samples of input that Feed records; what a switch replays.
    // [any]
    int HistoryFrames() const noexcept { return historyFrames; }

    // The setters only store; call Rebuild() afterwards.
    // [ui, processing stopped]
    void SetQuality(int newQuality) noexcept { quality = newQuality; }
    // [ui, processing stopped]
    void SetSampleRate(double newSampleRate) noexcept { sampleRate = newSampleRate; }
    // [ui, processing stopped]
    void SetMaxBlock(int newMaxBlock) noexcept { maxBlock = newMaxBlock; }
    // Kernels for the FIR stages (Preferred() unless set). Same bits either way.
    // [ui, processing stopped]
    void UseKernels(const kernels::KernelSet& set) noexcept { kernelSet = &set; }

    // Applies the settings and clears the history. Allocates only when the
    // quality or factor changed since the last build.
    // [ui, processing stopped]
    void Rebuild();

    // Forgets all history, as after a rebuild. Wait-free, no allocation.
    // [audio] or [ui, processing stopped]
    void ClearHistory() noexcept;

    // Reads exactly `frames` samples of one channel from `input`, upsamples
    // them, applies `chain` in place to the oversampled samples (in runs of
    // at most kChunkFrames × factor), downsamples and writes exactly `frames`
    // samples to `output`. `input` and `output` may be the same buffer.
    // Returns false and writes zeros, without advancing the stream, when the
    // block is refused: channel outside 0..1, frames < 0 or > MaxBlock(), null
    // input, or not ready.
    // [audio] wait-free, no allocation
    template <typename Chain>
    bool Process(int channel, const double* input, double* output, int frames,
                 Chain&& chain) noexcept {
        return ProcessWithChain(channel, input, output, frames, OversampledChainRef(chain));
    }

    // Both channels in step, the chain seeing both runs at once as
    // interleaved (left, right) pairs (on a 16-byte boundary). The same result
    // as Process on each channel with the chain split per channel. Inputs and
    // outputs may alias only channel by channel (input[c] == output[c]).
    // [audio] wait-free, no allocation
    template <typename StereoChain>
    bool ProcessStereo(const double* const* inputs, double* const* outputs, int frames,
                       StereoChain&& chain) noexcept {
        return ProcessStereoWithChain(inputs, outputs, frames, OversampledStereoChainRef(chain));
    }

    // Advances one channel's stream by `frames` samples without a chain and
    // without output (see the class comment). Refuses blocks as Process does.
    // [audio] wait-free, no allocation
    bool Feed(int channel, const double* input, int frames) noexcept;

private:
    // One two-times stage's coefficients, reordered for the kernels.
    struct StageTaps {
        int taps = 0;         // per phase
        AlignedBuffer phase0; // interpolator, oldest input first
        AlignedBuffer phase1;
        AlignedBuffer pairs;     // decimator, (even, odd) per pair
        AlignedBuffer upQuads;   // the interpolator's for two channels: (c0, c0, c1, c1)
        AlignedBuffer downQuads; // the decimator's: (even, even, odd, odd)
    };

    // The stages' buffers of one channel, or of both interleaved. Each holds
    // its stage's history (taps − 1 inputs, or pairs of inputs) followed by
    // one chunk's new inputs; between chunks the history is at the front.
    struct StageBuffers {
        AlignedBuffer upFirst;    // host rate
        AlignedBuffer upSecond;   // 2× rate
        AlignedBuffer downSecond; // 4× rate, in pairs
        AlignedBuffer downFirst;  // 2× rate, in pairs
        // In the order of HistoryLengths.
        std::array<AlignedBuffer*, 4> All() noexcept {
            return {&upFirst, &upSecond, &downSecond, &downFirst};
        }
    };

    struct ChannelState {
        StageBuffers stages;
        AlignedBuffer recent;     // ring of host input for Feed
        std::int64_t written = 0; // host samples that went into `recent`
        std::int64_t skipped = 0; // host samples fed past the stages
    };

    bool ProcessWithChain(int channel, const double* input, double* output, int frames,
                          OversampledChainRef chain) noexcept;
    bool ProcessStereoWithChain(const double* const* inputs, double* const* outputs, int frames,
                                OversampledStereoChainRef chain) noexcept;
    bool AcceptsBlock(int channel, const double* input, int frames) const noexcept;
    bool ParametersValid() const noexcept;
    void Allocate();
    void ComputeLatency();

    void Record(ChannelState& state, const double* input, int frames) noexcept;
    void CatchUp(ChannelState& state) noexcept;
    // Upsamples `frames` ≤ kChunkFrames host samples into the oversampled
    // run, which it returns (factor × frames samples, where the chain works).
    double* Up(StageBuffers& buffers, const double* input, int frames) noexcept;
    // Downsamples that run into `frames` host samples and moves the histories.
    void Down(StageBuffers& buffers, double* output, int frames) noexcept;
    // The same for both channels in the interleaved buffers; the run holds
    // factor × frames pairs.
    double* UpStereo(const double* left, const double* right, int frames) noexcept;
    void DownStereo(double* left, double* right, int frames) noexcept;
    // Moves the histories between the per-channel and the interleaved layout.
    void Interleave() noexcept { MoveHistories(true); }
    void Deinterleave() noexcept { MoveHistories(false); }
    void MoveHistories(bool toInterleaved) noexcept;
    void ClearChannel(ChannelState& state) noexcept;
    // Per stage buffer: the samples of history one channel keeps.
    std::array<int, 4> HistoryLengths() const noexcept;

    int factor;
    int quality;
    double sampleRate;
    int maxBlock;
    int latency = 0;
    double exactLatency = 0.0;
    bool ready = false;
    int builtFactor = 0;
    int builtQuality = -1;
    int historyFrames = 0;
    int recentMask = 0;
    const kernels::KernelSet* kernelSet = &kernels::Preferred();
    StageTaps first;
    StageTaps second;
    std::array<ChannelState, kChannels> channels;
    StageBuffers interleaved;      // both channels' stages while `stereo`
    bool stereo = false;           // the histories live in `interleaved`
    AlignedBuffer identityScratch; // the replay's discarded output
};

} // namespace equalizer
