#include "equalizer/design/FilterDesign.h"

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
// The prototype aims a little lower still, so that most rows need no second
// attempt.
constexpr double kPrototypeExtraDb = 0.5;
// The logarithm of the prototype's magnitude is taken above a floor of this
// fraction of its deepest stop-band lobe, so that its zeros on the unit
// circle do not turn into infinite spikes of the cepstrum.
constexpr long double kLogFloorFraction = 0.01L;
// Cepstral aliasing falls with the grid length; 64 points per tap keeps it
// far below the stop band.
constexpr std::size_t kGridPerTap = 64;
constexpr std::size_t kMinimumGrid = std::size_t{1} << 16;
constexpr int kMaxLengthSteps = 40;

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

Real BesselI0(Real x) {
    Real sum = 1.0L;
    Real term = 1.0L;
    for (int k = 1; k < 500; ++k) {
        term *= (x / (2.0L * k)) * (x / (2.0L * k));
        sum += term;
        if (term < sum * 1e-24L)
            break;
    }
    return sum;
}

Real KaiserBeta(Real attenuationDb) {
    if (attenuationDb > 50.0L)
        return 0.1102L * (attenuationDb - 8.7L);
    if (attenuationDb >= 21.0L)
        return 0.5842L * std::pow(attenuationDb - 21.0L, 0.4L) + 0.07886L * (attenuationDb - 21.0L);
    return 0.0L;
}

// Odd length: symmetric about its middle tap.
std::vector<Real> KaiserLowpass(Real cutoff, Real attenuationDb, std::size_t length) {
    const Real beta = KaiserBeta(attenuationDb);
    const Real middle = static_cast<Real>(length - 1) / 2.0L;
    const Real norm = BesselI0(beta);
    std::vector<Real> taps(length);
    Real sum = 0.0L;
    for (std::size_t n = 0; n < length; ++n) {
        const Real t = static_cast<Real>(n) - middle;
        const Real x = 2.0L * cutoff * t;
        const Real sinc = t == 0.0L ? 1.0L : std::sin(kPi * x) / (kPi * x);
        const Real r = t / middle;
        const Real window = BesselI0(beta * std::sqrt(std::max(0.0L, 1.0L - r * r))) / norm;
        taps[n] = 2.0L * cutoff * sinc * window;
        sum += taps[n];
    }
    for (Real& tap : taps)
        tap /= sum;
    return taps;
}

std::size_t KaiserLength(Real attenuationDb, Real transition) {
    const auto n =
        static_cast<std::size_t>(std::ceil((attenuationDb - 7.95L) / (14.36L * transition))) + 1;
    return n | 1;
}

// The minimum-phase filter with the magnitude of the symmetric prototype g
// and its length: the real cepstrum of log|G|, folded onto positive
// quefrencies, is the log spectrum of the minimum-phase filter (homomorphic
// method). Exact for an FIR up to the floor under |G| and the cepstrum's
// aliasing on the grid, both far below the stop band.
std::vector<Real> MinimumPhase(const std::vector<Real>& g) {
    const std::size_t middle = (g.size() - 1) / 2;
    const std::size_t grid = GridFor(g.size());
    std::vector<Complex> a(grid, Complex(0.0L));
    for (std::size_t m = 0; m <= middle; ++m) {
        a[m] = g[middle + m];
        if (m > 0)
            a[grid - m] = g[middle - m];
    }
    Fft(a, false);
    Real lowest = 0.0L;
    for (const Complex& x : a)
        lowest = std::min(lowest, x.real());
    const Real floor = std::max(-lowest * kLogFloorFraction, 1e-300L);
    for (Complex& x : a)
        x = Complex(std::log(std::fabs(x.real()) + floor), 0.0L);
    Fft(a, true);
    for (std::size_t n = 1; n < grid / 2; ++n)
        a[n] *= 2.0L;
    for (std::size_t n = grid / 2 + 1; n < grid; ++n)
        a[n] = 0.0L;
    Fft(a, false);
    for (Complex& x : a)
        x = std::exp(x);
    Fft(a, true);
    std::vector<Real> h(g.size());
    Real sum = 0.0L;
    for (std::size_t n = 0; n < h.size(); ++n) {
        h[n] = a[n].real();
        sum += h[n];
    }
    for (Real& tap : h)
        tap /= sum;
    return h;
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

std::vector<double> DesignLowpass(const LowpassSpec& spec) {
    const Real transition = spec.stopbandBegin - spec.passbandEnd;
    const Real cutoff = (spec.stopbandBegin + spec.passbandEnd) / 2.0;
    const double goal = -(spec.attenuationDb + kMarginDb);
    const Real prototypeDb = spec.attenuationDb + kMarginDb + kPrototypeExtraDb;
    std::size_t length = KaiserLength(prototypeDb, transition);
    std::vector<double> taps;
    for (int step = 0; step < kMaxLengthSteps; ++step) {
        const std::vector<Real> prototype = KaiserLowpass(cutoff, prototypeDb, length);
        taps = Rounded(spec.minimumPhase ? MinimumPhase(prototype) : prototype);
        if (PeakDb(taps, spec.stopbandBegin, static_cast<int>(GridFor(taps.size()))) <= goal)
            break;
        length = (length + length / 25 + 2) | 1;
    }
    return taps;
}

} // namespace equalizer::design
