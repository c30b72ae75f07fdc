#include "equalizer/design/Remez.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace equalizer::design {

namespace {

using Real = long double;
// Binary128, for the final sampling (basic arithmetic only, no library).
using Wide = __float128;

constexpr Real kPi = 3.141592653589793238462643383279502884L;
// Grid points per extremal: enough that the extrema found on the grid are
// within a small fraction of a ripple of the true ones.
constexpr int kGridDensity = 20;
constexpr int kMaxIterations = 100;
// Converged when the largest error exceeds the levelled one by this fraction.
constexpr Real kTolerance = 1e-9L;

struct GridPoint {
    Real x;       // cos(2πf)
    Real desired; // 1 in the pass band, 0 in the stop band
    Real weight;
    int band;
};

std::vector<GridPoint> MakeGrid(int halfOrder, Real passbandEnd, Real stopbandBegin) {
    const Real step = 0.5L / static_cast<Real>(kGridDensity * (halfOrder + 1));
    std::vector<GridPoint> grid;
    const auto addBand = [&](Real from, Real to, Real desired, Real weight, int band) {
        const int count = std::max(2, static_cast<int>(std::ceil((to - from) / step)) + 1);
        for (int i = 0; i < count; ++i) {
            const Real f = from + (to - from) * static_cast<Real>(i) / static_cast<Real>(count - 1);
            grid.push_back({std::cos(2.0L * kPi * f), desired, weight, band});
        }
    };
    addBand(0.0L, passbandEnd, 1.0L, 1.0L, 0);
    addBand(stopbandBegin, 0.5L, 0.0L, 1.0L, 1);
    return grid;
}

// The polynomial through (x[i], c[i]), i < n, evaluated at `at` in the second
// (true) barycentric form, in arithmetic T.
template <class T> class Interpolant {
public:
    Interpolant(const std::vector<Real>& x, const std::vector<Real>& c, std::size_t n)
        : x(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(n)),
          c(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(n)), w(n) {
        for (std::size_t i = 0; i < n; ++i) {
            T product = 1;
            for (std::size_t j = 0; j < n; ++j)
                if (j != i)
                    product *= 2 * (this->x[i] - this->x[j]);
            w[i] = 1 / product;
        }
    }

    T operator()(T at) const {
        T numerator = 0;
        T denominator = 0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            const T d = at - x[i];
            if (d == 0)
                return c[i];
            const T t = w[i] / d;
            numerator += t * c[i];
            denominator += t;
        }
        return numerator / denominator;
    }

private:
    std::vector<T> x, c, w;
};

// Local extrema of the error with alternating signs, each at least the
// levelled error; the largest ones kept when there are more than wanted (the
// old extremals' count). The old extremals take part too: they alternate
// with the levelled error, so rounding cannot lose one of their excursions.
std::vector<std::size_t> FindExtrema(const std::vector<GridPoint>& grid,
                                     const std::vector<Real>& error, Real level,
                                     const std::vector<std::size_t>& old) {
    const std::size_t wanted = old.size();
    std::vector<std::size_t> found = old;
    for (std::size_t g = 0; g < grid.size(); ++g) {
        const bool first = g == 0 || grid[g - 1].band != grid[g].band;
        const bool last = g + 1 == grid.size() || grid[g + 1].band != grid[g].band;
        const Real e = error[g];
        if (std::fabs(e) < level)
            continue;
        const bool peak = e > 0.0L && (first || e >= error[g - 1]) && (last || e > error[g + 1]);
        const bool trough = e < 0.0L && (first || e <= error[g - 1]) && (last || e < error[g + 1]);
        if (peak || trough)
            found.push_back(g);
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    std::vector<std::size_t> alternating;
    for (std::size_t g : found) {
        if (!alternating.empty() && (error[alternating.back()] > 0.0L) == (error[g] > 0.0L)) {
            if (std::fabs(error[g]) > std::fabs(error[alternating.back()]))
                alternating.back() = g;
            continue;
        }
        alternating.push_back(g);
    }
    while (alternating.size() > wanted) {
        // Dropping an end keeps the alternation; drop the smaller end.
        if (std::fabs(error[alternating.front()]) < std::fabs(error[alternating.back()]))
            alternating.erase(alternating.begin());
        else
            alternating.pop_back();
    }
    return alternating;
}

// The levelled error δ for which a polynomial of degree r − 2 meets
// D − (−1)^i δ / W at every one of the r extremals.
Real LevelledError(const std::vector<GridPoint>& grid, const std::vector<std::size_t>& extremal) {
    const std::size_t r = extremal.size();
    Real numerator = 0.0L;
    Real denominator = 0.0L;
    for (std::size_t i = 0; i < r; ++i) {
        const Real xi = grid[extremal[i]].x;
        Real product = 1.0L;
        for (std::size_t j = 0; j < r; ++j)
            if (j != i)
                product *= 2.0L * (xi - grid[extremal[j]].x);
        const Real b = 1.0L / product;
        const Real sign = i % 2 == 0 ? 1.0L : -1.0L;
        numerator += b * grid[extremal[i]].desired;
        denominator += b * sign / grid[extremal[i]].weight;
    }
    return numerator / denominator;
}

// The starting extremals: spread evenly over each band, with the split
// between the bands that gives the largest levelled error (the optimum's
// alternation set maximises it). Evenly over the whole grid instead, a
// heavily weighted stop band starts from a levelled error lost in rounding.
std::vector<std::size_t> InitialExtremals(const std::vector<GridPoint>& grid, std::size_t r) {
    std::size_t passCount = 0;
    while (passCount < grid.size() && grid[passCount].band == 0)
        ++passCount;
    const std::size_t stopCount = grid.size() - passCount;
    const auto spread = [](std::size_t first, std::size_t count, std::size_t points,
                           std::vector<std::size_t>& out) {
        for (std::size_t k = 0; k < points; ++k)
            out.push_back(points == 1 ? first + count - 1 : first + k * (count - 1) / (points - 1));
    };
    std::vector<std::size_t> best;
    Real bestDelta = -1.0L;
    for (std::size_t inPass = 1; inPass < r; ++inPass) {
        if (inPass > passCount || r - inPass > stopCount)
            continue;
        std::vector<std::size_t> extremal;
        spread(0, passCount, inPass, extremal);
        spread(passCount, stopCount, r - inPass, extremal);
        const Real delta = std::fabs(LevelledError(grid, extremal));
        if (delta > bestDelta) {
            bestDelta = delta;
            best = extremal;
        }
    }
    return best;
}

// One exchange run from the given extremals, with the grid's weights.
// Returns false when it fails to converge or loses extremals; otherwise
// leaves the final extremals, the levelled error and the extremal values.
bool Exchange(const std::vector<GridPoint>& grid, std::vector<std::size_t>& extremal, Real& delta,
              std::vector<Real>& c) {
    const std::size_t r = extremal.size();
    std::vector<Real> x(r), error(grid.size());
    c.assign(r, 0.0L);
    for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
        for (std::size_t i = 0; i < r; ++i)
            x[i] = grid[extremal[i]].x;
        delta = LevelledError(grid, extremal);
        for (std::size_t i = 0; i < r; ++i) {
            const Real sign = i % 2 == 0 ? 1.0L : -1.0L;
            c[i] = grid[extremal[i]].desired - sign * delta / grid[extremal[i]].weight;
        }
        const Interpolant<Real> response(x, c, r - 1);
        Real largest = 0.0L;
        for (std::size_t g = 0; g < grid.size(); ++g) {
            error[g] = grid[g].weight * (grid[g].desired - response(grid[g].x));
            largest = std::max(largest, std::fabs(error[g]));
        }
        if (largest - std::fabs(delta) <= kTolerance * std::fabs(delta))
            return true;
        // The extremals themselves carry the levelled error up to rounding.
        const std::vector<std::size_t> next =
            FindExtrema(grid, error, std::fabs(delta) * (1.0L - 1e-6L), extremal);
        if (next.size() < r)
            return false;
        extremal = next;
    }
    return false;
}

} // namespace

