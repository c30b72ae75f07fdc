#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

namespace plugin {

// Fixed text room of the parameter model: 31 characters and the terminator.
// Longer names, labels and texts are cut at 31 bytes, never overflowed.
inline constexpr int kParamTextBytes = 32;
using ParamText = char[kParamTextBytes];

// A host-visible setting: a real value in its own unit and range, mapped to a
// normalized position in [0, 1] through a shape, limited to its range and step,
// and turned into display text and back.
//
// Configuration (the Configure*/AddValueText calls) happens once, on the UI
// thread, before the plug-in is shared between threads. After that only the
// value changes: one sequentially consistent atomic store, so every thread may
// read and set it without a lock. Reading, setting, normalizing and limiting
// are wait-free and never allocate; formatting and parsing are for the UI and
// host threads.
class IParam {
public:
    enum ParamKind : int32_t {
        KindNone = 0,
        KindBool = 1,
        KindInt = 2,
        KindEnum = 3,
        KindDouble = 4,
    };

    enum ParamFlag : int32_t {
        NotAutomatable = 1,
        Stepped = 2,
        NegatedDisplay = 4, // shows -value, parses typed numbers as -number
        SignedDisplay = 8,  // non-zero values shown with an explicit sign
    };

    static constexpr int32_t kDefaultUnit = 21;
    static constexpr int kMaxDisplayPrecision = 6;

    // Maps between a real value and a normalized position.
    class Shape {
    public:
        virtual ~Shape() = default;
        virtual std::unique_ptr<Shape> Copy() const = 0;
        virtual void Attach(const IParam& param);
        virtual int32_t DisplayKind() const;
        virtual double ValueFromPosition(double position, const IParam& param) const = 0;
        virtual double PositionFromValue(double value, const IParam& param) const = 0;
    };

    // value = (max - min) * position + min.
    class ShapeLinear : public Shape {
    public:
        std::unique_ptr<Shape> Copy() const override;
        double ValueFromPosition(double position, const IParam& param) const override;
        double PositionFromValue(double value, const IParam& param) const override;
    };

    // Replaces the built-in formatting; writes at most kParamTextBytes bytes.
    using DisplayFunction = std::function<void(double value, ParamText& text)>;

    struct ValueText {
        double value = 0.0;
        ParamText text = {};
    };

    IParam();
    ~IParam();
    IParam(const IParam&) = delete;
    IParam& operator=(const IParam&) = delete;

    // Definition ---------------------------------------------------------
    // [ui, before sharing] Null texts read as "".
    void ConfigureDouble(const char* name, double defaultValue, double min, double max, double step,
                         const char* label = "", int32_t flags = 0, const char* group = "",
                         const Shape& shape = ShapeLinear{}, int32_t unit = kDefaultUnit,
                         DisplayFunction displayFunction = {});
    // [ui, before sharing] texts name the indexes 0, 1, ... in order; entries
    // beyond count are ignored.
    void ConfigureEnum(const char* name, int32_t defaultIndex, int32_t count,
                       const char* label = "", int32_t flags = 0, const char* group = "",
                       std::initializer_list<const char*> texts = {});
    // [ui, before sharing]
    void ConfigureBool(const char* name, bool defaultValue, const char* label = "",
                       int32_t flags = 0, const char* group = "", const char* offText = "off",
                       const char* onText = "on");
    // [ui, before sharing]
    void AddValueText(double value, const char* text);

    // Values ---------------------------------------------------------------
    // [any] wait-free
    double CurrentValue() const noexcept { return value.load(); }
    // [any] wait-free. A NaN is ignored: the parameter keeps its value.
    void SetValue(double newValue) noexcept;
    // [any] wait-free. Stores like SetValue and returns the value it replaced
    // (the current value when newValue is NaN).
    double ExchangeValue(double newValue) noexcept;
    // [any] wait-free. Rounds to the step (halves away from zero) when
    // Stepped, then clamps to [min, max]. A NaN passes through.
    double LimitValue(double v) const noexcept;
    // [any] wait-free. In [0, 1]; a NaN gives 0.
    double NormalizeValue(double v) const noexcept;
    // [any] wait-free
    double DenormalizeValue(double position) const noexcept;
    // [any] wait-free
    void SetFromNormalized(double position) noexcept { SetValue(DenormalizeValue(position)); }
    // [any] wait-free
    double CurrentNormalized() const noexcept { return NormalizeValue(CurrentValue()); }

    // Text -----------------------------------------------------------------
    // [ui] The display text of v (a position when isNormalized).
    void FormatValue(double v, bool isNormalized, ParamText& text, bool useValueTexts = true) const;
    // [ui] The real value a typed text stands for.
    double ParseValueText(const char* text) const;
    // [any] The text of the first value text for exactly v, or "".
    const char* TextForValue(double v) const noexcept;
    // [any] "" when the current value has a non-empty value text, else the label.
    const char* LabelForDisplay() const noexcept;

    // Read as stored ---------------------------------------------------------
    // [any]
    ParamKind Kind() const noexcept { return kind; }
    int32_t Unit() const noexcept { return unit; }
    double Min() const noexcept { return min; }
    double Max() const noexcept { return max; }
    double Step() const noexcept { return step; }
    double DefaultValue() const noexcept { return defaultValue; }
    int32_t DisplayPrecision() const noexcept { return displayPrecision; }
    int32_t Flags() const noexcept { return flags; }
    bool HasFlag(ParamFlag flag) const noexcept { return (flags & flag) != 0; }
    const char* Name() const noexcept { return name; }
    const char* Label() const noexcept { return label; }
    const char* GroupName() const noexcept { return group; }
    const Shape& GetShape() const noexcept { return *shape; }
    int32_t ValueTextCount() const noexcept { return static_cast<int32_t>(valueTexts.size()); }
    // [any] Null outside 0 ... ValueTextCount() - 1.
    const ValueText* ValueTextAt(int32_t index) const noexcept;

private:
    ParamKind kind = KindNone;
    int32_t unit = kDefaultUnit;
    std::atomic<double> value{0.0};
    double min = 0.0;
    double max = 1.0;
    double step = 1.0;
    double defaultValue = 0.0;
    int32_t displayPrecision = 0;
    int32_t flags = 0;
    ParamText name = {};
    ParamText label = {};
    ParamText group = {};
    std::unique_ptr<Shape> shape;
    DisplayFunction displayFunction;
    std::vector<ValueText> valueTexts;
};

// [any] Copies text (null reads as "") into a fixed buffer, cutting it at
// kParamTextBytes - 1 bytes; the result is always terminated.
void CopyParamText(ParamText& destination, const char* source) noexcept;

} // namespace plugin
