#include "plugin/IParam.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace plugin {

void CopyParamText(ParamText& destination, const char* source) noexcept {
    if (source == nullptr)
        source = "";
    std::size_t length = 0;
    while (length < kParamTextBytes - 1 && source[length] != '\0')
        ++length;
    std::memcpy(destination, source, length);
    std::memset(destination + length, 0, kParamTextBytes - length);
}

void IParam::Shape::Attach(const IParam&) {}

int32_t IParam::Shape::DisplayKind() const {
    return 0;
}

std::unique_ptr<IParam::Shape> IParam::ShapeLinear::Copy() const {
    return std::make_unique<ShapeLinear>();
}

double IParam::ShapeLinear::ValueFromPosition(double position, const IParam& param) const {
    return (param.Max() - param.Min()) * position + param.Min();
}

double IParam::ShapeLinear::PositionFromValue(double v, const IParam& param) const {
    return (v - param.Min()) / (param.Max() - param.Min());
}

IParam::IParam() : shape(std::make_unique<ShapeLinear>()) {}

IParam::~IParam() = default;

namespace {

// Decimals needed to show one step exactly, capped: a step of 0.1 needs 1.
int32_t PrecisionForStep(double step) {
    int32_t precision = 0;
    double scaled = step;
    while (std::floor(scaled) != scaled && precision < IParam::kMaxDisplayPrecision) {
        ++precision;
        scaled *= 10.0;
    }
    return precision;
}

// round() with halves away from zero, as an int that cannot overflow: values
// beyond the int range (or NaN, which only bad input produces) are pinned.
int RoundToInt(double v) {
    const double rounded = std::round(v);
    if (std::isnan(rounded))
        return 0;
    if (rounded <= static_cast<double>(INT_MIN))
        return INT_MIN;
    if (rounded >= static_cast<double>(INT_MAX))
        return INT_MAX;
    return static_cast<int>(rounded);
}

} // namespace

void IParam::ConfigureDouble(const char* newName, double newDefault, double newMin, double newMax,
                             double newStep, const char* newLabel, int32_t newFlags,
                             const char* newGroup, const Shape& newShape, int32_t newUnit,
                             DisplayFunction newDisplayFunction) {
    if (kind == KindNone)
        kind = KindDouble;
    CopyParamText(name, newName);
    CopyParamText(label, newLabel);
    CopyParamText(group, newGroup);
    min = newMin;
    // A range narrower than one step would make every position the same value.
    max = newMax < newMin + newStep ? newMin + newStep : newMax;
    step = newStep;
    defaultValue = newDefault;
    unit = newUnit;
    flags = newFlags;
    displayFunction = std::move(newDisplayFunction);
    value.store(LimitValue(newDefault));
    displayPrecision = PrecisionForStep(step);
    if (std::unique_ptr<Shape> copy = newShape.Copy()) {
        shape = std::move(copy);
        shape->Attach(*this);
    }
}

void IParam::ConfigureEnum(const char* newName, int32_t defaultIndex, int32_t count,
                           const char* newLabel, int32_t newFlags, const char* newGroup,
                           std::initializer_list<const char*> texts) {
    if (kind == KindNone)
        kind = KindEnum;
    ConfigureDouble(newName, defaultIndex, 0.0, static_cast<double>(count) - 1.0, 1.0, newLabel,
                    newFlags | Stepped, newGroup, ShapeLinear{}, kDefaultUnit, {});
    int32_t index = 0;
    for (const char* text : texts) {
        if (index >= count)
            break;
        AddValueText(index, text);
        ++index;
    }
}

void IParam::ConfigureBool(const char* newName, bool newDefault, const char* newLabel,
                           int32_t newFlags, const char* newGroup, const char* offText,
                           const char* onText) {
    if (kind == KindNone)
        kind = KindBool;
    ConfigureEnum(newName, newDefault ? 1 : 0, 2, newLabel, newFlags | Stepped, newGroup);
    AddValueText(0.0, offText);
    AddValueText(1.0, onText);
}