EquirippleLowpass DesignEquiripple(int halfOrder, long double passbandEnd,
                                   long double stopbandBegin, long double stopbandWeight) {
    std::vector<GridPoint> grid = MakeGrid(halfOrder, passbandEnd, stopbandBegin);
    const auto r = static_cast<std::size_t>(halfOrder) + 2;
    if (halfOrder < 1 || grid.size() < 2 * r)
        return {};
    for (GridPoint& point : grid)
        if (point.band == 1)
            point.weight = stopbandWeight;
    std::vector<std::size_t> extremal = InitialExtremals(grid, r);
    Real delta = 0.0L;
    std::vector<Real> c;
    if (extremal.size() != r || !Exchange(grid, extremal, delta, c))
        return {};

    // Taps from the response sampled at the length's DFT frequencies. Most of
    // those lie in the transition band, where the polynomial is determined by
    // its values in the bands only through a large amplification: evaluated
    // in long double its rounding there would reach the stop band (10^-11
    // where 10^-13 is wanted). So the sampling and the transform run in
    // binary128; the nodes and values are the exchange's, exactly converted.
    std::vector<Real> x(r);
    for (std::size_t i = 0; i < r; ++i)
        x[i] = grid[extremal[i]].x;
    const Interpolant<Wide> response(x, c, r - 1);
    const int length = 2 * halfOrder + 1;
    const auto angle = [length](int k) {
        return 2.0L * kPi * static_cast<Real>(k % length) / static_cast<Real>(length);
    };
    std::vector<Wide> samples(static_cast<std::size_t>(halfOrder) + 1);
    for (int k = 0; k <= halfOrder; ++k)
        samples[static_cast<std::size_t>(k)] = response(std::cos(angle(k)));
    EquirippleLowpass result;
    result.taps.resize(static_cast<std::size_t>(length));
    // The first half, mirrored: exactly symmetric.
    for (int n = 0; n <= halfOrder; ++n) {
        Wide sum = samples[0];
        const int offset = n - halfOrder + length; // non-negative, same cosines
        for (int k = 1; k <= halfOrder; ++k)
            sum += 2 * samples[static_cast<std::size_t>(k)] * Wide(std::cos(angle(k * offset)));
        const auto tap = static_cast<Real>(sum / length);
        result.taps[static_cast<std::size_t>(n)] = tap;
        result.taps[static_cast<std::size_t>(length - 1 - n)] = tap;
    }
    result.passbandRipple = std::fabs(delta);
    result.stopbandRipple = std::fabs(delta) / stopbandWeight;
    return result;
}

} // namespace equalizer::design
