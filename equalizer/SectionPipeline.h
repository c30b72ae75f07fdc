#pragma once

#include <emmintrin.h>

#include <algorithm>
#include <utility>

namespace equalizer::pipeline {

// The recursion of the running sections of a chain, laid out for speed.
//
// A lane type T holds one sample per channel: double for one channel,
// DoublePair for two channels side by side. Every lane goes through exactly
// the operations of BiquadSection::ProcessSample (direct form I, left to right)
// and of the chain's injection, one lane never mixing with the other, so the
// results are bit for bit those of the per-sample scalar code.

typedef double DoublePair __attribute__((vector_size(16)));

template <class T> inline constexpr int laneCount = 1;
template <> inline constexpr int laneCount<DoublePair> = 2;

inline double GetLane(double v, int) {
    return v;
}
inline double GetLane(DoublePair v, int lane) {
    return v[lane];
}
// Two lanes from two values, in registers (filling a vector through memory
// one lane at a time would stall the full-width read that follows).
inline DoublePair MakePair(double lane0, double lane1) {
    return static_cast<DoublePair>(_mm_unpacklo_pd(_mm_set_sd(lane0), _mm_set_sd(lane1)));
}
template <class T> inline T Broadcast(double x) {
    if constexpr (laneCount<T> == 1) {
        return x;
    } else {
        return MakePair(x, x);
    }
}

// One running section: coefficients, history, and the amount of the sine
// term added to its input (unused by the high-pass, which adds none).
template <class T> struct Stage {
    T b0, b1, b2, a1, a2;
    T x1, x2, y1, y2;
    T amount;
};

template <class T> inline T Filter(Stage<T>& st, T x) {
    const T y = st.b0 * x + st.b1 * st.x1 + st.b2 * st.x2 - st.a1 * st.y1 - st.a2 * st.y2;
    st.x2 = st.x1;
    st.x1 = x;
    st.y2 = st.y1;
    st.y1 = y;
    return y;
}

// In place: v ← section(v + amount·s), or section(v) for the high-pass.
template <class T, bool injects> inline void Step(Stage<T>& st, T& v, T s) {
    if constexpr (injects) {
        v = Filter(st, v + st.amount * s);
    } else {
        v = Filter(st, v);
    }
}

// The settled run reads x1 and x2 back from the input arrays it has just
// written. Left to itself the compiler forwards them in registers instead,
// which with five stages exhausts the sixteen vector registers and spills on
// the recursion's path; hiding where the pointer comes from makes it load them
// (as operands of the multiplications) and keep the registers for y1 and y2.
template <class T> inline void HideOrigin(const T*& pointer) {
    asm("" : "+r"(pointer));
}

template <int count, class F> inline void ForEachStage(F&& f) {
    [&]<int... k>(std::integer_sequence<int, k...>) {
        (f(std::integral_constant<int, k>{}), ...);
    }
    (std::make_integer_sequence<int, count>{});
}

// Most frames a settled run takes at once (its buffers live on the stack).
inline constexpr int maxRunFrames = 256;

// Runs `count` settled sections in series over y[0..n), n ≤ maxRunFrames, in
// place; s holds the sine term of each frame. Stage 0 is the high-pass when
// highPassFirst.
//
// A section's feedback (y1 → y) is a chain of a multiplication and two
// subtractions, so one section alone cannot take a sample per cycle or two;
// and run sample by sample in series, each sample waits for the whole cascade.
// The loop is therefore software-pipelined: in step t, stage k works on frame
// t − k, so the stages of one step are independent of one another and their
// recursions overlap. A stage still sees its frames in order and each frame
// passes the stages in order, which is all the arithmetic depends on. The
// fill (frames before the pipeline is full) and the drain run stage by stage.
//
// Each stage's inputs (after injection) are kept in an array, so x1 and x2
// are plain loads and only y1 and y2 of the five stages need registers.
template <class T, int count, bool highPassFirst>
void RunSettled(Stage<T>* stages, T* y, const T* s, int n) {
    constexpr int history = 2;
    Stage<T> st[count];
    T in[count][history + maxRunFrames];
    T y1[count], y2[count];
    for (int k = 0; k < count; ++k) {
        st[k] = stages[k];
        in[k][0] = st[k].x2;
        in[k][1] = st[k].x1;
        y1[k] = st[k].y1;
        y2[k] = st[k].y2;
    }
    for (int f = 0; f < n; ++f) {
        in[0][history + f] = highPassFirst ? y[f] : y[f] + st[0].amount * s[f];
    }
    // Stage k on frame f: filters its input and hands the next stage its
    // input (the output plus that stage's injection), or writes the output.
    const auto step = [&](auto stage, int f) {
        constexpr int k = decltype(stage)::value;
        const T* x = &in[k][history + f];
        HideOrigin(x);
        const T out = st[k].b0 * x[0] + st[k].b1 * x[-1] + st[k].b2 * x[-2] - st[k].a1 * y1[k] -
                      st[k].a2 * y2[k];
        y2[k] = y1[k];
        y1[k] = out;
        if constexpr (k + 1 < count) {
            in[k + 1][history + f] = out + st[k + 1].amount * s[f];
        } else {
            y[f] = out;
        }
    };
    ForEachStage<count>([&](auto stage) {
        constexpr int k = decltype(stage)::value;
        for (int f = 0; f < std::min(count - 1 - k, n); ++f) {
            step(stage, f);
        }
    });
    for (int t = count - 1; t < n; ++t) {
        ForEachStage<count>([&](auto stage) {
            constexpr int k = decltype(stage)::value;
            step(stage, t - k);
        });
    }
    ForEachStage<count>([&](auto stage) {
        constexpr int k = decltype(stage)::value;
        const int filled = std::min(count - 1 - k, n);
        for (int f = n > count - 1 ? n - k : filled; f < n; ++f) {
            step(stage, f);
        }
    });
    for (int k = 0; k < count; ++k) {
        stages[k].x1 = in[k][history + n - 1];
        stages[k].x2 = in[k][history + n - 2];
        stages[k].y1 = y1[k];
        stages[k].y2 = y2[k];
    }
}

template <class T> using SettledRun = void (*)(Stage<T>*, T*, const T*, int);

// The instance for `count` stages (1..5), with or without the high-pass first.
template <class T> SettledRun<T> SettledRunFor(int count, bool highPassFirst) {
    switch (count * 2 + (highPassFirst ? 1 : 0)) {
    case 2:
        return &RunSettled<T, 1, false>;
    case 3:
        return &RunSettled<T, 1, true>;
    case 4:
        return &RunSettled<T, 2, false>;
    case 5:
        return &RunSettled<T, 2, true>;
    case 6:
        return &RunSettled<T, 3, false>;
    case 7:
        return &RunSettled<T, 3, true>;
    case 8:
        return &RunSettled<T, 4, false>;
    case 9:
        return &RunSettled<T, 4, true>;
    case 11:
        return &RunSettled<T, 5, true>;
    default:
        return nullptr;
    }
}

// y ← colour·s + y·gain, the output stage.
template <class T> void RunOutput(T* y, const T* s, int n, double colour, double gain) {
    const T c = Broadcast<T>(colour);
    const T g = Broadcast<T>(gain);
    for (int f = 0; f < n; ++f) {
        y[f] = c * s[f] + y[f] * g;
    }
}

} // namespace equalizer::pipeline
