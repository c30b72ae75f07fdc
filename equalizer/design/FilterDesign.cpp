#include "equalizer/design/FilterDesign.h"

#include "equalizer/design/Remez.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>

namespace equalizer::design {

namespace {

using Real = long double;
using Complex = std::complex<Real>;

constexpr Real kPi = 3.141592653589793238462643383279502884L;
// The measured stop band must beat the row by this much (the rounding of the
// taps to double and of the streaming arithmetic take a little of it).
constexpr double kMarginDb = 1.0;
// The design aims a little lower still, for the lift and the rounding.
constexpr double kPrototypeExtraDb = 0.5;
// Cepstral aliasing falls with the grid length; 64 points per tap keeps it
// far below the stop band.
constexpr std::size_t kGridPerTap = 64;
constexpr std::size_t kMinimumGrid = std::size_t{1} << 16;
// Largest |H − 1| in the pass band of an equiripple design (0.00043 dB), so
// that the four filters of a round trip stay far inside 0.01 dB; and the
// dense check's limit on the rounded taps.
constexpr Real kPassbandRipple = 5e-5L;
constexpr double kPassbandLimitDb = 0.0006;
// A minimum-phase prototype is lifted by its deepest trough and this fraction
// more, so that it stays positive (its troughs would otherwise be double
// zeros on the unit circle, where the logarithm has no value).
constexpr Real kLiftMargin = 0.05L;
constexpr int kMaxTaps = 8192;
// Phase samples per tap when counting zeros outside the unit circle.
constexpr std::size_t kWindingGridPerTap = 256;

// Largest stop-band magnitude a design aims at.
Real StopbandGoal(const LowpassGoal& goal) {
    return std::pow(
        10.0L, -(static_cast<Real>(goal.attenuationDb) + kMarginDb + kPrototypeExtraDb) / 20.0L);
}

void Fft(std::vector<Complex>& a, bool inverse) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (std::size_t length = 2; length <= n; length <<= 1) {
        const Real angle = (inverse ? 2 : -2) * kPi / static_cast<Real>(length);
        for (std::size_t k = 0; k < length / 2; ++k) {
            const Complex w(std::cos(angle * static_cast<Real>(k)),
                            std::sin(angle * static_cast<Real>(k)));
            for (std::size_t i = k; i < n; i += length) {
                const Complex u = a[i];
                const Complex v = a[i + length / 2] * w;
                a[i] = u + v;
                a[i + length / 2] = u - v;
            }
        }
    }
    if (inverse)
        for (Complex& x : a)
            x /= static_cast<Real>(n);
}

std::size_t GridFor(std::size_t taps) {
    std::size_t grid = kMinimumGrid;
    while (grid < taps * kGridPerTap)
        grid <<= 1;
    return grid;
}

// The minimum-phase filter of `length` taps whose squared magnitude is the
// given power response (on a grid of a power-of-two length, positive
// everywhere): the cepstrum of ½·log power, folded onto positive
// quefrencies, is its log spectrum. Exact up to the cepstrum's aliasing on
// the grid when the power is that of an FIR of this length; all its zeros
// then lie inside the unit circle, as the power has none on it.
std::vector<Real> MinimumPhaseFromPower(const std::vector<Real>& power, std::size_t length) {
    const std::size_t grid = power.size();
    std::vector<Complex> a(grid);
    for (std::size_t k = 0; k < grid; ++k)
        a[k] = Complex(0.5L * std::log(power[k]), 0.0L);
    Fft(a, true);
    for (std::size_t n = 1; n < grid / 2; ++n)
        a[n] *= 2.0L;
    for (std::size_t n = grid / 2 + 1; n < grid; ++n)
        a[n] = 0.0L;
    Fft(a, false);
    for (Complex& x : a)
        x = std::exp(x);
    Fft(a, true);
    std::vector<Real> h(length);
    Real sum = 0.0L;
    for (std::size_t n = 0; n < h.size(); ++n) {
        h[n] = a[n].real();
        sum += h[n];
    }
    for (Real& tap : h)
        tap /= sum;
    return h;
}

// The response of a symmetric prototype p of length 2N − 1 whose response
// dips below zero at most by its stop-band ripple, lifted by its deepest
// trough and a little more: positive, the power of an FIR of length N.
std::vector<Real> LiftedPrototypeResponse(const std::vector<Real>& p) {
    const std::size_t middle = (p.size() - 1) / 2;
    const std::size_t grid = GridFor(p.size());
    std::vector<Complex> a(grid, Complex(0.0L));
    for (std::size_t m = 0; m <= middle; ++m) {
        a[m] = p[middle + m];
        if (m > 0)
            a[grid - m] = p[middle - m];
    }
    Fft(a, false);
    Real lowest = 0.0L;
    for (const Complex& x : a)
        lowest = std::min(lowest, x.real());
    const Real lift = -lowest * (1.0L + kLiftMargin);
    std::vector<Real> power(grid);
    for (std::size_t k = 0; k < grid; ++k)
        power[k] = a[k].real() + lift;
    return power;
}

// |G|² + lift of a filter g, from its own spectrum (so that the stop band's
// squares keep their relative precision).
std::vector<Real> LiftedPower(const std::vector<Real>& g, Real lift) {
    std::vector<Complex> a(GridFor(2 * g.size()), Complex(0.0L));
    std::copy(g.begin(), g.end(), a.begin());
    Fft(a, false);
    std::vector<Real> power(a.size());
    for (std::size_t k = 0; k < a.size(); ++k)
        power[k] = std::norm(a[k]) + lift;
    return power;
}

std::vector<Complex> Spectrum(const std::vector<double>& taps, int points) {
    std::vector<Complex> a(static_cast<std::size_t>(points), Complex(0.0L));
    for (std::size_t n = 0; n < taps.size(); ++n)
        a[n % a.size()] += taps[n];
    Fft(a, false);
    return a;
}

std::vector<double> Rounded(const std::vector<Real>& taps) {
    return std::vector<double>(taps.begin(), taps.end());
}

} // namespace

