#include "equalizer/EqualizerProcessor.h"

#include "equalizer/Parameters.h"
#include "equalizer/SampleChecks.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace equalizer {

namespace {

// List index of a real value: truncation towards zero.
template <size_t N> double ListValue(const double (&list)[N], double value, double fallback) {
    if (!(value > -1.0 && value < static_cast<double>(N))) { // also catches NaN
        return fallback;
    }
    const auto index = static_cast<int>(value);
    return index >= 0 && static_cast<size_t>(index) < N ? list[index] : fallback;
}

constexpr double crossfadeStep = 0.00390625; // 1/256

void CopySamples(const double* from, double* to, int frames) {
    if (from != to) {
        std::memmove(to, from, sizeof(double) * static_cast<size_t>(frames));
    }
}

// Whether [a, a + frames) and [b, b + frames) share a sample.
bool Overlap(const double* a, const double* b, int frames) {
    const auto begin = [](const double* p) { return reinterpret_cast<std::uintptr_t>(p); };
    const auto bytes = sizeof(double) * static_cast<std::size_t>(frames);
    return begin(a) < begin(b) + bytes && begin(b) < begin(a) + bytes;
}

} // namespace

EqualizerProcessor::EqualizerProcessor() {
    UpdateSectionRates();
}

EqualizerProcessor::~EqualizerProcessor() = default;

void EqualizerProcessor::InitOversampling(bool on) {
    oversamplingActive = on;
    oversamplingRequested = on;
    oversamplingPending = false;
    UpdateSectionRates();
}

void EqualizerProcessor::ApplyParameter(int index, double value) {
    switch (index) {
    case HPF: {
        // The list index is the value truncated towards zero: 0.9 is still "Off".
        const bool on = value == value && std::trunc(value) != 0.0;
        chain.SetHighPassEnabled(on);
        chain.SetBandFrequency(HighPassBand,
                               ListValue(highPassFrequenciesHz, value, highPassFallbackHz));
        break;
    }
    case LoShelfFreq:
        chain.SetBandFrequency(LowShelfBand,
                               ListValue(lowShelfFrequenciesHz, value, lowShelfFallbackHz));
        break;
    case LoShelfLevel:
        chain.SetBandGainDb(LowShelfBand, value);
        break;
    case MF1Freq:
        chain.SetBandFrequency(Mid1Band, ListValue(mid1FrequenciesHz, value, mid1FallbackHz));
        break;
    case MFLevel1:
        chain.SetBandGainDb(Mid1Band, value);
        break;
    case MF2Freq:
        chain.SetBandFrequency(Mid2Band, ListValue(mid2FrequenciesHz, value, mid2FallbackHz));
        break;
    case MFLevel2:
        chain.SetBandGainDb(Mid2Band, value);
        break;
    case HiShelfLevel:
        chain.SetBandGainDb(HighShelfBand, value);
        break;
    case Gain:
        chain.SetOutputGainDb(value);
        break;
    case Oversampling:
        oversamplingRequested = value >= 0.5;
        // While offline rendering forces oversampling, the switch only
        // chooses what is restored when it ends: a host that resends the
        // current values during an export must not turn the forcing off.
        oversamplingPending = !offlineForced && oversamplingRequested != oversamplingActive;
        break;
    default:
        break;
    }
}

void EqualizerProcessor::UpdateSectionRates() {
    chain.SetSampleRateAndReset(oversamplingActive ? sampleRate * 4.0 : sampleRate);
}

int EqualizerProcessor::Reset(double newSampleRate, int blockSize, bool renderingOffline) {
    sampleRate = newSampleRate;
    crossfadeActive = false;
    crossfadeRemaining = 0;

    // The switch's own setting (oversamplingRequested) is what offline
    // rendering restores when it ends: the value it had before, or the last
    // change made while the forcing held.
    if (renderingOffline && !offlineForced) {
        oversamplingActive = true;
        offlineForced = true;
        oversamplingPending = false;
    } else if (!renderingOffline && offlineForced) {
        offlineForced = false;
        oversamplingActive = oversamplingRequested;
        oversamplingPending = false;
    }
    if (oversamplingPending) {
        oversamplingActive = oversamplingRequested;
        oversamplingPending = false;
    }

    const int maxBlock = std::max(blockSize, minimumScratchFrames);
    const int quality = renderingOffline ? offlineQuality : realtimeQuality;
    // Every reset starts the resamplers with empty history; only a new
    // quality or a larger block allocates (a stop and restart of processing
    // with the same settings does not).
    if (!oversampler) {
        oversampler =
            std::make_unique<Oversampler>(oversamplingFactor, quality, sampleRate, maxBlock);
    } else {
        oversampler->SetQuality(quality);
        oversampler->SetSampleRate(sampleRate);
        oversampler->SetMaxBlock(maxBlock);
        oversampler->Rebuild();
    }
    for (int ch = 0; ch < maxChannels; ++ch) {
        for (std::vector<double>* buffer : {&scratch[ch], &oversampledOut[ch], &cleanInput[ch]}) {
            buffer->assign(static_cast<size_t>(maxBlock), 0.0);
        }
    }
    oversamplerLatency = oversampler->Latency();
    UpdateSectionRates();

    const int latency = oversamplingActive ? oversamplerLatency : 0;
    reportedLatency.store(latency, std::memory_order_relaxed);
    latencyChanged.store(false, std::memory_order_relaxed);
    return latency;
}

