#pragma once

// The small value types every part of the editor shares: rectangles,
// colours, blends, text styles, pointer and key events, bitmaps and cursor
// shapes. Plain values, copied freely; any thread may use them.

#include <cstdint>
#include <memory>
#include <string>

namespace ui {

// A rectangle in logical units (or pixels, where a caller says so).
// All four fields 0 is the empty rectangle.
struct IRectangle {
    float L = 0.0f;
    float T = 0.0f;
    float R = 0.0f;
    float B = 0.0f;

    constexpr IRectangle() = default;
    constexpr IRectangle(float left, float top, float right, float bottom)
        : L(left), T(top), R(right), B(bottom) {}

    constexpr float W() const { return R - L; }
    constexpr float H() const { return B - T; }
    constexpr float MW() const { return (L + R) * 0.5f; }
    constexpr float MH() const { return (T + B) * 0.5f; }
    constexpr float Area() const { return W() * H(); }
    constexpr bool Empty() const { return L == 0.0f && T == 0.0f && R == 0.0f && B == 0.0f; }
    // False for the empty rectangle; else L <= x < R and T <= y < B.
    constexpr bool Contains(float x, float y) const {
        return !Empty() && x >= L && x < R && y >= T && y < B;
    }
    // Every point of other lies inside (edges included); false when either is empty.
    constexpr bool Contains(const IRectangle& other) const {
        return !Empty() && !other.Empty() && other.L >= L && other.T >= T && other.R <= R &&
               other.B <= B;
    }
    // Neither empty, and R >= o.L, L < o.R, B >= o.T, T < o.B.
    constexpr bool Intersects(const IRectangle& o) const {
        return !Empty() && !o.Empty() && R >= o.L && L < o.R && B >= o.T && T < o.B;
    }
    constexpr IRectangle GetPadded(float amount) const {
        return {L - amount, T - amount, R + amount, B + amount};
    }
    constexpr IRectangle GetTranslated(float dx, float dy) const {
        return {L + dx, T + dy, R + dx, B + dy};
    }
    // A w x h box centred inside this rectangle.
    constexpr IRectangle GetCentredInside(float w, float h) const {
        const float left = MW() - w * 0.5f;
        const float top = MH() - h * 0.5f;
        return {left, top, left + w, top + h};
    }
    constexpr bool operator==(const IRectangle&) const = default;
};

// Colour components 0 to 255, in the order A, R, G, B.
struct IColour {
    int32_t A = 255;
    int32_t R = 0;
    int32_t G = 0;
    int32_t B = 0;
    constexpr bool operator==(const IColour&) const = default;
};

inline constexpr IColour kColourBlack{255, 0, 0, 0};
inline constexpr IColour kColourWhite{255, 255, 255, 255};
inline constexpr IColour kColourTranslucent{10, 0, 0, 0};
inline constexpr IColour kColourRed{255, 255, 0, 0};

// How a drawing operation is composited. Operations that take a pointer to
// a blend treat null as kBlendDefault at weight 1.
enum BlendType : int32_t {
    kBlendDefault = 0, // source over
    kBlendSourceIn = 1,
    kBlendSourceOut = 2,
    kBlendSourceAtop = 3,
    kBlendDestOver = 4,
    kBlendDestIn = 5,
    kBlendDestOut = 6,
    kBlendDestAtop = 7,
    kBlendAdd = 8,
    kBlendXor = 9,
    // any other value clears
};

struct IBlendMode {
    int32_t type = kBlendDefault;
    float weight = 1.0f; // 1 is opaque
};

enum HorizontalAlign : int32_t { kAlignNear = 0, kAlignCenter = 1, kAlignFar = 2 };
enum VerticalAlign : int32_t { kVAlignTop = 0, kVAlignMiddle = 1, kVAlignBottom = 2 };

// A text style of fixed size. size is the distance from the font's ascender
// line to its descender line, in logical units (not the em size).
struct ITextStyle {
    static constexpr int kFontIdBytes = 64;

    char font[kFontIdBytes] = "Roboto-Regular"; // id registered with LoadFont
    float size = 14.0f;
    IColour color = kColourBlack;
    IColour entryBackground = kColourWhite; // text-entry field opened with this style
    IColour entryForeground = kColourBlack;
    float angle = 0.0f; // degrees
    int32_t align = kAlignCenter;
    int32_t valign = kVAlignMiddle;
};

struct IPointerModifiers {
    bool L = false;      // left button
    bool R = false;      // right button
    bool S = false;      // Shift
    bool C = false;      // Control
    bool A = false;      // Alt
    int64_t touchId = 0; // 0 for the mouse
    float touchRadius = 0.0f;
};

// Positions and movements in logical units.
struct IPointerEvent {
    float x = 0.0f;
    float y = 0.0f;
    float dX = 0.0f;
    float dY = 0.0f;
    IPointerModifiers modifiers;
};

// A key press or release as the editor sees it.
struct IKeyEvent {
    int32_t virtualKey = 0; // Windows virtual-key code (the VST 3 binding's table)
    char utf8[8] = {};      // the key's text, NUL-terminated
    bool shift = false;
    bool control = false;
    bool alt = false;
};

enum class CursorShape : int32_t {
    Arrow = 0,
    TextBeam = 1,
    Wait = 2,
    Cross = 3,
    UpArrow = 4,
    SizeNWSE = 5, // diagonal, north-west to south-east
    SizeNESW = 6,
    SizeWE = 7,
    SizeNS = 8,
    Move = 9,
    Forbidden = 10,
    Hand = 11,
    ArrowWait = 12,
    Help = 13,
};

// A backend image: decoded pixels or a drawable layer. The backend derives
// from it; the editor core only reads these four values.
class APIBitmap {
public:
    APIBitmap(int32_t pixelWidth, int32_t pixelHeight, int32_t scale, float drawScale)
        : pixelWidth(pixelWidth), pixelHeight(pixelHeight), scale(scale), drawScale(drawScale) {}
    virtual ~APIBitmap() = default;
    APIBitmap(const APIBitmap&) = delete;
    APIBitmap& operator=(const APIBitmap&) = delete;

    int32_t PixelWidth() const { return pixelWidth; }
    int32_t PixelHeight() const { return pixelHeight; }
    // The resolution variant: 1, 2, 3 ...
    int32_t Scale() const { return scale; }
    float DrawScale() const { return drawScale; }

private:
    int32_t pixelWidth;
    int32_t pixelHeight;
    int32_t scale;
    float drawScale;
};

// An editor bitmap. The image is shared with the process-wide bitmap cache;
// an empty bitmap has no image, sizes 0 and frames 0.
struct IBitmapRef {
    std::shared_ptr<APIBitmap> api;
    int32_t width = 0;  // logical: pixel width / the image's scale, truncated
    int32_t height = 0; // logical
    int32_t frames = 0;
    bool framesAreHorizontal = false;
    std::string name; // resource name, to reload it at another scale

    bool IsValid() const { return api != nullptr; }
    // One frame's logical size (integer division).
    int32_t FrameWidth() const {
        return framesAreHorizontal && frames > 0 ? width / frames : width;
    }
    int32_t FrameHeight() const {
        return !framesAreHorizontal && frames > 0 ? height / frames : height;
    }
};

} // namespace ui
