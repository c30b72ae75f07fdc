#include "equalizer/ResamplerQuality.h"

namespace equalizer {

namespace {

constexpr ResamplerQuality kRows[] = {
    {20.0, 80.0, true}, {15.0, 96.0, true}, {10.0, 120.0, true},
    {5.0, 150.0, true}, {2.0, 180.0, true}, {2.0, 180.0, false},
};
constexpr ResamplerQuality kFallbackRow = {10.0, 120.0, true};

} // namespace

ResamplerQuality LookUpResamplerQuality(int quality) noexcept {
    constexpr int rowCount = static_cast<int>(sizeof(kRows) / sizeof(kRows[0]));
    if (quality < 0 || quality >= rowCount)
        return kFallbackRow;
    return kRows[quality];
}

} // namespace equalizer