void EqualizerProcessor::ApplyPendingSwitch() {
    if (!oversamplingPending) {
        return;
    }
    oversamplingPending = false;
    if (oversamplingRequested == oversamplingActive) {
        return;
    }
    oversamplingActive = oversamplingRequested;
    UpdateSectionRates();
    // Published even when it equals the latency last reported: a switch the
    // other way may still wait to be claimed, and its latency must not be the
    // one claimed. The claim skips a latency that was already reported.
    pendingLatency.store(oversamplingActive ? oversamplerLatency : 0, std::memory_order_relaxed);
    latencyChanged.store(true, std::memory_order_release);
    crossfadeActive = true;
    crossfadeRemaining = crossfadeLength;
}

bool EqualizerProcessor::ClaimLatencyChange(int& latency) {
    if (!latencyChanged.exchange(false, std::memory_order_acq_rel)) {
        return false;
    }
    const int pending = pendingLatency.load(std::memory_order_relaxed);
    if (pending == reportedLatency.load(std::memory_order_relaxed)) {
        return false;
    }
    reportedLatency.store(pending, std::memory_order_relaxed);
    latency = pending;
    return true;
}

void EqualizerProcessor::Render(const double* const* rawInputs, double* const* outputs, int frames,
                                const BlockChannels& channels) {
    // A flush without frames still carries the switch (its latency is then
    // reported at the next idle tick).
    ApplyPendingSwitch();
    if (frames <= 0) {
        return;
    }
    const double* inputs[maxChannels];
    SilenceNonFinite(rawInputs, inputs, frames, channels);
    if (!oversamplingActive && !crossfadeActive) {
        KeepResamplersFed(inputs, frames, channels);
    }
    if (crossfadeActive) {
        ProcessCrossfade(inputs, outputs, frames, channels);
    } else if (oversamplingActive && oversampler) {
        ProcessOversampled(inputs, outputs, frames, channels);
    } else {
        ProcessPlain(inputs, outputs, frames, channels);
    }
}

void EqualizerProcessor::SilenceNonFinite(const double* const* rawInputs, const double** inputs,
                                          int frames, const BlockChannels& c) {
    // A non-finite sample would stay in the sections' recursions (and in the
    // resamplers' histories) and silence the channel for good; treated as
    // silence here, it costs the block it came in and nothing after.
    for (int ch = 0; ch < maxChannels; ++ch) {
        inputs[ch] = rawInputs[ch];
        if (ch >= c.count || !c.inputConnected[ch] || AllFinite(rawInputs[ch], frames) ||
            frames > static_cast<int>(cleanInput[ch].size())) {
            continue;
        }
        double* clean = cleanInput[ch].data();
        for (int i = 0; i < frames; ++i) {
            const double x = rawInputs[ch][i];
            clean[i] = x - x == 0.0 ? x : 0.0;
        }
        inputs[ch] = clean;
    }
}

void EqualizerProcessor::KeepResamplersFed(const double* const* inputs, int frames,
                                           const BlockChannels& c) {
    if (!oversampler || frames > ScratchCapacity()) {
        return;
    }
    for (int ch = 0; ch < c.count && ch < maxChannels; ++ch) {
        if (c.inputConnected[ch]) {
            oversampler->Feed(ch, inputs[ch], frames);
        }
    }
}

void EqualizerProcessor::ProcessPlain(const double* const* inputs, double* const* outputs,
                                      int frames, const BlockChannels& c) {
    // Both channels at once in vector lanes, unless a host hands out buffers
    // that overlap in a way that makes the order of the copies and the
    // channels matter; then channel by channel as below.
    if (Processes(c, 0) && Processes(c, 1) && !Overlap(outputs[0], outputs[1], frames) &&
        !Overlap(inputs[1], outputs[0], frames)) {
        CopySamples(inputs[0], outputs[0], frames);
        CopySamples(inputs[1], outputs[1], frames);
        chain.ProcessStereo(outputs[0], outputs[1], frames);
        return;
    }
    for (int ch = 0; ch < maxChannels; ++ch) {
        if (!Processes(c, ch)) {
            continue;
        }
        CopySamples(inputs[ch], outputs[ch], frames);
        chain.ProcessChannel(outputs[ch], frames, ch);
    }
}

