#pragma once

// A straightforward, deliberately unoptimised evaluation of the equalizer's
// formulas, written apart from equalizer/ so that tests can check the real
// sections and chain against it bit for bit and the benchmarks can state
// ratios against it. Everything is written out per sample as the formulas
// read; no shared code with the production classes.

#include <cmath>
#include <cstdint>

namespace reference {

struct Section {
    int32_t type = 6;
    double target[3] = {1.0, 1000.0, 0.0}; // Q, frequency, gain dB
    double effective[3] = {1.0, 1000.0, 0.0};
    double smoothed[3] = {1.0, 1000.0, 0.0};
    double lastTarget[3] = {1.0, 1000.0, 0.0};
    double designed[3] = {1.0, 1000.0, 0.0};
    int32_t rate = 44100;
    int32_t designedRate = 44100;
    bool dirty = true;
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

inline void Design(Section& s) {
    const double q = s.effective[0];
    const double f = s.effective[1];
    const double g = s.effective[2];
    const double w0 = 6.283185307179586 * f / (double)s.rate;
    const double sn = std::sin(w0);
    const double c = std::cos(w0);
    const double alpha = sn / (2.0 * q);
    double A;
    if (s.type == 0 || s.type == 1)
        A = 1.0;
    else if (s.type >= 2 && s.type <= 5)
        A = std::exp(g * 0.11512925464970229);
    else
        A = std::exp(g * 0.057564627324851146);

    double nb0, nb1, nb2, na0, na1, na2;
    switch (s.type) {
    case 0: // low-pass
        nb0 = (1.0 - c) / 2.0, nb1 = 1.0 - c, nb2 = (1.0 - c) / 2.0;
        na0 = 1.0 + alpha, na1 = -2.0 * c, na2 = 1.0 - alpha;
        break;
    case 1: // high-pass
        nb0 = (1.0 + c) / 2.0, nb1 = -(1.0 + c), nb2 = (1.0 + c) / 2.0;
        na0 = 1.0 + alpha, na1 = -2.0 * c, na2 = 1.0 - alpha;
        break;
    case 2: // band-pass, skirt
        nb0 = sn / 2.0, nb1 = 0.0, nb2 = -sn / 2.0;
        na0 = 1.0 + alpha, na1 = -2.0 * c, na2 = 1.0 - alpha;
        break;
    case 3: // band-pass, peak
        nb0 = alpha, nb1 = 0.0, nb2 = -alpha;
        na0 = 1.0 + alpha, na1 = -2.0 * c, na2 = 1.0 - alpha;
        break;
    case 4: // notch
        nb0 = 1.0, nb1 = -2.0 * c, nb2 = 1.0;
        na0 = 1.0 + alpha, na1 = -2.0 * c, na2 = 1.0 - alpha;
        break;
    case 5: // all-pass
        nb0 = 1.0 - alpha, nb1 = -2.0 * c, nb2 = 1.0 + alpha;
        na0 = 1.0 + alpha, na1 = -2.0 * c, na2 = 1.0 - alpha;
        break;
    case 7: { // low shelf
        const double r = 2.0 * std::sqrt(A) * alpha;
        nb0 = A * ((A + 1.0) - (A - 1.0) * c + r);
        nb1 = 2.0 * A * ((A - 1.0) - (A + 1.0) * c);
        nb2 = A * ((A + 1.0) - (A - 1.0) * c - r);
        na0 = (A + 1.0) + (A - 1.0) * c + r;
        na1 = -2.0 * ((A - 1.0) + (A + 1.0) * c);
        na2 = (A + 1.0) + (A - 1.0) * c - r;
        break;
    }
    case 8: { // high shelf
        const double r = 2.0 * std::sqrt(A) * alpha;
        nb0 = A * ((A + 1.0) + (A - 1.0) * c + r);
        nb1 = -2.0 * A * ((A - 1.0) + (A + 1.0) * c);
        nb2 = A * ((A + 1.0) + (A - 1.0) * c - r);
        na0 = (A + 1.0) - (A - 1.0) * c + r;
        na1 = 2.0 * ((A - 1.0) - (A + 1.0) * c);
        na2 = (A + 1.0) - (A - 1.0) * c - r;
        break;
    }
    default: // peaking
        nb0 = 1.0 + alpha * A, nb1 = -2.0 * c, nb2 = 1.0 - alpha * A;
        na0 = 1.0 + alpha / A, na1 = -2.0 * c, na2 = 1.0 - alpha / A;
        break;
    }
    const double inv = 1.0 / na0;
    s.b0 = nb0 * inv;
    s.b1 = nb1 * inv;
    s.b2 = nb2 * inv;
    s.a1 = na1 * inv;
    s.a2 = na2 * inv;
}

inline void Update(Section& s) {
    for (int k = 0; k < 3; ++k) {
        s.lastTarget[k] = s.target[k];
        s.smoothed[k] = s.smoothed[k] * 0.99 + s.target[k] * (1.0 - 0.99);
        s.effective[k] = s.smoothed[k];
    }
    bool need = s.dirty;
    if (std::fabs(s.effective[0] - s.designed[0]) > 0.0001)
        need = true;
    if (std::fabs(s.effective[1] - s.designed[1]) > s.effective[1] * 0.0001)
        need = true;
    if (std::fabs(s.effective[2] - s.designed[2]) > 0.0001)
        need = true;
    if (s.rate != s.designedRate)
        need = true;
    if (need) {
        Design(s);
        for (int k = 0; k < 3; ++k)
            s.designed[k] = s.effective[k];
        s.designedRate = s.rate;
        s.dirty = false;
    }
}

inline bool NeedsUpdate(const Section& s) {
    for (int k = 0; k < 3; ++k) {
        if (!(std::fabs(s.smoothed[k] - s.lastTarget[k]) < 0.000001))
            return true;
    }
    return false;
}

inline void Reset(Section& s) {
    for (int k = 0; k < 3; ++k) {
        s.effective[k] = s.designed[k] = s.smoothed[k] = s.lastTarget[k] = s.target[k];
    }
    s.x1 = s.x2 = s.y1 = s.y2 = 0.0;
    s.designedRate = s.rate;
    s.dirty = true;
}

inline void Construct(Section& s) {
    s = Section{};
    Reset(s);
    Design(s);
}

inline void SetType(Section& s, int32_t type) {
    s.type = type;
    Design(s);
}
inline void SetTarget(Section& s, int which, double value) {
    s.target[which] = value;
    Update(s);
}
inline void SetRate(Section& s, int32_t rate) {
    s.rate = rate;
    Update(s);
}

inline double Process(Section& s, double x) {
    double y = s.b0 * x;
    y = y + s.b1 * s.x1;
    y = y + s.b2 * s.x2;
    y = y - s.a1 * s.y1;
    y = y - s.a2 * s.y2;
    s.x2 = s.x1;
    s.x1 = x;
    s.y2 = s.y1;
    s.y1 = y;
    return y;
}

inline double StdSine(double x) {
    return std::sin(x);
}

// The per-channel chain with its sine injection and output stage. The sine
// function is a parameter so that tests can run the same formulas with the
// production chain's sine and demand identical bits; Chain uses std::sin.
template <double (*Sine)(double)> struct BasicChain {
    Section sections[5][2];
    bool highPass = false;
    double outputGainDb = 0.0;
    double outputGain = 1.0;

    BasicChain() {
        const int32_t types[5] = {1, 7, 6, 6, 8};
        const double frequencies[5] = {30.0, 35.0, 240.0, 2500.0, 12000.0};
        for (int ch = 0; ch < 2; ++ch) {
            for (int b = 0; b < 5; ++b) {
                Section& s = sections[b][ch];
                Construct(s);
                SetType(s, types[b]);
                SetTarget(s, 0, b == 0 ? 0.7071067811865476 : 0.7);
                SetTarget(s, 1, frequencies[b]);
                if (b != 0)
                    SetTarget(s, 2, 0.0);
            }
        }
    }

    void SetOutputGainDb(double db) {
        outputGainDb = db;
        outputGain = std::exp(db * 0.1151292546497);
    }

    void Process(double* samples, int count, int ch) {
        for (int i = 0; i < count; ++i) {
            const double x = samples[i];
            double clamped = x;
            if (!(clamped >= -1.0)) // NaN and values below −1 clamp to −1
                clamped = -1.0;
            if (clamped > 1.0)
                clamped = 1.0;
            const double s = Sine(clamped);
            double y = x;
            if (highPass) {
                Section& hp = sections[0][ch];
                if (NeedsUpdate(hp))
                    Update(hp);
                y = reference::Process(hp, y);
            }
            for (int b = 1; b < 5; ++b) {
                Section& sec = sections[b][ch];
                const double g = sec.effective[2];
                if (g == 0.0) // a NaN gain is not 0: the band runs
                    continue;
                double amount;
                if (b == 1)
                    amount = g / 60.0;
                else if (b == 4)
                    amount = std::fabs(g / 60.0);
                else
                    amount = std::fabs(g / 80.0);
                y = y + amount * s;
                if (NeedsUpdate(sec))
                    Update(sec);
                y = reference::Process(sec, y);
            }
            const double colour = std::fabs(outputGainDb / 60.0) + 0.01;
            samples[i] = colour * s + y * outputGain;
        }
    }
};

using Chain = BasicChain<StdSine>;

} // namespace reference
