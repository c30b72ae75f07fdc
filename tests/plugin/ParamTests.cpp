#include "plugin/IParam.h"

#include "AllocationCounter.h"
#include "AllocationCounterSupported.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

using plugin::IParam;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string Format(const IParam& param, double v, bool isNormalized = false,
                   bool useValueTexts = true) {
    plugin::ParamText text;
    std::memset(text, 'x', sizeof text);
    param.FormatValue(v, isNormalized, text, useValueTexts);
    EXPECT_NE(std::memchr(text, '\0', sizeof text), nullptr) << "text not terminated";
    return text;
}

void ConfigureLevel(IParam& param, int32_t flags = 0) {
    param.ConfigureDouble("LoShelf Level", 0.0, -20.0, 20.0, 0.1, "dB", flags);
}

void ConfigureHighPass(IParam& param) {
    param.ConfigureEnum("HPF", 0, 6, "", 0, "",
                        {"Off", "30 Hz", "50 Hz", "80 Hz", "160 Hz", "300 Hz"});
}

// value = min + (max - min) * position^2; counts how it is attached.
class SquareShape : public IParam::Shape {
public:
    explicit SquareShape(int* attachCount) : attachCount(attachCount) {}
    std::unique_ptr<Shape> Copy() const override {
        return std::make_unique<SquareShape>(attachCount);
    }
    void Attach(const IParam& param) override {
        ++*attachCount;
        attachedTo = &param;
    }
    double ValueFromPosition(double position, const IParam& param) const override {
        return param.Min() + (param.Max() - param.Min()) * position * position;
    }
    double PositionFromValue(double value, const IParam& param) const override {
        return std::sqrt((value - param.Min()) / (param.Max() - param.Min()));
    }
    int* attachCount;
    const IParam* attachedTo = nullptr;
};

} // namespace

TEST(ParamDefinition, FreshParameterIsUnconfiguredLinearUnitInterval) {
    IParam param;
    EXPECT_EQ(param.Kind(), IParam::KindNone);
    EXPECT_EQ(param.Min(), 0.0);
    EXPECT_EQ(param.Max(), 1.0);
    EXPECT_EQ(param.Step(), 1.0);
    EXPECT_EQ(param.CurrentValue(), 0.0);
    EXPECT_EQ(param.DefaultValue(), 0.0);
    EXPECT_EQ(param.Unit(), 21);
    EXPECT_EQ(param.Flags(), 0);
    EXPECT_EQ(param.DisplayPrecision(), 0);
    EXPECT_STREQ(param.Name(), "");
    EXPECT_STREQ(param.Label(), "");
    EXPECT_STREQ(param.GroupName(), "");
    EXPECT_EQ(param.ValueTextCount(), 0);
    EXPECT_EQ(param.GetShape().ValueFromPosition(0.25, param), 0.25);
    EXPECT_EQ(param.GetShape().PositionFromValue(0.75, param), 0.75);
    EXPECT_EQ(param.GetShape().DisplayKind(), 0);
}

TEST(ParamDefinition, ConfigureDoubleStoresFieldsAndStartsAtLimitedDefault) {
    IParam param;
    param.ConfigureDouble("Gain", 15.0, -20.0, 10.0, 0.1, "dB", IParam::NotAutomatable, "Out",
                          IParam::ShapeLinear{}, 7);
    EXPECT_EQ(param.Kind(), IParam::KindDouble);
    EXPECT_STREQ(param.Name(), "Gain");
    EXPECT_STREQ(param.Label(), "dB");
    EXPECT_STREQ(param.GroupName(), "Out");
    EXPECT_EQ(param.Min(), -20.0);
    EXPECT_EQ(param.Max(), 10.0);
    EXPECT_EQ(param.DefaultValue(), 15.0);
    EXPECT_EQ(param.CurrentValue(), 10.0); // default limited to the range
    EXPECT_EQ(param.Unit(), 7);
    EXPECT_TRUE(param.HasFlag(IParam::NotAutomatable));
    EXPECT_FALSE(param.HasFlag(IParam::Stepped));
}

TEST(ParamDefinition, MaxIsNeverBelowMinPlusStep) {
    IParam degenerate;
    degenerate.ConfigureDouble("a", 0.0, 0.0, 0.0, 1.0);
    EXPECT_EQ(degenerate.Max(), 1.0);

    IParam reversed;
    reversed.ConfigureDouble("b", 0.0, 5.0, 2.0, 0.5);
    EXPECT_EQ(reversed.Min(), 5.0);
    EXPECT_EQ(reversed.Max(), 5.5);
}

