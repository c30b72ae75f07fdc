#pragma once

#include "equalizer/EqualizerChain.h"
#include "equalizer/Oversampler.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace equalizer {

// Which channels of a block take part. A channel is processed only when both
// its input and output are connected; the resamplers are kept fed from every
// connected input.
struct BlockChannels {
    int count = 0; // connected output channels
    bool inputConnected[maxChannels] = {false, false};
    bool outputConnected[maxChannels] = {false, false};
};

// Everything the equalizer does with audio: the parameter mapping onto the
// chain, the processing reset, and block processing on the plain path, the
// four-times oversampled path, and the 256-sample crossfade between them.
// Independent of any host: tests drive it with plain buffers.
//
// Threads: ApplyParameter and Render run on the audio thread while processing
// runs; Reset runs while processing is stopped. The owner hands parameter
// changes from other threads over before the block (LumaroEQ does). The only
// value crossing to the UI thread is the pending latency, claimed by
// ClaimLatencyChange with one atomic exchange.
class EqualizerProcessor {
public:
    // Sample count of the crossfade after a path switch.
    static constexpr int crossfadeLength = 256;
    static constexpr int oversamplingFactor = 4;
    static constexpr int realtimeQuality = 2; // 10 % band, 120 dB
    static constexpr int offlineQuality = 3;  // 5 % band, 150 dB
    static constexpr int minimumScratchFrames = 1024;

    EqualizerProcessor();
    ~EqualizerProcessor();

    // [construction] Initial switch state from the "Oversampling" parameter.
    void InitOversampling(bool on);

    // [audio, or while processing is stopped] Maps one parameter's real value
    // onto the chain or the oversampling request. Unknown indexes are ignored.
    void ApplyParameter(int index, double value);

    // [ui, processing stopped] Offline forcing or its undoing, the pending
    // switch, resampler histories cleared, buffers sized, sections re-rated
    // and reset. Allocates only when the quality changes or the block size
    // grows. Returns the latency to report now.
    int Reset(double sampleRate, int blockSize, bool renderingOffline);

    // [audio] wait-free, no allocation. Applies a pending switch (with
    // crossfade and deferred latency report; also for frames = 0, a flush),
    // then runs one of the paths. Non-finite input samples are taken as
    // silence.
    void Render(const double* const* inputs, double* const* outputs, int frames,
                const BlockChannels& channels);

    // [ui] Returns true and the latency once per switch made on the audio
    // thread that changed the latency.
    bool ClaimLatencyChange(int& latency);

    // [any] Read-only views for the owner and tests.
    bool OversamplingActive() const { return oversamplingActive; }
    bool OversamplingRequested() const { return oversamplingRequested; }
    bool OversamplingPending() const { return oversamplingPending; }
    bool CrossfadeActive() const { return crossfadeActive; }
    int CrossfadeRemaining() const { return crossfadeRemaining; }
    int OversamplerLatency() const { return oversamplerLatency; }
    int ReportedLatency() const { return reportedLatency.load(std::memory_order_relaxed); }
    const EqualizerChain& Chain() const { return chain; }
    const Oversampler* CurrentOversampler() const { return oversampler.get(); }
    int ScratchCapacity() const { return static_cast<int>(scratch[0].size()); }

private:
    bool Processes(const BlockChannels& c, int ch) const {
        return ch < c.count && ch < maxChannels && c.inputConnected[ch] && c.outputConnected[ch];
    }
    void UpdateSectionRates();
    void ApplyPendingSwitch();
    void KeepResamplersFed(const double* const* inputs, int frames, const BlockChannels& c);
    void ProcessPlain(const double* const* inputs, double* const* outputs, int frames,
                      const BlockChannels& c);
    void ProcessOversampled(const double* const* inputs, double* const* outputs, int frames,
                            const BlockChannels& c);
    void ProcessCrossfade(const double* const* inputs, double* const* outputs, int frames,
                          const BlockChannels& c);
    bool RunOversampled(int ch, const double* input, double* output, int frames);
    bool RunOversampledStereo(const double* const* copies, double* const* outputs, int frames);
    void SilenceNonFinite(const double* const* rawInputs, const double** inputs, int frames,
                          const BlockChannels& c);

    EqualizerChain chain;
    std::unique_ptr<Oversampler> oversampler;
    // Per channel: a copy of the input (so that in-place hosts do not feed
    // processed samples to the resamplers) and the oversampled path's output
    // during a crossfade.
    std::vector<double> scratch[maxChannels];
    std::vector<double> oversampledOut[maxChannels];
    // An input block with non-finite samples, with those samples silenced.
    std::vector<double> cleanInput[maxChannels];
    double sampleRate = 48000.0;
    bool oversamplingActive = false;
    bool oversamplingRequested = false;
    bool oversamplingPending = false;
    int oversamplerLatency = 0;
    // Written by the audio thread before latencyChanged is set; claimed by the
    // UI thread. reportedLatency is written by the claim and read by the
    // owner on any thread, hence atomic too.
    std::atomic<int> pendingLatency{0};
    std::atomic<bool> latencyChanged{false};
    std::atomic<int> reportedLatency{0};
    bool offlineForced = false;
    bool crossfadeActive = false;
    int crossfadeRemaining = 0;
};

} // namespace equalizer