void IParam::AddValueText(double textValue, const char* text) {
    ValueText entry;
    entry.value = textValue;
    CopyParamText(entry.text, text);
    valueTexts.push_back(entry);
}

void IParam::SetValue(double newValue) noexcept {
    if (std::isnan(newValue))
        return;
    value.store(LimitValue(newValue), std::memory_order_seq_cst);
}

double IParam::ExchangeValue(double newValue) noexcept {
    if (std::isnan(newValue))
        return value.load();
    return value.exchange(LimitValue(newValue), std::memory_order_seq_cst);
}

double IParam::LimitValue(double v) const noexcept {
    // A non-positive step cannot define a grid; such a parameter is limited
    // to its range only.
    if ((flags & Stepped) != 0 && step > 0.0)
        v = std::round(v / step) * step;
    if (min > v)
        v = min;
    if (max < v)
        v = max;
    return v;
}

double IParam::NormalizeValue(double v) const noexcept {
    const double position = shape->PositionFromValue(LimitValue(v), *this);
    if (!(position >= 0.0))
        return 0.0;
    return position > 1.0 ? 1.0 : position;
}

double IParam::DenormalizeValue(double position) const noexcept {
    return LimitValue(shape->ValueFromPosition(position, *this));
}

void IParam::FormatValue(double v, bool isNormalized, ParamText& text, bool useValueTexts) const {
    if (isNormalized)
        v = LimitValue(shape->ValueFromPosition(v, *this));

    if (displayFunction) {
        text[0] = '\0';
        displayFunction(v, text);
        text[kParamTextBytes - 1] = '\0';
        return;
    }

    if (useValueTexts) {
        for (const ValueText& entry : valueTexts) {
            if (entry.value != v)
                continue;
            if (entry.text[0] != '\0') {
                CopyParamText(text, entry.text);
                return;
            }
            break;
        }
    }

    if ((flags & NegatedDisplay) != 0)
        v = -v;
    if (v == 0.0)
        v = 0.0; // never show "-0"

    if (displayPrecision == 0)
        std::snprintf(text, kParamTextBytes, "%d", RoundToInt(v));
    else if ((flags & SignedDisplay) != 0 && v != 0.0)
        std::snprintf(text, kParamTextBytes, "%+.*f", static_cast<int>(displayPrecision), v);
    else
        std::snprintf(text, kParamTextBytes, "%.*f", static_cast<int>(displayPrecision), v);
}

double IParam::ParseValueText(const char* text) const {
    if (text == nullptr)
        text = "";
    for (const ValueText& entry : valueTexts) {
        if (std::strcmp(text, entry.text) == 0)
            return entry.value;
    }
    if (kind == KindBool || kind == KindEnum)
        return 0.0;

    // strtod with no end pointer reads exactly what atof reads: leading white
    // space skipped, the longest numeric prefix, 0 when there is none.
    double number = std::strtod(text, nullptr);
    // "nan" is a number to the C library but no value a parameter can take.
    if (std::isnan(number))
        number = 0.0;
    if ((flags & NegatedDisplay) != 0)
        number = -number;
    return LimitValue(number);
}

const char* IParam::TextForValue(double v) const noexcept {
    for (const ValueText& entry : valueTexts) {
        if (entry.value == v)
            return entry.text;
    }
    return "";
}

const char* IParam::LabelForDisplay() const noexcept {
    const double whole = std::trunc(CurrentValue());
    for (const ValueText& entry : valueTexts) {
        if (entry.value == whole && entry.text[0] != '\0')
            return "";
    }
    return label;
}

const IParam::ValueText* IParam::ValueTextAt(int32_t index) const noexcept {
    if (index < 0 || index >= ValueTextCount())
        return nullptr;
    return &valueTexts[static_cast<std::size_t>(index)];
}

} // namespace plugin
