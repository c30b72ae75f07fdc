#pragma once

// How the editor's blends and fill patterns become Cairo operators and
// sources. Pure functions of their arguments: [any] thread.

#include "ui/DrawingTypes.h"
#include "ui/EditorTypes.h"
#include "ui/platform/CairoHandles.h"

#include <cstdint>

namespace ui {

// Blend type -> operator; no blend is source-over, unknown types clear.
cairo_operator_t BlendOperator(const IBlendMode* blend);
// Extend mode -> Cairo extend; unknown values pad.
cairo_extend_t ExtendMode(int32_t extend);
// A blend's weight as an 8-bit alpha: clamp(trunc(weight x 255), 0, 255) / 255;
// 1 without a blend.
double BlendAlpha(const IBlendMode* blend);
// A colour's alpha (clamped to 0..255) times the weight, truncated and
// clamped; the alpha itself without a blend.
int32_t WeightedAlpha(int32_t alpha, const IBlendMode* blend);

// The source of a fill or stroke, in the user space of the context's current
// matrix: the gradient of a pattern with two or more stops, else its first
// stop's colour. coverRadius: how far (user units) a sweep gradient must
// reach from its centre to cover the drawing.
CairoPattern MakePatternSource(const IFillPattern& pattern, const IBlendMode* blend,
                               double coverRadius);

} // namespace ui
