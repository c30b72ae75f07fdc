#pragma once

// The rectangle arithmetic the repaint cycle rests on: growing a control's
// rectangle to cover anti-aliased edges, aligning regions outward to whole
// backing pixels, and merging a list of regions into fewer, larger ones that
// cover exactly the same pixels. Pure functions; any thread.

#include "ui/EditorTypes.h"

#include <vector>

namespace ui {

// [any] The overlap of a and b; its width or height is zero or negative when
// they do not overlap.
IRectangle Intersection(const IRectangle& a, const IRectangle& b);

// [any] The smallest rectangle holding both; an empty rectangle is ignored.
IRectangle Union(const IRectangle& a, const IRectangle& b);

// [any] True when the rectangle covers no area.
inline bool HasNoArea(const IRectangle& r) {
    return !(r.W() > 0.0f) || !(r.H() > 0.0f);
}

// [any] Moves every edge outward to the next whole backing pixel at
// pixelScale (left and top down, right and bottom up), in logical units.
IRectangle AlignOutwardToPixels(const IRectangle& rect, float pixelScale);

// [any] Reduces regions to fewer, larger ones with exactly the same pixel
// coverage: contained regions are dropped, overlapping ones with a common
// side pair are joined, other overlaps are cut so that the smaller region
// keeps only what lies outside the larger one, and regions sharing a whole
// edge are joined. Regions without area are dropped first. Reuses the
// vector's storage; no allocation once it has grown to its working size.
void MergeDirtyRects(std::vector<IRectangle>& rects);

} // namespace ui