double PeakDb(const std::vector<double>& taps, double from, int points) {
    const std::vector<Complex> a = Spectrum(taps, points);
    Real peak = 0.0L;
    for (int k = 0; k <= points / 2; ++k)
        if (static_cast<double>(k) / points >= from)
            peak = std::max(peak, std::abs(a[static_cast<std::size_t>(k)]));
    return static_cast<double>(20.0L * std::log10(std::max(peak, 1e-300L)));
}

double PassbandDeviationDb(const std::vector<double>& taps, double to, int points) {
    const std::vector<Complex> a = Spectrum(taps, points);
    Real worst = 0.0L;
    for (int k = 0; static_cast<double>(k) / points <= to; ++k)
        worst = std::max(worst,
                         std::fabs(20.0L * std::log10(std::abs(a[static_cast<std::size_t>(k)]))));
    return static_cast<double>(worst);
}

namespace {

enum class Outcome { Meets, TooShort, Failed };

// A design of a given length: Meets with the taps, TooShort when the filter
// of that length has larger ripples, Failed when the exchange does not
// converge (in long double it loses its accuracy as the prototype's stop
// band nears 10^-16 for long filters with a wide transition band).
using Method = Outcome (*)(const LowpassGoal& goal, int length, std::vector<double>& taps);

// The equiripple filter itself (linear phase, odd lengths), or for minimum
// phase the minimum-phase filter of its magnitude, lifted by a twentieth of
// its stop band's square: the same length, the magnitude within 2.5 % of the
// filter's in the stop band.
Outcome Equiripple(const LowpassGoal& goal, int length, std::vector<double>& taps) {
    const Real stop = StopbandGoal(goal);
    const EquirippleLowpass filter = DesignEquiripple((length - 1) / 2, goal.passbandEnd,
                                                      goal.stopbandBegin, kPassbandRipple / stop);
    if (filter.taps.empty())
        return Outcome::Failed;
    if (filter.passbandRipple > kPassbandRipple)
        return Outcome::TooShort;
    if (!goal.minimumPhase) {
        taps = Rounded(filter.taps);
        return Outcome::Meets;
    }
    const Real lift = kLiftMargin * filter.stopbandRipple * filter.stopbandRipple;
    taps = Rounded(MinimumPhaseFromPower(LiftedPower(filter.taps, lift), filter.taps.size()));
    return Outcome::Meets;
}

// Minimum phase only: the spectral factor of an equiripple prototype of
// length 2·length − 1 whose stop band is the square of the wanted one. For
// the same ripples it is about a third shorter than the reflected
// equiripple filter, since the magnitude need not be that of a linear-phase
// filter of the same length.
Outcome FactoredEquiripple(const LowpassGoal& goal, int length, std::vector<double>& taps) {
    const Real stop = StopbandGoal(goal);
    // The lift adds up to the prototype's trough to its stop band.
    const Real prototypeStop = stop * stop / (2.0L + kLiftMargin);
    const EquirippleLowpass prototype = DesignEquiripple(
        length - 1, goal.passbandEnd, goal.stopbandBegin, kPassbandRipple / prototypeStop);
    if (prototype.taps.empty())
        return Outcome::Failed;
    if (prototype.passbandRipple > kPassbandRipple)
        return Outcome::TooShort;
    taps = Rounded(MinimumPhaseFromPower(LiftedPrototypeResponse(prototype.taps),
                                         static_cast<std::size_t>(length)));
    return Outcome::Meets;
}

// Zeros of the filter outside the unit circle: the winding of its response
// about the origin as the frequency runs once round, negated (each zero
// inside adds a turn, each pole of z^−(N−1) takes one). The grid resolves
// the phase swing past every zero near the circle.
int ZerosOutside(const std::vector<double>& taps) {
    std::size_t grid = GridFor(taps.size());
    while (grid < taps.size() * kWindingGridPerTap)
        grid <<= 1;
    std::vector<Complex> a(grid, Complex(0.0L));
    for (std::size_t n = 0; n < taps.size(); ++n)
        a[n] = taps[n];
    Fft(a, false);
    Real turns = 0.0L;
    for (std::size_t k = 0; k < grid; ++k)
        turns += std::arg(a[(k + 1) % grid] / a[k]);
    return -static_cast<int>(std::lround(turns / (2.0L * kPi)));
}

bool MeetsSpec(const std::vector<double>& taps, const LowpassGoal& goal) {
    for (const double tap : taps)
        if (!std::isfinite(tap))
            return false;
    if (goal.minimumPhase && ZerosOutside(taps) != 0)
        return false;
    const int grid = static_cast<int>(GridFor(taps.size()));
    return PeakDb(taps, goal.stopbandBegin, grid) <= -(goal.attenuationDb + kMarginDb) &&
           PassbandDeviationDb(taps, goal.passbandEnd, grid) <= kPassbandLimitDb;
}

// The shortest length (in steps of `step`) at which the method's rounded taps
// pass the dense check: doubling the step from a little below the estimate
// until one passes, then bisection. Empty when the method fails first.
std::vector<double> Shortest(Method method, const LowpassGoal& goal, Real estimate, int step) {
    const auto attempt = [&](int length, std::vector<double>& taps) {
        const Outcome outcome = method(goal, length, taps);
        if (outcome == Outcome::Meets && !MeetsSpec(taps, goal))
            return Outcome::TooShort;
        return outcome;
    };
    const auto onStep = [step](Real length) {
        return std::max(step, static_cast<int>(length) / step * step) + (step == 2 ? 1 : 0);
    };
    int tooShort = 0;
    int length = onStep(0.85L * estimate);
    std::vector<double> best;
    for (int jump = step;; jump *= 2) {
        const Outcome outcome = attempt(length, best);
        if (outcome == Outcome::Failed || length > kMaxTaps)
            return {};
        if (outcome == Outcome::Meets)
            break;
        tooShort = length;
        length += jump;
    }
    while (length - tooShort > step) {
        const int middle = tooShort + (length - tooShort) / (2 * step) * step;
        std::vector<double> taps;
        if (attempt(middle, taps) == Outcome::Meets) {
            length = middle;
            best = taps;
        } else {
            tooShort = middle;
        }
    }
    return best;
}

// Length estimate of an equiripple filter (Kaiser's formula).
Real EquirippleLength(Real passRipple, Real stopRipple, Real transition) {
    return (-10.0L * std::log10(passRipple * stopRipple) - 13.0L) / (14.6L * transition) + 1.0L;
}

} // namespace

std::vector<double> DesignLowpass(const LowpassGoal& goal) {
    // The shorter method where it reaches the row's depth: the factored
    // prototype, else the factored square of the equiripple filter.
    const Real transition = goal.stopbandBegin - goal.passbandEnd;
    const Real stop = StopbandGoal(goal);
    const Real linear = EquirippleLength(kPassbandRipple, stop, transition);
    std::vector<double> taps;
    if (goal.minimumPhase) {
        const Real factored =
            (EquirippleLength(kPassbandRipple, stop * stop / 2.0L, transition) + 1.0L) / 2.0L;
        taps = Shortest(&FactoredEquiripple, goal, factored, 1);
        if (taps.empty())
            taps = Shortest(&Equiripple, goal, linear, 2);
    } else {
        taps = Shortest(&Equiripple, goal, linear, 2);
    }
    return taps;
}

} // namespace equalizer::design
