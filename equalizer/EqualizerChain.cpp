#include "equalizer/EqualizerChain.h"

#include <cmath>

namespace equalizer {

EqualizerChain::EqualizerChain() {
    for (int ch = 0; ch < maxChannels; ++ch) {
        BiquadSection& hp = sections[HighPassBand][ch];
        hp.SetType(HighPass);
        hp.SetQ(highPassQ);
        hp.SetFrequency(30.0);

        struct BandSetup {
            int band;
            int32_t type;
            double frequencyHz;
        };
        const BandSetup bands[] = {{LowShelfBand, LowShelf, 35.0},
                                   {Mid1Band, Peaking, 240.0},
                                   {Mid2Band, Peaking, 2500.0},
                                   {HighShelfBand, HighShelf, highShelfFrequencyHz}};
        for (const BandSetup& b : bands) {
            BiquadSection& s = sections[b.band][ch];
            s.SetType(b.type);
            s.SetQ(bandQ);
            s.SetFrequency(b.frequencyHz);
            s.SetGainDb(0.0);
        }
    }
}

void EqualizerChain::ProcessChannel(double* samples, int count, int channel) {
    BiquadSection& hp = sections[HighPassBand][channel];
    BiquadSection& lowShelf = sections[LowShelfBand][channel];
    BiquadSection& mid1 = sections[Mid1Band][channel];
    BiquadSection& mid2 = sections[Mid2Band][channel];
    BiquadSection& highShelf = sections[HighShelfBand][channel];

    for (int i = 0; i < count; ++i) {
        const double x = samples[i];
        const double s = std::sin(std::fmin(std::fmax(x, -1.0), 1.0));
        double y = x;

        if (highPassEnabled) {
            if (hp.NeedsUpdate()) {
                hp.Update();
            }
            y = hp.ProcessSample(y);
        }

        double g = lowShelf.GainDb();
        if (g != 0.0) {
            y = y + (g / lowShelfInjection) * s;
            if (lowShelf.NeedsUpdate()) {
                lowShelf.Update();
            }
            y = lowShelf.ProcessSample(y);
        }

        g = mid1.GainDb();
        if (g != 0.0) {
            y = y + std::fabs(g / midInjection) * s;
            if (mid1.NeedsUpdate()) {
                mid1.Update();
            }
            y = mid1.ProcessSample(y);
        }

        g = mid2.GainDb();
        if (g != 0.0) {
            y = y + std::fabs(g / midInjection) * s;
            if (mid2.NeedsUpdate()) {
                mid2.Update();
            }
            y = mid2.ProcessSample(y);
        }

        g = highShelf.GainDb();
        if (g != 0.0) {
            y = y + std::fabs(g / highShelfInjection) * s;
            if (highShelf.NeedsUpdate()) {
                highShelf.Update();
            }
            y = highShelf.ProcessSample(y);
        }

        samples[i] =
            (std::fabs(outputGainDb / outputInjection) + outputColour) * s + y * outputGain;
    }
}

void EqualizerChain::SetBandFrequency(int band, double hz) {
    for (int ch = 0; ch < maxChannels; ++ch) {
        sections[band][ch].SetFrequency(hz);
    }
}

void EqualizerChain::SetBandGainDb(int band, double db) {
    for (int ch = 0; ch < maxChannels; ++ch) {
        sections[band][ch].SetGainDb(db);
    }
}

void EqualizerChain::SetOutputGainDb(double db) {
    outputGainDb = db;
    outputGain = std::exp(db * outputGainFactor);
}

void EqualizerChain::SetSampleRateAndReset(double rate) {
    // Hosts are refused outside sane rates at set-up; this only keeps the
    // float-to-integer conversion defined for whatever arrives.
    const double limited = std::fmin(std::fmax(rate, 1.0), 2147483647.0);
    const auto integerRate = static_cast<int32_t>(rate == rate ? limited : 1.0);
    for (int ch = 0; ch < maxChannels; ++ch) {
        for (int band = 0; band < bandCount; ++band) {
            sections[band][ch].SetSampleRate(integerRate);
        }
        for (int band = 0; band < bandCount; ++band) {
            sections[band][ch].Reset();
        }
        // A reset completes the glide but leaves the coefficients of the last
        // design, which SetSampleRate made from the half-glided values. Until
        // some later setter call the sections would then run with gains and
        // frequencies far from their settings (a restored session would sound
        // almost flat). One update designs them for the targets; its
        // smoothing step moves nothing, since smoothed already equals target.
        for (int band = 0; band < bandCount; ++band) {
            sections[band][ch].Update();
        }
    }
}

} // namespace equalizer
