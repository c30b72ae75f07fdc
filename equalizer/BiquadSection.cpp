#include "equalizer/BiquadSection.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace equalizer {

namespace {
constexpr double twoPi = 6.283185307179586;
// ln(10)/20 and ln(10)/40: exp(gainDb × these) is 10^(gainDb/20) and 10^(gainDb/40).
constexpr double ln10Over20 = 0.11512925464970229;
constexpr double ln10Over40 = 0.057564627324851146;
// Redesign thresholds of the glide.
constexpr double qThreshold = 0.0001;
constexpr double relativeFrequencyThreshold = 0.0001;
constexpr double gainThresholdDb = 0.0001;

bool SameBits(double a, double b) {
    return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

// smoothed × pole + target × complement, in that order.
double Step(BiquadSection::Smoother& s, double target) {
    s.lastTarget = target;
    s.smoothed = s.smoothed * s.pole + target * s.complement;
    return s.smoothed;
}
} // namespace

BiquadSection::BiquadSection() {
    Reset();
    Design();
}

void BiquadSection::SetType(int32_t newType) {
    type = newType;
    Design();
}

void BiquadSection::SetQ(double value) {
    targetQ = value;
    Update();
}

void BiquadSection::SetFrequency(double hz) {
    targetFrequency = hz;
    Update();
}

void BiquadSection::SetGainDb(double db) {
    targetGainDb = db;
    Update();
}

void BiquadSection::SetSampleRate(int32_t hz) {
    sampleRate = hz;
    Update();
}

bool BiquadSection::DesignInput::operator==(const DesignInput& other) const {
    return type == other.type && SameBits(q, other.q) && SameBits(frequency, other.frequency) &&
           SameBits(gainDb, other.gainDb) && sampleRate == other.sampleRate;
}

void BiquadSection::Update() {
    UpdateWith(nullptr);
}

void BiquadSection::UpdateSharingDesign(const BiquadSection& twin) {
    UpdateWith(&twin);
}

void BiquadSection::UpdateWith(const BiquadSection* twin) {
    q = Step(smoothQ, targetQ);
    frequency = Step(smoothFrequency, targetFrequency);
    gainDb = Step(smoothGain, targetGainDb);

    const bool needed =
        dirty || std::fabs(q - designedQ) > qThreshold ||
        std::fabs(frequency - designedFrequency) > frequency * relativeFrequencyThreshold ||
        std::fabs(gainDb - designedGainDb) > gainThresholdDb || sampleRate != designedSampleRate;
    if (needed) {
        if (twin != nullptr && twin->memo.lastInput == CurrentDesignInput()) {
            amplitude = twin->amplitude;
            w0 = twin->w0;
            sinW0 = twin->sinW0;
            cosW0 = twin->cosW0;
            alpha = twin->alpha;
            a0 = twin->a0;
            a1 = twin->a1;
            a2 = twin->a2;
            b0 = twin->b0;
            b1 = twin->b1;
            b2 = twin->b2;
            memo = twin->memo;
        } else {
            Design();
        }
        designedQ = q;
        designedFrequency = frequency;
        designedGainDb = gainDb;
        designedSampleRate = sampleRate;
        dirty = false;
    }
}

void BiquadSection::Reset() {
    q = targetQ;
    frequency = targetFrequency;
    gainDb = targetGainDb;
    designedQ = targetQ;
    designedFrequency = targetFrequency;
    designedGainDb = targetGainDb;
    smoothQ.smoothed = smoothQ.lastTarget = targetQ;
    smoothFrequency.smoothed = smoothFrequency.lastTarget = targetFrequency;
    smoothGain.smoothed = smoothGain.lastTarget = targetGainDb;
    x1 = x2 = y1 = y2 = 0.0;
    designedSampleRate = sampleRate;
    dirty = true;
}

// sin, cos and exp of a bit-identical argument are bit-identical, so the
// values of the previous design are reused when their arguments have not
// moved: w0, its sine and cosine and alpha when frequency, rate and Q are the
// same, sine and cosine alone when only Q moved or w0 came out the same.
void BiquadSection::Design() {
    memo.lastInput = CurrentDesignInput();
    const bool sameAngle = memo.angleKnown && SameBits(frequency, memo.angleFrequency) &&
                           sampleRate == memo.angleSampleRate;
    if (!sameAngle) {
        const double newW0 = twoPi * frequency / static_cast<double>(sampleRate);
        if (!memo.angleKnown || !SameBits(newW0, w0)) {
            w0 = newW0;
            sinW0 = std::sin(w0);
            cosW0 = std::cos(w0);
        }
    }
    if (!sameAngle || !SameBits(q, memo.angleQ)) {
        alpha = sinW0 / (2.0 * q);
    }
    memo.angleKnown = true;
    memo.angleFrequency = frequency;
    memo.angleSampleRate = sampleRate;
    memo.angleQ = q;

    const auto Exp = [this](double argument) {
        if (!SameBits(argument, memo.expArgument)) {
            memo.expArgument = argument;
            memo.expValue = std::exp(argument);
        }
        return memo.expValue;
    };
    switch (type) {
    case LowPass:
    case HighPass:
        amplitude = 1.0;
        break;
    case BandPassSkirt:
    case BandPassPeak:
    case Notch:
    case AllPass:
        amplitude = Exp(gainDb * ln10Over20); // stored only
        break;
    default:
        amplitude = Exp(gainDb * ln10Over40);
        break;
    }

    const double A = amplitude;
    const double c = cosW0;
    const double s = sinW0;
    switch (type) {
    case LowPass:
        b0 = (1.0 - c) / 2.0;
        b1 = 1.0 - c;
        b2 = (1.0 - c) / 2.0;
        break;
    case HighPass:
        b0 = (1.0 + c) / 2.0;
        b1 = -(1.0 + c);
        b2 = (1.0 + c) / 2.0;
        break;
    case BandPassSkirt:
        b0 = s / 2.0;
        b1 = 0.0;
        b2 = -s / 2.0;
        break;
    case BandPassPeak:
        b0 = alpha;
        b1 = 0.0;
        b2 = -alpha;
        break;
    case Notch:
        b0 = 1.0;
        b1 = -2.0 * c;
        b2 = 1.0;
        break;
    case AllPass:
        b0 = 1.0 - alpha;
        b1 = -2.0 * c;
        b2 = 1.0 + alpha;
        break;
    case LowShelf:
    case HighShelf:
        break;
    default: // Peaking and unknown types
        b0 = 1.0 + alpha * A;
        b1 = -2.0 * c;
        b2 = 1.0 - alpha * A;
        a0 = 1.0 + alpha / A;
        a1 = -2.0 * c;
        a2 = 1.0 - alpha / A;
        break;
    }

    if (type >= LowPass && type <= AllPass) {
        a0 = 1.0 + alpha;
        a1 = -2.0 * c;
        a2 = 1.0 - alpha;
    } else if (type == LowShelf) {
        const double r = 2.0 * std::sqrt(A) * alpha;
        b0 = A * ((A + 1.0) - (A - 1.0) * c + r);
        b1 = 2.0 * A * ((A - 1.0) - (A + 1.0) * c);
        b2 = A * ((A + 1.0) - (A - 1.0) * c - r);
        a0 = (A + 1.0) + (A - 1.0) * c + r;
        a1 = -2.0 * ((A - 1.0) + (A + 1.0) * c);
        a2 = (A + 1.0) + (A - 1.0) * c - r;
    } else if (type == HighShelf) {
        const double r = 2.0 * std::sqrt(A) * alpha;
        b0 = A * ((A + 1.0) + (A - 1.0) * c + r);
        b1 = -2.0 * A * ((A - 1.0) + (A + 1.0) * c);
        b2 = A * ((A + 1.0) + (A - 1.0) * c - r);
        a0 = (A + 1.0) - (A - 1.0) * c + r;
        a1 = 2.0 * ((A - 1.0) - (A + 1.0) * c);
        a2 = (A + 1.0) - (A - 1.0) * c - r;
    }

    const double inverse = 1.0 / a0;
    b0 *= inverse;
    b1 *= inverse;
    b2 *= inverse;
    a1 *= inverse;
    a2 *= inverse;
    a0 = 1.0;
}

} // namespace equalizer
