// Typed text against the equalizer's parameter set: whatever a user or a host
// types, parsing yields a value inside the parameter's range and on its step,
// and the display text of any value parses back to that value within half a
// display step.

#include "EqualizerParamSet.h"
#include "FuzzCheck.h"

#include "plugin/IParam.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cmath>
#include <cstring>
#include <string>

namespace {

using plugin::IParam;

constexpr int kParams = fuzzing::kEqualizerParams;

std::array<IParam, kParams>& Params() {
    static std::array<IParam, kParams> params;
    static const bool configured = [] {
        fuzzing::ConfigureEqualizerParams([](int i) { return &params[i]; });
        return true;
    }();
    (void)configured;
    return params;
}

bool OnStep(const IParam& param, double value) {
    if (!param.HasFlag(IParam::Stepped))
        return true;
    const double steps = value / param.Step();
    return std::fabs(steps - std::round(steps)) < 1e-9;
}

bool Terminated(const plugin::ParamText& text) {
    return std::memchr(text, '\0', plugin::kParamTextBytes) != nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const IParam& param = Params()[input.ConsumeIntegralInRange<int>(0, kParams - 1)];
    const double probe = input.ConsumeFloatingPoint<double>();
    const std::string typed = input.ConsumeRemainingBytesAsString();

    // Parsing: any text, including embedded garbage, "nan", "inf", huge
    // exponents, gives a finite in-range value on the step.
    const double parsed = param.ParseValueText(typed.c_str());
    FUZZ_CHECK(std::isfinite(parsed), "%s: \"%s\" -> %g", param.Name(), typed.c_str(), parsed);
    FUZZ_CHECK(parsed >= param.Min() && parsed <= param.Max(), "%s: \"%s\" -> %g", param.Name(),
               typed.c_str(), parsed);
    FUZZ_CHECK(OnStep(param, parsed), "%s: \"%s\" -> %.17g", param.Name(), typed.c_str(), parsed);

    // Display: any real value or position gives a terminated text, and the
    // text of an in-range value reads back as that value.
    plugin::ParamText text;
    std::memset(text, 'x', sizeof text);
    param.FormatValue(probe, true, text);
    FUZZ_CHECK(Terminated(text), "%s: position %g", param.Name(), probe);
    std::memset(text, 'x', sizeof text);
    param.FormatValue(probe, false, text);
    FUZZ_CHECK(Terminated(text), "%s: value %g", param.Name(), probe);

    if (std::isfinite(probe)) {
        const double value = param.LimitValue(probe);
        param.FormatValue(value, false, text);
        const double back = param.ParseValueText(text);
        // Half a unit in the last shown decimal, plus rounding of the text.
        const double tolerance = 0.5 * std::pow(10.0, -param.DisplayPrecision()) + 1e-9;
        FUZZ_CHECK(std::fabs(back - value) <= tolerance, "%s: %.17g shows \"%s\", reads %.17g",
                   param.Name(), value, text, back);
    }
    return 0;
}
