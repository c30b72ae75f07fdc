#pragma once

// The two effects drawn pixel by pixel rather than with Cairo's vector
// operations: the brushed grain of the panel's metal and the blur of soft
// shadows. Both are deterministic: the grain comes from a fixed-seed
// generator, so every build writes the same bytes.

#include <cairo.h>

#include <cstdint>

namespace artwork {

// splitmix64: small, fast, and the same sequence on every machine.
class Random {
public:
    explicit Random(uint64_t seed) : state(seed) {}
    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [-1, 1).
    double Signed() { return static_cast<double>(Next() >> 11) * 0x1.0p-52 - 1.0; }

private:
    uint64_t state;
};

// Brushes an opaque image surface (RGB24, or ARGB32 with full alpha): long
// horizontal streaks, fine per-line variation and a little grain, as
// brightness offsets of a few levels. `scale` is pixels per logical unit, so
// the streaks have the same length on screen at both scales.
void BrushMetal(cairo_surface_t* surface, double scale, uint64_t seed);

// Blurs an A8 surface in place: three box passes each way, close to a
// Gaussian of standard deviation about radius.
void BlurAlpha(cairo_surface_t* surface, int radiusPixels);

} // namespace artwork
