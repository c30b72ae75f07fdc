// Runs a built-in test signal through one channel of the equalizer chain at
// the default (flat) settings and at a coloured setting, and prints peak and
// RMS levels and the small-signal gain at a few frequencies.

#include "equalizer/EqualizerChain.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr double sampleRate = 48000.0;

struct Setting {
    const char* name;
    bool highPass;
    double highPassHz;
    double lowShelfHz, lowShelfDb;
    double mid1Hz, mid1Db;
    double mid2Hz, mid2Db;
    double highShelfDb;
    double outputDb;
};

equalizer::EqualizerChain MakeChain(const Setting& s) {
    equalizer::EqualizerChain chain;
    chain.SetHighPassEnabled(s.highPass);
    chain.SetBandFrequency(equalizer::HighPassBand, s.highPass ? s.highPassHz : 1.0);
    chain.SetBandFrequency(equalizer::LowShelfBand, s.lowShelfHz);
    chain.SetBandGainDb(equalizer::LowShelfBand, s.lowShelfDb);
    chain.SetBandFrequency(equalizer::Mid1Band, s.mid1Hz);
    chain.SetBandGainDb(equalizer::Mid1Band, s.mid1Db);
    chain.SetBandFrequency(equalizer::Mid2Band, s.mid2Hz);
    chain.SetBandGainDb(equalizer::Mid2Band, s.mid2Db);
    chain.SetBandGainDb(equalizer::HighShelfBand, s.highShelfDb);
    chain.SetOutputGainDb(s.outputDb);
    chain.SetSampleRateAndReset(sampleRate);
    return chain;
}

// Two seconds of programme-like material: a decaying 60 Hz kick every half
// second over a logarithmic sweep and a little noise.
std::vector<double> TestSignal() {
    const size_t n = static_cast<size_t>(2.0 * sampleRate);
    std::vector<double> x(n);
    unsigned noise = 12345;
    double phase = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const double kickT = std::fmod(t, 0.5);
        const double kick = 0.6 * std::exp(-kickT * 18.0) * std::sin(2.0 * M_PI * 60.0 * kickT);
        const double sweepHz = 40.0 * std::pow(400.0, t / 2.0);
        phase += 2.0 * M_PI * sweepHz / sampleRate;
        noise = noise * 1664525u + 1013904223u;
        const double white = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.05;
        x[i] = kick + 0.2 * std::sin(phase) + white;
    }
    return x;
}

double GainDbAt(const Setting& s, double hz) {
    equalizer::EqualizerChain chain = MakeChain(s);
    const size_t n = static_cast<size_t>(sampleRate);
    const double amplitude = 1e-4; // small signal: the sine colour is linear there
    std::vector<double> y(n);
    for (size_t i = 0; i < n; ++i)
        y[i] = amplitude * std::sin(2.0 * M_PI * hz * static_cast<double>(i) / sampleRate);
    chain.ProcessChannel(y.data(), static_cast<int>(n), 0);
    double c = 0.0, sn = 0.0;
    const size_t start = n / 2;
    for (size_t i = start; i < n; ++i) {
        const double ph = 2.0 * M_PI * hz * static_cast<double>(i) / sampleRate;
        sn += y[i] * std::sin(ph);
        c += y[i] * std::cos(ph);
    }
    const double measured = 2.0 * std::sqrt(sn * sn + c * c) / static_cast<double>(n - start);
    return 20.0 * std::log10(measured / amplitude);
}

void Report(const Setting& s, const std::vector<double>& input) {
    equalizer::EqualizerChain chain = MakeChain(s);
    std::vector<double> y = input;
    chain.ProcessChannel(y.data(), static_cast<int>(y.size()), 0);
    auto peakRms = [](const std::vector<double>& v, double& peak, double& rms) {
        peak = 0.0;
        double sum = 0.0;
        for (double x : v) {
            peak = std::fmax(peak, std::fabs(x));
            sum += x * x;
        }
        rms = std::sqrt(sum / static_cast<double>(v.size()));
    };
    double inPeak, inRms, outPeak, outRms;
    peakRms(input, inPeak, inRms);
    peakRms(y, outPeak, outRms);
    std::printf("%s\n", s.name);
    std::printf("  peak  in %7.2f dBFS   out %7.2f dBFS\n", 20 * std::log10(inPeak),
                20 * std::log10(outPeak));
    std::printf("  RMS   in %7.2f dBFS   out %7.2f dBFS\n", 20 * std::log10(inRms),
                20 * std::log10(outRms));
    std::printf("  gain ");
    for (double hz : {50.0, 100.0, 1000.0, 5000.0, 12000.0})
        std::printf("  %gHz %+.2f dB", hz, GainDbAt(s, hz));
    std::printf("\n");
}

} // namespace

int main() {
    const std::vector<double> input = TestSignal();
    std::printf("Lumaro EQ chain, one channel at %.0f Hz, built-in test signal (%.1f s)\n\n",
                sampleRate, static_cast<double>(input.size()) / sampleRate);
    const Setting flat = {"default (flat)", false, 30, 35, 0, 240, 0, 2500, 0, 0, 0};
    const Setting coloured = {"coloured: HPF 80 Hz, LoShelf 110 Hz +4, MF1 400 Hz -6, "
                              "MF2 3150 Hz +3, HiShelf +5, Gain -2",
                              true,
                              80,
                              110,
                              4,
                              400,
                              -6,
                              3150,
                              3,
                              5,
                              -2};
    Report(flat, input);
    Report(coloured, input);
    return 0;
}
