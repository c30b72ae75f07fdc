#pragma once

// PNG bytes to premultiplied 32-bit pixels, through Cairo's own decoder.

#include "ui/platform/CairoHandles.h"

#include <cstdint>
#include <span>

namespace ui {

// Images with more pixels than this are refused before decoding: the largest
// picture of the editor has under 4 million, and a hostile header may claim
// billions.
inline constexpr uint64_t kMaxDecodedPixels = 64ull << 20;

// [any] An ARGB32 image surface (opaque images get alpha 255), or null when
// the bytes are not a PNG Cairo can decode. The bytes are not kept.
CairoSurface DecodePng(std::span<const uint8_t> bytes);

} // namespace ui
