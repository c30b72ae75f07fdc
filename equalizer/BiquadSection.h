#pragma once

#include <cstdint>

namespace equalizer {

// Response of a section. Stored as a 32-bit integer; any other value is
// designed as Peaking.
enum FilterType : int32_t {
    LowPass = 0,
    HighPass = 1,
    BandPassSkirt = 2, // constant skirt gain, peak gain equals Q
    BandPassPeak = 3,  // constant 0 dB peak gain
    Notch = 4,
    AllPass = 5,
    Peaking = 6,
    LowShelf = 7,
    HighShelf = 8,
};

// One second-order recursive section of the equalizer.
//
// Topology: direct form I, y = b0·x + b1·x1 + b2·x2 − a1·y1 − a2·y2, evaluated
// left to right. Coefficients follow the Audio EQ Cookbook with the Q form of
// alpha for every type, the shelves included (no slope parameter), so with
// 0 dB a peaking or shelf section is an identity up to the rounding of the
// normalisation. The frequency is not limited to Nyquist and nothing checks Q,
// gain or rate: out-of-range or non-finite values propagate through the
// arithmetic as they fall.
//
// Glide: each Update() moves Q, frequency and gain one step of a one-pole
// smoother (pole 0.99, about 100 updates time constant) towards their
// targets, and redesigns only when a glided value has moved past a threshold
// (Q or gain by more than 0.0001, frequency by more than 0.01 % of itself) or
// the rate changed. The channel chain calls Update() once per processed
// sample while NeedsUpdate() holds, so the glide runs at the section's own
// rate.
//
// The exact order of every operation below is part of the definition: the
// results are compared bit for bit with an independent evaluation of the
// formulas. Keep -ffp-contract=off.
//
// Design cost: a design is a pure function of (type, Q, frequency, gain,
// rate). During a glide usually only one of them moves, and the two channels
// of a stereo chain glide in step, so the section reuses what is bit for bit
// the same input: sin/cos of an unchanged w0, exp of an unchanged gain
// argument, and with UpdateSharingDesign() the whole design of a twin that
// has just been designed from identical values. Reuse never changes a bit of
// the result; it only skips recomputing it.
//
// Threads: not synchronised. The owner makes sure only one thread touches a
// section at a time (the audio thread, once processing runs).
class BiquadSection {
public:
    struct Smoother {
        double pole = 0.99;
        double complement = 1.0 - 0.99;
        double smoothed = 0.0;
        double lastTarget = 0.0;
    };

    // A peaking section at 1000 Hz, Q 1, 0 dB, 44100 Hz: an identity.
    BiquadSection();

    // Sets the type and redesigns at once with the values in effect; the
    // glide does not advance.
    void SetType(int32_t newType);
    // Each setter stores the target and performs one Update().
    void SetQ(double value);
    void SetFrequency(double hz);
    void SetGainDb(double db);
    void SetSampleRate(int32_t hz);

    // One smoothing step of Q, frequency and gain, and a design if a glided
    // value crossed its threshold, the rate changed, or a reset or type change
    // asked for one.
    void Update();

    // As Update(), but when a design is needed and twin's last design was made
    // from exactly the same type, Q, frequency, gain and rate, its results are
    // copied instead of recomputed. The stereo chain passes channel 0's
    // section when updating channel 1's at the same sample.
    void UpdateSharingDesign(const BiquadSection& twin);

    // True while any glided value still differs from the target seen by the
    // last update by 0.000001 or more (a NaN difference counts as differing).
    bool NeedsUpdate() const {
        return !(Below(smoothQ.smoothed - smoothQ.lastTarget) &&
                 Below(smoothFrequency.smoothed - smoothFrequency.lastTarget) &&
                 Below(smoothGain.smoothed - smoothGain.lastTarget));
    }

    // Completes the glide at once and clears the history. Does not design:
    // the next Update() does, because it marks the section dirty.
    void Reset();

    double ProcessSample(double x) {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

    // Read-only view for the chain, the editor's curves and the tests.
    int32_t Type() const { return type; }
    double Q() const { return q; }
    double FrequencyHz() const { return frequency; }
    double GainDb() const { return gainDb; }
    int32_t SampleRate() const { return sampleRate; }
    double TargetQ() const { return targetQ; }
    double TargetFrequencyHz() const { return targetFrequency; }
    double TargetGainDb() const { return targetGainDb; }

    struct Coefficients {
        double b0, b1, b2, a0, a1, a2;
    };
    Coefficients CurrentCoefficients() const { return {b0, b1, b2, a0, a1, a2}; }

    struct History {
        double x1, x2, y1, y2;
    };
    History CurrentHistory() const { return {x1, x2, y1, y2}; }
    // For a chain that runs the recursion on its own copy of the history (in
    // vector lanes) and hands it back at the end of a run.
    void LoadHistory(const History& h) {
        x1 = h.x1;
        x2 = h.x2;
        y1 = h.y1;
        y2 = h.y2;
    }

private:
    static bool Below(double difference) {
        return (difference < 0 ? -difference : difference) < 0.000001;
    }
    // The values a design is a function of, compared bit for bit.
    struct DesignInput {
        int32_t type;
        double q, frequency, gainDb;
        int32_t sampleRate;
        bool operator==(const DesignInput& other) const;
    };
    DesignInput CurrentDesignInput() const { return {type, q, frequency, gainDb, sampleRate}; }
    void UpdateWith(const BiquadSection* twin);
    void Design();

    int32_t type = Peaking;
    double targetQ = 1.0;
    double targetFrequency = 1000.0;
    double targetGainDb = 0.0;
    double q = 1.0;
    double frequency = 1000.0;
    double gainDb = 0.0;
    int32_t sampleRate = 44100;
    double amplitude = 1.0;
    double w0 = 0.0, sinW0 = 0.0, cosW0 = 1.0, alpha = 0.0;
    double a0 = 1.0, a1 = 0.0, a2 = 0.0, b0 = 1.0, b1 = 0.0, b2 = 0.0;
    double x1 = 0.0, x2 = 0.0;
    double y1 = 0.0, y2 = 0.0;
    Smoother smoothQ, smoothFrequency, smoothGain;
    double designedQ = 0.0, designedFrequency = 0.0, designedGainDb = 0.0;
    int32_t designedSampleRate = 0;
    bool dirty = true;
    // Reuse of earlier results (see the class comment): the inputs of the last
    // Design(), those that w0 and alpha were computed from, and the last exp()
    // argument with its value.
    struct DesignMemo {
        DesignInput lastInput{};
        bool angleKnown = false;
        double angleFrequency = 0.0, angleQ = 0.0;
        int32_t angleSampleRate = 0;
        double expArgument = 0.0, expValue = 1.0;
    };
    DesignMemo memo;
};

} // namespace equalizer