TEST(ParamDefinition, DisplayPrecisionIsDecimalsOfStepCappedAtSix) {
    const struct {
        double step;
        int32_t precision;
    } cases[] = {{1.0, 0}, {2.0, 0}, {0.1, 1}, {0.5, 1}, {0.25, 2}, {0.0000001, 6}, {1e-12, 6}};
    for (const auto& c : cases) {
        IParam param;
        param.ConfigureDouble("p", 0.0, 0.0, 100.0, c.step);
        EXPECT_EQ(param.DisplayPrecision(), c.precision) << "step " << c.step;
    }
}

TEST(ParamDefinition, TextsLongerThan31CharactersAreCut) {
    IParam param;
    const char* longText = "0123456789012345678901234567890123456789";
    param.ConfigureEnum(longText, 0, 2, longText, 0, longText, {longText, nullptr});
    EXPECT_EQ(std::string(param.Name()), std::string(longText, 31));
    EXPECT_EQ(std::string(param.Label()), std::string(longText, 31));
    EXPECT_EQ(std::string(param.GroupName()), std::string(longText, 31));
    EXPECT_EQ(std::string(param.TextForValue(0.0)), std::string(longText, 31));
    EXPECT_STREQ(param.ValueTextAt(1)->text, ""); // a null text reads as empty

    IParam nulls;
    nulls.ConfigureDouble(nullptr, 0.0, 0.0, 1.0, 0.1, nullptr, 0, nullptr);
    EXPECT_STREQ(nulls.Name(), "");
    EXPECT_STREQ(nulls.Label(), "");
}

TEST(ParamDefinition, EnumAndBoolAreSteppedListsWithTheirTexts) {
    IParam hpf;
    ConfigureHighPass(hpf);
    EXPECT_EQ(hpf.Kind(), IParam::KindEnum);
    EXPECT_EQ(hpf.Min(), 0.0);
    EXPECT_EQ(hpf.Max(), 5.0);
    EXPECT_EQ(hpf.Step(), 1.0);
    EXPECT_TRUE(hpf.HasFlag(IParam::Stepped));
    EXPECT_EQ(hpf.ValueTextCount(), 6);
    EXPECT_EQ(hpf.ValueTextAt(4)->value, 4.0);
    EXPECT_STREQ(hpf.ValueTextAt(4)->text, "160 Hz");
    EXPECT_EQ(hpf.ValueTextAt(6), nullptr);
    EXPECT_EQ(hpf.ValueTextAt(-1), nullptr);

    IParam extraTexts;
    extraTexts.ConfigureEnum("e", 1, 2, "", 0, "", {"a", "b", "c"});
    EXPECT_EQ(extraTexts.ValueTextCount(), 2);
    EXPECT_EQ(extraTexts.CurrentValue(), 1.0);

    IParam noTexts;
    noTexts.ConfigureEnum("e", 0, 4);
    EXPECT_EQ(noTexts.ValueTextCount(), 0);

    IParam oversampling;
    oversampling.ConfigureBool("Oversampling", true, "", IParam::NotAutomatable, "", "off", "on");
    EXPECT_EQ(oversampling.Kind(), IParam::KindBool);
    EXPECT_EQ(oversampling.Max(), 1.0);
    EXPECT_EQ(oversampling.CurrentValue(), 1.0);
    EXPECT_EQ(oversampling.Flags(), IParam::NotAutomatable | IParam::Stepped);
    EXPECT_STREQ(oversampling.TextForValue(0.0), "off");
    EXPECT_STREQ(oversampling.TextForValue(1.0), "on");
}

TEST(ParamDefinition, ShapeIsCopiedAndAttachedToTheParameter) {
    int attachCount = 0;
    IParam param;
    {
        SquareShape shape(&attachCount);
        param.ConfigureDouble("sq", 0.0, 0.0, 100.0, 0.1, "", 0, "", shape);
        EXPECT_EQ(shape.attachedTo, nullptr); // the caller's shape is only copied
    }                                         // the parameter must not depend on the caller's shape
    EXPECT_EQ(attachCount, 1);
    EXPECT_EQ(static_cast<const SquareShape&>(param.GetShape()).attachedTo, &param);
    EXPECT_DOUBLE_EQ(param.DenormalizeValue(0.5), 25.0);
    EXPECT_DOUBLE_EQ(param.NormalizeValue(25.0), 0.5);
}

