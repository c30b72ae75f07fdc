#pragma once

// Values the editor core builds and hands to the drawing backend: transforms,
// fill patterns, fill, stroke and shadow styles, and layers. Plain values.

#include "ui/EditorTypes.h"

#include <array>
#include <cstdint>
#include <memory>

namespace ui {

class IControl;

// x' = xx*x + xy*y + tx, y' = yx*x + yy*y + ty.
struct ITransform {
    double xx = 1.0, yx = 0.0, xy = 0.0, yy = 1.0, tx = 0.0, ty = 0.0;

    bool IsIdentity() const {
        return xx == 1.0 && yx == 0.0 && xy == 0.0 && yy == 1.0 && tx == 0.0 && ty == 0.0;
    }
    bool operator==(const ITransform&) const = default;
};

enum PatternType : int32_t {
    kPatternSolid = 0,
    kPatternLinear = 1,
    kPatternRadial = 2,
    kPatternSweep = 3
};
enum PatternExtend : int32_t {
    kExtendNone = 0,
    kExtendPad = 1,
    kExtendReflect = 2,
    kExtendRepeat = 3
};

struct IColourStop {
    IColour colour;
    float offset = 0.0f;
};

// A plain colour travels as type solid, extend pad, one stop at offset 0 and
// the identity transform.
struct IFillPattern {
    static constexpr int kMaxStops = 16;

    int32_t type = kPatternSolid;
    int32_t extend = kExtendPad;
    std::array<IColourStop, kMaxStops> stops{};
    int32_t stopCount = 0;
    ITransform transform;

    static IFillPattern Solid(const IColour& colour) {
        IFillPattern p;
        p.stops[0] = {colour, 0.0f};
        p.stopCount = 1;
        return p;
    }
};

struct IFillStyle {
    int32_t fillRule = 0;  // 0 non-zero winding, anything else even-odd
    bool preserve = false; // keep the path after filling
};

enum LineCap : int32_t { kCapButt = 0, kCapRound = 1, kCapSquare = 2 };
enum LineJoin : int32_t { kJoinMiter = 0, kJoinRound = 1, kJoinBevel = 2 };

struct IStrokeStyle {
    static constexpr int kMaxDashes = 8;

    float miterLimit = 10.0f;
    bool preserve = false;
    int32_t cap = kCapButt;
    int32_t join = kJoinMiter;
    std::array<float, kMaxDashes> dashes{};
    float dashOffset = 0.0f;
    int32_t dashCount = 0; // 0 is a solid line
};

struct IShadowStyle {
    IFillPattern pattern;
    float blurSize = 0.0f;
    float xOffset = 0.0f; // logical units
    float yOffset = 0.0f;
    float opacity = 1.0f;
    bool drawForeground = true;
};

// A layer being drawn into (the core keeps a stack of them).
struct IDrawLayer {
    std::shared_ptr<APIBitmap> bitmap; // made by the backend's CreateLayerBitmap
    IControl* control = nullptr;
    IRectangle controlRect;
    IRectangle rect; // the layer's rectangle, aligned to pixels, logical units
    bool invalidated = false;
};

} // namespace ui
