#pragma once

#include "equalizer/BiquadSection.h"
#include "equalizer/ChainKernels.h"

#include <cstddef>
#include <cstdint>

namespace equalizer {

// Band indexes in processing order.
enum Band : int {
    HighPassBand = 0,
    LowShelfBand = 1,
    Mid1Band = 2,
    Mid2Band = 3,
    HighShelfBand = 4
};
inline constexpr int bandCount = 5;
inline constexpr int maxChannels = 2;

// The sound of the equalizer: one channel's per-sample path through the five
// bands, with the level-dependent colour.
//
// Before filtering, each shelf and mid band with a non-zero gain adds a
// sine-shaped copy of the channel's raw input, s = sin(clamp(x, −1, 1)), in
// proportion to its gain: the low shelf signed (g/60), the mids |g/80|, the
// high shelf |g/60|. The output stage adds (|outputGainDb/60| + 0.01)·s to
// y·outputGain, so a flat chain still adds 1 % of s. A NaN input clamps to −1
// (fmax/fmin rule).
//
// A band whose gain in effect is exactly 0 neither filters, injects nor
// advances its glide; a band glided back towards 0 stops within 0.000001 dB
// of it and keeps running as a near-identity until the next reset.
//
// How it runs: blocks are cut into chunks; for each chunk the sine term of
// every frame is computed first, vectorised (VectorSine.h), and the running
// sections then carry only their recursions (SectionPipeline.h). While every
// running section is settled (no NeedsUpdate()), the sections are
// software-pipelined and NeedsUpdate() is not asked per sample, since nothing
// can change it until the next setter call; while some glide, the frames go
// sample by sample with the update checks in the order above. ProcessStereo
// runs both channels in the two lanes of a vector. Every path gives the
// results of the per-sample description above bit for bit, given the sine.
//
// Threads: plain memory, no synchronisation. The owner lets one thread at a
// time touch it; in the plug-in that is the audio thread while processing
// runs (parameter changes from other threads are handed over first).
class EqualizerChain {
public:
    // Type and Q of every section, channel 0 then channel 1, band by band;
    // frequencies are placeholders until the parameters are applied, gains 0.
    EqualizerChain();

    // [audio] Processes count samples in place with the sections of channel
    // (0 or 1). Wait-free, does not allocate.
    void ProcessChannel(double* samples, int count, int channel);

    // [audio] The same as ProcessChannel(left, count, 0) followed by
    // ProcessChannel(right, count, 1), for two buffers that do not overlap,
    // with the channels side by side in vector lanes. Wait-free, does not
    // allocate.
    void ProcessStereo(double* left, double* right, int count);

    // [audio] The same for count interleaved (left, right) pairs, in place.
    // Wait-free, does not allocate.
    void ProcessInterleaved(double* pairs, int count);

    // Parameter mapping helpers: retarget both channels, channel 0 first.
    // Each setter performs one glide step at once.
    void SetBandFrequency(int band, double hz);
    void SetBandGainDb(int band, double db);
    void SetHighPassEnabled(bool enabled) { highPassEnabled = enabled; }
    // Unsmoothed: applies from the next sample.
    void SetOutputGainDb(double db);

    // Kernels of the stereo paths' settled runs (PreferredChain() unless set).
    // Same bits either way.
    // [ui, processing stopped]
    void UseKernels(const kernels::ChainKernels& set) { chainKernels = &set; }
    // [any]
    const kernels::ChainKernels& Kernels() const { return *chainKernels; }

    // [set-up or audio between blocks] Runs every section at rate (truncated
    // to an integer) and resets it: history cleared, glides completed, and
    // coefficients designed for the targets.
    void SetSampleRateAndReset(double rate);

    double outputGain = 1.0;                        // exp(outputGainDb × outputGainFactor)
    double outputGainDb = 0.0;                      // the "Gain" parameter, unsmoothed
    BiquadSection sections[bandCount][maxChannels]; // band-major
    bool highPassEnabled = false;

    // ln(10)/20 to thirteen significant digits: 0 dB is exactly 1.0.
    static constexpr double outputGainFactor = 0.1151292546497;
    static constexpr double highPassQ = 0.7071067811865476;
    static constexpr double bandQ = 0.7;
    static constexpr double highShelfFrequencyHz = 12000.0;
    // Divisors of the sine injection per band and for the output stage.
    static constexpr double lowShelfInjection = 60.0;
    static constexpr double midInjection = 80.0;
    static constexpr double highShelfInjection = 60.0;
    static constexpr double outputInjection = 60.0;
    static constexpr double outputColour = 0.01;

    // Frames per chunk: the sine and the work buffer live on the stack.
    static constexpr int chunkFrames = 256;

private:
    template <class T> class Runner;
    // Frame f of a stereo block: left[f·stride] and right[f·stride].
    struct StridedFrames {
        double* left;
        double* right;
        std::ptrdiff_t stride;
    };
    void ProcessFrames(StridedFrames frames, int count);
    void FinishChannelByChannel(StridedFrames frames, int from, int count);

    const kernels::ChainKernels* chainKernels = &kernels::PreferredChain();
};

} // namespace equalizer