TEST(ParamValues, SteppedLimitRoundsHalvesAwayFromZeroThenClamps) {
    IParam hpf;
    ConfigureHighPass(hpf);
    EXPECT_EQ(hpf.LimitValue(2.5), 3.0);
    EXPECT_EQ(hpf.LimitValue(2.49), 2.0);
    EXPECT_EQ(hpf.LimitValue(2.6), 3.0);
    EXPECT_EQ(hpf.LimitValue(9.0), 5.0);
    EXPECT_EQ(hpf.LimitValue(-0.5), 0.0); // -1 after rounding, then clamped

    IParam symmetric;
    symmetric.ConfigureDouble("s", 0.0, -5.0, 5.0, 0.5, "", IParam::Stepped);
    EXPECT_EQ(symmetric.LimitValue(-1.25), -1.5); // -2.5 steps -> -3 steps
    EXPECT_EQ(symmetric.LimitValue(1.25), 1.5);
    EXPECT_EQ(symmetric.LimitValue(0.2), 0.0);
}

TEST(ParamValues, NonSteppedLimitOnlyClamps) {
    IParam level;
    ConfigureLevel(level);
    EXPECT_EQ(level.LimitValue(1.234), 1.234);
    EXPECT_EQ(level.LimitValue(20.0001), 20.0);
    EXPECT_EQ(level.LimitValue(-25.0), -20.0);
    EXPECT_EQ(level.LimitValue(kInf), 20.0);
    EXPECT_EQ(level.LimitValue(-kInf), -20.0);
    EXPECT_TRUE(std::isnan(level.LimitValue(kNaN)));
    level.SetValue(1.234);
    EXPECT_EQ(level.CurrentValue(), 1.234);
    EXPECT_EQ(Format(level, level.CurrentValue()), "1.2");
}

TEST(ParamValues, SetValueLimitsAndIgnoresNaN) {
    IParam gain;
    gain.ConfigureDouble("Gain", 0.0, -20.0, 10.0, 0.1, "dB");
    gain.SetValue(15.0);
    EXPECT_EQ(gain.CurrentValue(), 10.0);
    gain.SetValue(-3.0);
    gain.SetValue(kNaN);
    EXPECT_EQ(gain.CurrentValue(), -3.0);
    gain.SetFromNormalized(kNaN);
    EXPECT_EQ(gain.CurrentValue(), -3.0);
    EXPECT_EQ(gain.ExchangeValue(kNaN), -3.0);
    EXPECT_EQ(gain.CurrentValue(), -3.0);
    EXPECT_EQ(gain.ExchangeValue(-kInf), -3.0);
    EXPECT_EQ(gain.CurrentValue(), -20.0);
}

TEST(ParamValues, LinearNormalizationOfDoubleAndEnum) {
    IParam level;
    ConfigureLevel(level);
    EXPECT_EQ(level.NormalizeValue(0.0), 0.5);
    EXPECT_EQ(level.NormalizeValue(-20.0), 0.0);
    EXPECT_EQ(level.NormalizeValue(20.0), 1.0);
    EXPECT_EQ(level.NormalizeValue(100.0), 1.0); // limited before mapping
    EXPECT_EQ(level.NormalizeValue(kNaN), 0.0);
    EXPECT_DOUBLE_EQ(level.DenormalizeValue(0.75), 10.0);
    EXPECT_EQ(level.DenormalizeValue(1.5), 20.0);
    level.SetFromNormalized(0.25);
    EXPECT_DOUBLE_EQ(level.CurrentValue(), -10.0);
    EXPECT_DOUBLE_EQ(level.CurrentNormalized(), 0.25);

    IParam hpf;
    ConfigureHighPass(hpf);
    EXPECT_EQ(hpf.NormalizeValue(5.0), 1.0);
    EXPECT_EQ(hpf.DenormalizeValue(0.5), 3.0); // 2.5 rounded away from zero
    EXPECT_EQ(hpf.DenormalizeValue(0.49), 2.0);
    for (int k = 0; k <= 5; ++k) {
        EXPECT_EQ(hpf.DenormalizeValue(k / 5.0), k);
        EXPECT_DOUBLE_EQ(hpf.NormalizeValue(k), k / 5.0);
    }
}

TEST(ParamValues, ValueOperationsDoNotAllocate) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    IParam hpf;
    ConfigureHighPass(hpf);
    testing_support::AllocationCounter counter;
    double sum = 0.0;
    for (int i = 0; i < 100; ++i) {
        hpf.SetValue(i * 0.1);
        hpf.SetFromNormalized(i / 100.0);
        sum += hpf.LimitValue(i) + hpf.CurrentNormalized() + hpf.ExchangeValue(i % 6);
        sum += hpf.DenormalizeValue(0.3) + hpf.NormalizeValue(2.0);
        sum += std::strlen(hpf.TextForValue(2.0)) + std::strlen(hpf.LabelForDisplay());
    }
    EXPECT_EQ(counter.Count(), 0u);
    EXPECT_GT(sum, 0.0);
}

