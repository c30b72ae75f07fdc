#include "tools/render/DefaultProgramme.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace render {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kBeatSeconds = 0.5; // 120 BPM
constexpr double kSweepStartHz = 20.0;
constexpr double kSweepEndHz = 20000.0;
constexpr double kSettleSeconds = 0.5;
constexpr double kWindowSeconds = 0.5;

// xorshift32: a fixed, portable noise source.
class Noise {
public:
    explicit Noise(uint32_t seed) : state(seed) {}
    double Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<double>(state) / 2147483648.0 - 1.0;
    }

private:
    uint32_t state;
};

// Paul Kellet's economy pink filter (-3 dB per octave within ±0.5 dB over
// the audio band).
class PinkFilter {
public:
    double Next(double white) {
        b0 = 0.99765 * b0 + white * 0.0990460;
        b1 = 0.96300 * b1 + white * 0.2965164;
        b2 = 0.57000 * b2 + white * 1.0526913;
        return (b0 + b1 + b2 + white * 0.1848) * 0.25;
    }

private:
    double b0 = 0.0, b1 = 0.0, b2 = 0.0;
};

} // namespace

std::vector<double> MakeProgramme(int32_t sampleRateHz, double seconds) {
    const double rate = static_cast<double>(sampleRateHz);
    const std::size_t frames = static_cast<std::size_t>(std::max(0.0, seconds) * rate);
    std::vector<double> samples(2 * frames, 0.0);
    Noise leftNoise(0x1234567u), rightNoise(0x7654321u), drumNoise(0x2468aceu);
    PinkFilter leftPink, rightPink;
    const double sweepEndHz = std::min(kSweepEndHz, 0.45 * rate);
    const double sweepRatio = std::log(sweepEndHz / kSweepStartHz);
    double sweepPhase = 0.0;
    double kickPhase = 0.0;
    int kickBeat = -1;
    double previousHatNoise = 0.0;

    for (std::size_t n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / rate;
        const int beat = static_cast<int>(t / kBeatSeconds);
        const double sinceBeat = t - beat * kBeatSeconds;
        const double sinceHalfBeat = std::fmod(t, kBeatSeconds / 2.0);

        double kick = 0.0;
        double snare = 0.0;
        if (beat % 2 == 0) {
            if (beat != kickBeat) {
                kickBeat = beat;
                kickPhase = 0.0;
            }
            const double kickHz = 50.0 + 70.0 * std::exp(-sinceBeat * 30.0);
            kickPhase += kTwoPi * kickHz / rate;
            kick = 0.25 * std::exp(-sinceBeat * 9.0) * std::sin(kickPhase);
        } else {
            snare = std::exp(-sinceBeat * 25.0) * 0.08 * drumNoise.Next() +
                    0.05 * std::exp(-sinceBeat * 20.0) * std::sin(kTwoPi * 190.0 * sinceBeat);
        }
        const double hatNoise = drumNoise.Next();
        const double hat = 0.03 * std::exp(-sinceHalfBeat * 60.0) * (hatNoise - previousHatNoise);
        previousHatNoise = hatNoise;

        const double sweepHz =
            kSweepStartHz * std::exp(sweepRatio * std::min(1.0, t / std::max(seconds, 1e-9)));
        sweepPhase = std::fmod(sweepPhase + kTwoPi * sweepHz / rate, kTwoPi);
        const double sweep = 0.04 * std::sin(sweepPhase);

        const double left = 0.05 * leftPink.Next(leftNoise.Next());
        const double right = 0.05 * rightPink.Next(rightNoise.Next());
        samples[2 * n] = kick + 0.6 * snare + 0.4 * hat + sweep + left;
        samples[2 * n + 1] = kick + 0.4 * snare + 0.6 * hat + sweep + right;
    }
    return samples;
}

const std::vector<std::string>& DefaultColourSettings() {
    static const std::vector<std::string> settings = {
        "HPF=30 Hz",        "LoShelf Freq=60 Hz", "LoShelf Level=4",
        "MF 1 Freq=400 Hz", "MF Level 1=-3",      "MF 2 Freq=3150 Hz",
        "MF Level 2=2.5",   "HiShelf Level=5",    "Gain=-1.5",
    };
    return settings;
}

double MeasureGainDb(EffectSession& session, double frequencyHz) {
    session.Restart();
    const SessionFormat& format = session.Format();
    const double rate = format.sampleRate;
    const int64_t latency = session.LatencySamples();
    const int64_t settle = static_cast<int64_t>(kSettleSeconds * rate);
    // Whole periods, so that the correlation below has no leakage term.
    const double periods = std::max(1.0, std::floor(kWindowSeconds * frequencyHz));
    const int64_t window = static_cast<int64_t>(std::llround(periods * rate / frequencyHz));
    const int64_t total = latency + settle + window;

    const std::size_t block = static_cast<std::size_t>(format.maxBlockFrames);
    const std::size_t channels = static_cast<std::size_t>(format.channels);
    std::vector<double> storage(2 * channels * block, 0.0);
    std::vector<double*> inputs(channels), outputs(channels);
    for (std::size_t c = 0; c < channels; ++c) {
        inputs[c] = storage.data() + c * block;
        outputs[c] = storage.data() + (channels + c) * block;
    }

    const double step = kTwoPi * frequencyHz / rate;
    double sinSum = 0.0;
    double cosSum = 0.0;
    for (int64_t start = 0; start < total; start += static_cast<int64_t>(block)) {
        const int64_t frames = std::min<int64_t>(static_cast<int64_t>(block), total - start);
        for (int64_t i = 0; i < frames; ++i) {
            const double x = kProbeAmplitude * std::sin(step * static_cast<double>(start + i));
            for (std::size_t c = 0; c < channels; ++c)
                inputs[c][i] = x;
        }
        if (!session.Process(inputs.data(), outputs.data(), static_cast<int32_t>(frames)))
            return std::nan("");
        for (int64_t i = 0; i < frames; ++i) {
            const int64_t n = start + i;
            if (n < latency + settle)
                continue;
            // The input phase this output sample answers.
            const double phase = step * static_cast<double>(n - latency);
            sinSum += outputs[0][i] * std::sin(phase);
            cosSum += outputs[0][i] * std::cos(phase);
        }
    }
    session.Restart();
    const double amplitude = 2.0 * std::hypot(sinSum, cosSum) / static_cast<double>(window);
    return 20.0 * std::log10(amplitude / kProbeAmplitude);
}

} // namespace render
