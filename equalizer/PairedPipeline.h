#pragma once

#include "equalizer/SectionPipeline.h"

namespace equalizer::pipeline {

// Calls f(scalar field, pair field) for every field of a stage.
template <class F> void ForEachField(F f) {
    f(&Stage<double>::b0, &Stage<DoublePair>::b0);
    f(&Stage<double>::b1, &Stage<DoublePair>::b1);
    f(&Stage<double>::b2, &Stage<DoublePair>::b2);
    f(&Stage<double>::a1, &Stage<DoublePair>::a1);
    f(&Stage<double>::a2, &Stage<DoublePair>::a2);
    f(&Stage<double>::x1, &Stage<DoublePair>::x1);
    f(&Stage<double>::x2, &Stage<DoublePair>::x2);
    f(&Stage<double>::y1, &Stage<DoublePair>::y1);
    f(&Stage<double>::y2, &Stage<DoublePair>::y2);
    f(&Stage<double>::amount, &Stage<DoublePair>::amount);
}

// The settled run for a single channel, with two sections per vector.
//
// As in RunSettled the sections are software-pipelined, here with a skew of
// two frames: in step t, stage k works on frame t − 2k. Stages 2p and 2p + 1
// share the lanes of pair p: lane 1 holds stage 2p (frame t − 4p), lane 0
// stage 2p + 1 (frame t − 4p − 2). A stage's input is then the output its
// predecessor produced two steps earlier, which is that stage's y2, so a
// pair's input is one shuffle of its own y2 (lane 1, for lane 0) and the
// previous pair's y2 (lane 0, for lane 1), and no step waits for the step
// just before it. With an odd number of stages the last pair's lane 0 is
// idle: it computes with zero coefficients and is never stored.
//
// Every section sees exactly the operations of the scalar recursion, in
// place on y: after each step y holds, for each frame, the output of the last
// stage that has processed it, so the fill and the drain run stage by stage on
// the same buffer.
template <int count, bool highPassFirst>
void RunSettledPaired(Stage<double>* stages, double* y, const double* s, int n) {
    static_assert(count >= 2 && count <= 5);
    constexpr int pairs = (count + 1) / 2;
    constexpr bool oddCount = count % 2 == 1;
    constexpr int skew = 2;
    constexpr int firstStep = skew * (count - 1); // the pipeline is full from here

    const auto scalarStep = [&](int k, int f) {
        Stage<double>& st = stages[k];
        const double x = (highPassFirst && k == 0) ? y[f] : y[f] + st.amount * s[f];
        y[f] = Filter(st, x);
    };
    for (int k = 0; k < count; ++k) {
        for (int f = 0; f < std::min(firstStep - skew * k, n); ++f) {
            scalarStep(k, f);
        }
    }

    if (n > firstStep) {
        // Lane 1: stage 2p; lane 0: stage 2p + 1, or nothing (all zeros).
        Stage<DoublePair> pair[pairs];
        for (int p = 0; p < pairs; ++p) {
            ForEachField([&](double Stage<double>::*scalar, DoublePair Stage<DoublePair>::*lanes) {
                const double older = 2 * p + 1 < count ? stages[2 * p + 1].*scalar : 0.0;
                pair[p].*lanes = MakePair(older, stages[2 * p].*scalar);
            });
        }
        for (int t = firstStep; t < n; ++t) {
            // Last pair first: each pair reads the y2 of the pair before it,
            // which must not have moved on in this step yet.
            ForEachStage<pairs>([&](auto index) {
                constexpr int p = pairs - 1 - decltype(index)::value;
                const int newer = t - 2 * skew * p; // frame of lane 1
                const int older = newer - skew;     // frame of lane 0
                const __m128d before =
                    p == 0 ? _mm_set1_pd(y[t]) : static_cast<__m128d>(pair[p == 0 ? 0 : p - 1].y2);
                const DoublePair input = static_cast<DoublePair>(
                    _mm_shuffle_pd(static_cast<__m128d>(pair[p].y2), before, 1));
                // The idle lane's frame lies before the buffer's start in
                // the first steps; it reads nothing.
                const __m128d olderSine =
                    oddCount && p == pairs - 1 ? _mm_setzero_pd() : _mm_load_sd(s + older);
                const DoublePair sine = static_cast<DoublePair>(_mm_loadh_pd(olderSine, s + newer));
                DoublePair x = input + pair[p].amount * sine;
                if constexpr (highPassFirst && p == 0) {
                    // The high-pass (lane 1 of pair 0) adds no sine term.
                    x = static_cast<DoublePair>(
                        _mm_move_sd(static_cast<__m128d>(input), static_cast<__m128d>(x)));
                }
                const __m128d out = static_cast<__m128d>(Filter(pair[p], x));
                _mm_storeh_pd(y + newer, out);
                if constexpr (!(oddCount && p == pairs - 1)) {
                    _mm_storel_pd(y + older, out);
                }
            });
        }
        for (int p = 0; p < pairs; ++p) {
            ForEachField([&](double Stage<double>::*scalar, DoublePair Stage<DoublePair>::*lanes) {
                stages[2 * p].*scalar = (pair[p].*lanes)[1];
                if (2 * p + 1 < count) {
                    stages[2 * p + 1].*scalar = (pair[p].*lanes)[0];
                }
            });
        }
    }

    for (int k = 0; k < count; ++k) {
        const int filled = std::min(firstStep - skew * k, n);
        for (int f = n > firstStep ? n - skew * k : filled; f < n; ++f) {
            scalarStep(k, f);
        }
    }
}

// The single-channel instance for `count` stages (1..5): paired from two on.
inline SettledRun<double> SingleChannelRunFor(int count, bool highPassFirst) {
    switch (count * 2 + (highPassFirst ? 1 : 0)) {
    case 4:
        return &RunSettledPaired<2, false>;
    case 5:
        return &RunSettledPaired<2, true>;
    case 6:
        return &RunSettledPaired<3, false>;
    case 7:
        return &RunSettledPaired<3, true>;
    case 8:
        return &RunSettledPaired<4, false>;
    case 9:
        return &RunSettledPaired<4, true>;
    case 11:
        return &RunSettledPaired<5, true>;
    default:
        return SettledRunFor<double>(count, highPassFirst);
    }
}

} // namespace equalizer::pipeline