TEST(ParamText, DoubleFormatsWithStepDecimalsAndPositiveZero) {
    IParam level;
    ConfigureLevel(level);
    EXPECT_EQ(Format(level, 2.5), "2.5");
    EXPECT_EQ(Format(level, -20.0), "-20.0");
    EXPECT_EQ(Format(level, -0.0), "0.0");
    EXPECT_EQ(Format(level, 0.5, true), "0.0");
    EXPECT_EQ(Format(level, 1.0, true), "20.0");
    EXPECT_EQ(Format(level, 0.25, true), "-10.0");

    IParam huge;
    huge.ConfigureDouble("h", 0.0, 0.0, 1e300, 0.1);
    const std::string text = Format(huge, 1e300);
    EXPECT_EQ(text.size(), 31u); // cut to the text room, never overflowed
    EXPECT_EQ(text.substr(0, 3), "100");
}

TEST(ParamText, SignedAndNegatedDisplay) {
    IParam signedLevel;
    ConfigureLevel(signedLevel, IParam::SignedDisplay);
    EXPECT_EQ(Format(signedLevel, 2.5), "+2.5");
    EXPECT_EQ(Format(signedLevel, -2.5), "-2.5");
    EXPECT_EQ(Format(signedLevel, 0.0), "0.0");
    EXPECT_EQ(Format(signedLevel, -0.0), "0.0");

    IParam negated;
    ConfigureLevel(negated, IParam::NegatedDisplay);
    EXPECT_EQ(Format(negated, 2.5), "-2.5");
    EXPECT_EQ(Format(negated, -3.0), "3.0");
    EXPECT_EQ(Format(negated, 0.0), "0.0"); // -(+0) is -0, shown as 0
    EXPECT_EQ(negated.ParseValueText("3"), -3.0);
    EXPECT_EQ(negated.ParseValueText("-7.5"), 7.5);

    IParam negatedWhole;
    negatedWhole.ConfigureDouble("n", 0.0, -10.0, 10.0, 1.0, "", IParam::NegatedDisplay);
    EXPECT_EQ(Format(negatedWhole, 0.0), "0");
    EXPECT_EQ(Format(negatedWhole, 4.0), "-4");
}

TEST(ParamText, WholeStepsRoundHalvesAwayFromZero) {
    // printf's %.0f would round these halves to even; the display must not.
    IParam param;
    param.ConfigureDouble("w", 0.0, -10.0, 10.0, 1.0);
    EXPECT_EQ(Format(param, 2.5), "3");
    EXPECT_EQ(Format(param, -2.5), "-3");
    EXPECT_EQ(Format(param, 0.5), "1");
    EXPECT_EQ(Format(param, 1e12), "2147483647"); // pinned, no overflow
    EXPECT_EQ(Format(param, kNaN), "0");
}

TEST(ParamText, ValueTextsReplaceNumbersUnlessDisabled) {
    IParam hpf;
    ConfigureHighPass(hpf);
    EXPECT_EQ(Format(hpf, 0.0), "Off");
    EXPECT_EQ(Format(hpf, 0.0, false, false), "0");
    EXPECT_EQ(Format(hpf, 0.2, true), "30 Hz");
    EXPECT_EQ(Format(hpf, 0.5, true), "80 Hz");
    EXPECT_STREQ(hpf.TextForValue(1.0), "30 Hz");
    EXPECT_STREQ(hpf.TextForValue(1.5), "");

    IParam partly;
    partly.ConfigureEnum("p", 0, 4);
    partly.AddValueText(1.0, "");
    partly.AddValueText(1.0, "one"); // only the first entry for a value counts
    partly.AddValueText(2.0, "two");
    EXPECT_EQ(Format(partly, 1.0), "1");
    EXPECT_EQ(Format(partly, 2.0), "two");
    EXPECT_EQ(Format(partly, 3.0), "3");
}

TEST(ParamText, DisplayFunctionReplacesFormatting) {
    IParam param;
    param.ConfigureDouble(
        "f", 0.0, 0.0, 10.0, 0.1, "", 0, "", IParam::ShapeLinear{}, 21,
        [](double v, plugin::ParamText& text) { std::snprintf(text, sizeof text, "<%g>", v); });
    param.AddValueText(5.0, "five");
    EXPECT_EQ(Format(param, 5.0), "<5>");
    EXPECT_EQ(Format(param, 0.25, true), "<2.5>");
}

