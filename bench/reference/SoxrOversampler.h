#pragma once

#include "reference/SampleFifo.h"

#include <array>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "equalizer/Oversampler.h"

struct soxr;

namespace reference {

using equalizer::OversampledChainRef;

// The oversampler the plug-in had before its own, over libsoxr, kept as the
// yardstick of the benchmarks: runs a processing chain at `factor` times the
// host rate on up to two channels.
//
// soxr works on whole DFT blocks, so it hands out oversampled and downsampled
// samples in bursts that do not line up with host blocks. Each channel
// therefore ends in a FIFO that is pre-filled at build time with just enough
// zeros that it never runs dry for any block size up to MaxBlock(). The output
// is the processed input delayed by exactly Latency() host samples, continuous
// across blocks of any size; the only zeros are those at the start of the
// stream.
//
// Building (constructor, Rebuild) allocates and calibrates and takes a few tens
// of milliseconds; Process and Feed are wait-free, do not allocate and never
// free. The two channels are independent: a channel that is never processed
// costs nothing and does not disturb the other's delay.
class SoxrOversampler {
public:
    static constexpr int kChannels = 2;
    // Largest factor and block accepted; beyond these the buffers would be
    // unreasonably large and the oversampler reports itself not ready.
    static constexpr int kMaxFactor = 16;
    static constexpr int kMaxBlockLimit = 1 << 20;

    // [ui, processing stopped]
    SoxrOversampler(int factor, int quality, double sampleRate, int maxBlock);
    // [ui, processing stopped]
    ~SoxrOversampler();

    SoxrOversampler(const SoxrOversampler&) = delete;
    SoxrOversampler& operator=(const SoxrOversampler&) = delete;

    // [any]
    int Factor() const noexcept { return factor; }
    // [any]
    int Quality() const noexcept { return quality; }
    // [any]
    double SampleRate() const noexcept { return sampleRate; }
    // [any]
    int MaxBlock() const noexcept { return maxBlock; }
    // Delay from input to output in host-rate samples; 0 when not ready.
    // [any]
    int Latency() const noexcept { return latency; }
    // False when the last build was refused (rate, factor or block size out of
    // range, or soxr could not build the filters); Process then outputs zeros.
    // [any]
    bool IsReady() const noexcept { return ready; }

    // The setters only store; call Rebuild() afterwards.
    // [ui, processing stopped]
    void SetQuality(int newQuality) noexcept { quality = newQuality; }
    // [ui, processing stopped]
    void SetSampleRate(double newSampleRate) noexcept { sampleRate = newSampleRate; }
    // [ui, processing stopped]
    void SetMaxBlock(int newMaxBlock) noexcept { maxBlock = newMaxBlock; }

    // Replaces the resamplers, with empty history, and recalibrates the FIFOs
    // and the latency for the current factor, quality, rate and block size.
    // [ui, processing stopped]
    void Rebuild();

    // Reads exactly `frames` samples of one channel from `input`, upsamples
    // them, applies `chain` in place to each run of oversampled samples that
    // comes out (runs are not aligned with the block and may be empty or
    // several), downsamples and writes exactly `frames` samples to `output`.
    // `input` and `output` may be the same buffer. Returns false and writes
    // zeros, without advancing the stream, when the block is refused: channel
    // outside 0..1, frames < 0 or > MaxBlock(), null input, or not ready.
    // [audio] wait-free, no allocation
    template <typename Chain>
    bool Process(int channel, const double* input, double* output, int frames,
                 Chain&& chain) noexcept {
        return ProcessWithChain(channel, input, output, frames, OversampledChainRef(chain));
    }

    // Advances one channel's stream by `frames` samples without a chain and
    // discards the output, so that a later switch to Process starts from recent
    // signal and with the same latency. Refuses blocks as Process does.
    // [audio] wait-free, no allocation
    bool Feed(int channel, const double* input, int frames) noexcept;

    // Times a channel's FIFO ran dry or overflowed since the last build. Never
    // non-zero unless the calibration is wrong; kept for diagnosis and tests.
    // [audio] or [ui, processing stopped]
    std::uint64_t DropoutCount(int channel) const noexcept;

private:
    struct SoxrDeleter {
        void operator()(soxr* resampler) const noexcept;
    };
    using SoxrHandle = std::unique_ptr<soxr, SoxrDeleter>;

    struct ChannelState {
        SoxrHandle upsampler;
        SoxrHandle downsampler;
        std::vector<double> upBuffer;   // one run of oversampled samples
        std::vector<double> downBuffer; // one run of host-rate samples
        SampleFifo fifo;
        std::int64_t samplesIn = 0;  // host samples fed since the build
        std::int64_t samplesOut = 0; // host samples the downsampler delivered
        std::uint64_t dropouts = 0;
    };

    struct Calibration {
        std::int64_t maxBacklog = 0;
        std::int64_t minBacklog = 0;
    };

    bool ProcessWithChain(int channel, const double* input, double* output, int frames,
                          OversampledChainRef chain) noexcept;
    bool AcceptsBlock(int channel, const double* input, int frames) const noexcept;
    // Pushes one host block through both resamplers into the FIFO (or, while
    // calibrating, only counts the output).
    void Stream(ChannelState& state, const double* input, int frames,
                const OversampledChainRef* chain, bool intoFifo) noexcept;
    void Downsample(ChannelState& state, const double* oversampled, std::size_t count,
                    bool intoFifo) noexcept;

    bool ParametersValid() const noexcept;
    bool BuildChannel(ChannelState& state);
    void Prime(ChannelState& state, const std::vector<double>& zeros);
    void Gulp(ChannelState& state);
    void ScanBacklog(ChannelState& state, Calibration& calibration);
    double MeasureGroupDelay() const;

    int factor;
    int quality;
    double sampleRate;
    int maxBlock;
    int latency = 0;
    bool ready = false;
    std::array<ChannelState, kChannels> channels;
};

} // namespace reference