bool EqualizerProcessor::RunOversampled(int ch, const double* input, double* output, int frames) {
    auto runChain = [this, ch](double* samples, int count) {
        chain.ProcessChannel(samples, count, ch);
    };
    return oversampler->Process(ch, input, output, frames, runChain);
}

bool EqualizerProcessor::RunOversampledStereo(const double* const* copies, double* const* outputs,
                                              int frames) {
    auto runChain = [this](double* pairs, int count) { chain.ProcessInterleaved(pairs, count); };
    return oversampler->ProcessStereo(copies, outputs, frames, runChain);
}

void EqualizerProcessor::ProcessOversampled(const double* const* inputs, double* const* outputs,
                                            int frames, const BlockChannels& c) {
    if (Processes(c, 0) && Processes(c, 1) && frames <= ScratchCapacity() &&
        !Overlap(outputs[0], outputs[1], frames)) {
        // Both channels through the chain's two vector lanes. The inputs are
        // copied first, so an output may be any host buffer.
        CopySamples(inputs[0], scratch[0].data(), frames);
        CopySamples(inputs[1], scratch[1].data(), frames);
        const double* copies[] = {scratch[0].data(), scratch[1].data()};
        if (!RunOversampledStereo(copies, outputs, frames)) {
            std::fill(outputs[0], outputs[0] + frames, 0.0);
            std::fill(outputs[1], outputs[1] + frames, 0.0);
        }
        return;
    }
    for (int ch = 0; ch < maxChannels; ++ch) {
        if (!Processes(c, ch)) {
            continue;
        }
        if (frames > ScratchCapacity()) {
            std::fill(outputs[ch], outputs[ch] + frames, 0.0);
            continue;
        }
        double* copy = scratch[ch].data();
        CopySamples(inputs[ch], copy, frames);
        if (!RunOversampled(ch, copy, outputs[ch], frames)) {
            std::fill(outputs[ch], outputs[ch] + frames, 0.0);
        }
    }
}

void EqualizerProcessor::ProcessCrossfade(const double* const* inputs, double* const* outputs,
                                          int frames, const BlockChannels& c) {
    const bool canOversample = oversampler != nullptr && frames <= ScratchCapacity();
    // The input is copied before the plain path runs: a host processing in
    // place would otherwise hand the already equalized signal to the
    // oversampled path (and to the resamplers' history).
    if (canOversample) {
        for (int ch = 0; ch < maxChannels; ++ch) {
            if (Processes(c, ch)) {
                CopySamples(inputs[ch], scratch[ch].data(), frames);
            }
        }
    }
    ProcessPlain(inputs, outputs, frames, c);

    if (canOversample) {
        const int remainingAtStart = crossfadeRemaining;
        // Both channels through the stereo path when both take part, as the
        // oversampled path that follows runs them (same bits either way).
        bool ran[maxChannels] = {false, false};
        if (Processes(c, 0) && Processes(c, 1)) {
            const double* copies[] = {scratch[0].data(), scratch[1].data()};
            double* results[] = {oversampledOut[0].data(), oversampledOut[1].data()};
            ran[0] = ran[1] = RunOversampledStereo(copies, results, frames);
        } else {
            for (int ch = 0; ch < maxChannels; ++ch) {
                ran[ch] = Processes(c, ch) &&
                          RunOversampled(ch, scratch[ch].data(), oversampledOut[ch].data(), frames);
            }
        }
        for (int ch = 0; ch < maxChannels; ++ch) {
            if (!ran[ch]) {
                continue; // keep the plain result
            }
            const double* o = oversampledOut[ch].data();
            double* out = outputs[ch];
            for (int j = 0; j < frames; ++j) {
                const double p = out[j];
                if (j < remainingAtStart) {
                    const double t = static_cast<double>(j + crossfadeLength - remainingAtStart);
                    const double a = t * crossfadeStep;
                    out[j] =
                        oversamplingActive ? a * o[j] + (1.0 - a) * p : (1.0 - a) * o[j] + a * p;
                } else if (oversamplingRequested) {
                    out[j] = o[j];
                }
            }
        }
    }

    crossfadeRemaining -= frames;
    if (crossfadeRemaining <= 0) {
        crossfadeActive = false;
        crossfadeRemaining = 0;
    }
}

} // namespace equalizer
