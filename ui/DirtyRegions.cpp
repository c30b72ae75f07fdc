#include "ui/DirtyRegions.h"

#include <algorithm>
#include <cmath>

namespace ui {

IRectangle Intersection(const IRectangle& a, const IRectangle& b) {
    return {std::max(a.L, b.L), std::max(a.T, b.T), std::min(a.R, b.R), std::min(a.B, b.B)};
}

IRectangle Union(const IRectangle& a, const IRectangle& b) {
    if (a.Empty())
        return b;
    if (b.Empty())
        return a;
    return {std::min(a.L, b.L), std::min(a.T, b.T), std::max(a.R, b.R), std::max(a.B, b.B)};
}

IRectangle AlignOutwardToPixels(const IRectangle& rect, float pixelScale) {
    const float s = pixelScale;
    return {std::floor(rect.L * s) / s, std::floor(rect.T * s) / s, std::ceil(rect.R * s) / s,
            std::ceil(rect.B * s) / s};
}

namespace {

// Inclusive containment: every point of inner lies inside outer.
bool Encloses(const IRectangle& outer, const IRectangle& inner) {
    return inner.L >= outer.L && inner.T >= outer.T && inner.R <= outer.R && inner.B <= outer.B;
}

// The two share an area, not just an edge.
bool Overlap(const IRectangle& a, const IRectangle& b) {
    return a.L < b.R && b.L < a.R && a.T < b.B && b.T < a.B;
}

// Touching or overlapping with the same left and right edges, or the same
// top and bottom edges: their union is then exactly the pixels of the two.
bool Joinable(const IRectangle& a, const IRectangle& b) {
    const bool sameColumns = a.L == b.L && a.R == b.R && a.T <= b.B && b.T <= a.B;
    const bool sameRows = a.T == b.T && a.B == b.B && a.L <= b.R && b.L <= a.R;
    return sameColumns || sameRows;
}

// Writes the parts of cut lying outside keep (keep overlaps cut and does not
// enclose it): at most three pieces, since keep is never inside cut.
int CutOutside(const IRectangle& cut, const IRectangle& keep, IRectangle pieces[4]) {
    int count = 0;
    if (keep.T > cut.T)
        pieces[count++] = {cut.L, cut.T, cut.R, keep.T};
    if (keep.B < cut.B)
        pieces[count++] = {cut.L, keep.B, cut.R, cut.B};
    const float top = std::max(cut.T, keep.T);
    const float bottom = std::min(cut.B, keep.B);
    if (keep.L > cut.L)
        pieces[count++] = {cut.L, top, keep.L, bottom};
    if (keep.R < cut.R)
        pieces[count++] = {keep.R, top, cut.R, bottom};
    return count;
}

// Pass one: afterwards no two regions overlap. Returns after each change to
// rects[i] so that the caller rescans it from the start.
bool ResolveFirstAgainstRest(std::vector<IRectangle>& rects, size_t i) {
    for (size_t j = i + 1; j < rects.size(); ++j) {
        const IRectangle a = rects[i];
        const IRectangle b = rects[j];
        if (Encloses(a, b)) {
            rects.erase(rects.begin() + static_cast<std::ptrdiff_t>(j));
            return true;
        }
        if (Encloses(b, a)) {
            rects[i] = b;
            rects.erase(rects.begin() + static_cast<std::ptrdiff_t>(j));
            return true;
        }
        if (Joinable(a, b)) {
            rects[i] = Union(a, b);
            rects.erase(rects.begin() + static_cast<std::ptrdiff_t>(j));
            return true;
        }
        if (!Overlap(a, b))
            continue;
        // A smaller region that pokes into a larger one keeps only what lies
        // outside it; a notch cut from one side leaves three pieces, so every
        // piece after the first is appended.
        const bool cutFirst = a.Area() < b.Area();
        IRectangle pieces[4];
        const int count = cutFirst ? CutOutside(a, b, pieces) : CutOutside(b, a, pieces);
        rects[cutFirst ? i : j] = pieces[0];
        for (int k = 1; k < count; ++k)
            rects.push_back(pieces[k]);
        if (cutFirst)
            return true;
    }
    return false;
}

// Pass two: regions sharing a whole edge become one.
bool JoinFirstWithRest(std::vector<IRectangle>& rects, size_t i) {
    for (size_t j = i + 1; j < rects.size(); ++j) {
        if (Joinable(rects[i], rects[j])) {
            rects[i] = Union(rects[i], rects[j]);
            rects.erase(rects.begin() + static_cast<std::ptrdiff_t>(j));
            return true;
        }
    }
    return false;
}

} // namespace

void MergeDirtyRects(std::vector<IRectangle>& rects) {
    std::erase_if(rects, [](const IRectangle& r) { return HasNoArea(r); });
    for (size_t i = 0; i < rects.size();) {
        if (!ResolveFirstAgainstRest(rects, i))
            ++i;
    }
    for (size_t i = 0; i < rects.size();) {
        if (!JoinFirstWithRest(rects, i))
            ++i;
    }
}

} // namespace ui