TEST(ParamText, ParseMatchesValueTextsExactlyBeforeNumbers) {
    IParam hpf;
    ConfigureHighPass(hpf);
    EXPECT_EQ(hpf.ParseValueText("30 Hz"), 1.0);
    EXPECT_EQ(hpf.ParseValueText("300 Hz"), 5.0);
    EXPECT_EQ(hpf.ParseValueText("30"), 0.0);  // list kinds never read numbers
    EXPECT_EQ(hpf.ParseValueText("off"), 0.0); // case matters
    EXPECT_EQ(hpf.ParseValueText(nullptr), 0.0);

    IParam oversampling;
    oversampling.ConfigureBool("Oversampling", false, "", 0, "", "off", "on");
    EXPECT_EQ(oversampling.ParseValueText("on"), 1.0);
    EXPECT_EQ(oversampling.ParseValueText("1"), 0.0);

    IParam level;
    ConfigureLevel(level);
    level.AddValueText(-20.0, "-inf");
    EXPECT_EQ(level.ParseValueText(" 7.5dB"), 7.5);
    EXPECT_EQ(level.ParseValueText("\t-3"), -3.0);
    EXPECT_EQ(level.ParseValueText("-inf"), -20.0);
    EXPECT_EQ(level.ParseValueText("dB 7.5"), 0.0);
    EXPECT_EQ(level.ParseValueText("55"), 20.0);
    EXPECT_EQ(level.ParseValueText("1e1"), 10.0);
    EXPECT_EQ(level.ParseValueText("nan"), 0.0);
    EXPECT_EQ(level.ParseValueText(""), 0.0);

    IParam offset;
    offset.ConfigureDouble("o", 3.0, 1.0, 5.0, 1.0);
    EXPECT_EQ(offset.ParseValueText("none"), 1.0); // 0, limited
}

TEST(ParamText, FormatThenParseRoundTripsEveryKind) {
    IParam hpf;
    ConfigureHighPass(hpf);
    for (int k = 0; k <= 5; ++k)
        EXPECT_EQ(hpf.ParseValueText(Format(hpf, k).c_str()), k);

    IParam oversampling;
    oversampling.ConfigureBool("Oversampling", false, "", 0, "", "off", "on");
    for (int k = 0; k <= 1; ++k)
        EXPECT_EQ(oversampling.ParseValueText(Format(oversampling, k).c_str()), k);

    IParam gain;
    gain.ConfigureDouble("Gain", 0.0, -20.0, 10.0, 0.1, "dB");
    for (int k = -200; k <= 100; ++k) {
        const double v = k / 10.0;
        EXPECT_NEAR(gain.ParseValueText(Format(gain, v).c_str()), v, 1e-12) << v;
    }

    IParam signedNegated;
    signedNegated.ConfigureDouble("sn", 0.0, -5.0, 5.0, 0.01, "",
                                  IParam::SignedDisplay | IParam::NegatedDisplay);
    for (int k = -500; k <= 500; k += 7) {
        const double v = k / 100.0;
        EXPECT_NEAR(signedNegated.ParseValueText(Format(signedNegated, v).c_str()), v, 1e-12);
    }

    IParam whole;
    whole.ConfigureDouble("w", 0.0, -50.0, 50.0, 1.0, "", IParam::Stepped);
    for (int k = -50; k <= 50; ++k)
        EXPECT_EQ(whole.ParseValueText(Format(whole, k).c_str()), k);
}

TEST(ParamText, LabelIsHiddenWhenTheValueHasAText) {
    IParam hpf;
    hpf.ConfigureEnum("HPF", 0, 6, "Hz", 0, "", {"Off", "30 Hz"});
    EXPECT_STREQ(hpf.LabelForDisplay(), "");
    hpf.SetValue(3.0); // no text for index 3
    EXPECT_STREQ(hpf.LabelForDisplay(), "Hz");

    IParam level;
    ConfigureLevel(level);
    EXPECT_STREQ(level.LabelForDisplay(), "dB");
    level.AddValueText(1.0, "unity");
    level.SetValue(1.7); // truncated to 1 before the lookup
    EXPECT_STREQ(level.LabelForDisplay(), "");
    level.SetValue(-1.7);
    EXPECT_STREQ(level.LabelForDisplay(), "dB");
}
