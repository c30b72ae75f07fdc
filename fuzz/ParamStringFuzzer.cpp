// The controller's text interface as a host uses it: getParamValueByString
// with any UTF-16 text (terminated or filling all 128 units) for the ten
// parameters, bypass, the preset selector and unknown IDs, and
// getParamStringByValue with any position. Values must come back finite in
// [0, 1], texts terminated within 128 units, ASCII text must read as the
// parameter model reads it, and a displayed text must read back to a value
// that displays the same.

#include "ComponentHarness.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>

using namespace fuzzing;

namespace {

constexpr size_t kUnits = 128; // String128

bool Terminated(const String128 text) {
    for (size_t i = 0; i < kUnits; ++i) {
        if (text[i] == 0)
            return true;
    }
    return false;
}

std::u16string Text(const String128 text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text));
}

ParamID PickId(FuzzedDataProvider& input) {
    const int choice = input.ConsumeIntegralInRange<int>(0, kParams + 2);
    if (choice < kParams)
        return static_cast<ParamID>(choice);
    if (choice == kParams)
        return kBypassId;
    if (choice == kParams + 1)
        return kPresetId;
    return input.ConsumeIntegral<ParamID>();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Component* eq = new Component; // text calls change nothing
    FuzzedDataProvider input(data, size);
    const ParamID id = PickId(input);
    const double position = input.ConsumeFloatingPoint<double>();
    const bool fillAllUnits = input.ConsumeBool();
    const std::string bytes = input.ConsumeRemainingBytesAsString();

    // The typed text as UTF-16 units, two bytes each; on the heap with no
    // slack, so that reading past its end is caught.
    const size_t units = std::min(bytes.size() / 2, fillAllUnits ? kUnits : kUnits - 1);
    std::vector<TChar> typed(fillAllUnits ? kUnits : units + 1, 0);
    bool ascii = !fillAllUnits;
    for (size_t i = 0; i < units; ++i) {
        typed[i] = static_cast<TChar>(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8);
        ascii = ascii && typed[i] > 0 && typed[i] < 0x80;
    }
    if (fillAllUnits) {
        for (size_t i = units; i < kUnits; ++i)
            typed[i] = u'7';
    }

    ParamValue parsed = -1.0;
    const tresult parseResult = eq->controller->getParamValueByString(id, typed.data(), parsed);
    const bool known = id < static_cast<ParamID>(kParams) || id == kBypassId || id == kPresetId;
    if (!known)
        FUZZ_CHECK(parseResult != kResultOk, "unknown id %u parsed", id);
    if (parseResult == kResultOk) {
        FUZZ_CHECK(parsed >= 0.0 && parsed <= 1.0, "id %u: text read as %.17g", id, parsed);
    }
    if (ascii && id < static_cast<ParamID>(kParams)) {
        std::string narrow;
        for (size_t i = 0; i < units; ++i)
            narrow += static_cast<char>(typed[i]);
        const plugin::IParam& param = *eq->Plugin().ParamAt(static_cast<int32_t>(id));
        const double expected = param.NormalizeValue(param.ParseValueText(narrow.c_str()));
        FUZZ_CHECK(parseResult == kResultOk && parsed == expected,
                   "id %u: \"%s\" read as %.17g, the parameter reads %.17g", id, narrow.c_str(),
                   parsed, expected);
    }

    String128 shown;
    std::fill(std::begin(shown), std::end(shown), TChar{'x'});
    const tresult showResult = eq->controller->getParamStringByValue(id, position, shown);
    if (!known)
        FUZZ_CHECK(showResult != kResultOk, "unknown id %u shown", id);
    if (showResult == kResultOk) {
        FUZZ_CHECK(Terminated(shown), "id %u: text of %.17g not terminated", id, position);
        if (position >= 0.0 && position <= 1.0) {
            ParamValue back = -1.0;
            FUZZ_CHECK(eq->controller->getParamValueByString(id, shown, back) == kResultOk,
                       "id %u: own text refused", id);
            FUZZ_CHECK(back >= 0.0 && back <= 1.0, "id %u: own text read as %.17g", id, back);
            String128 again;
            FUZZ_CHECK(eq->controller->getParamStringByValue(id, back, again) == kResultOk, "id %u",
                       id);
            FUZZ_CHECK(Text(again) == Text(shown), "id %u: %.17g and %.17g show differently", id,
                       position, back);
        }
    }
    return 0;
}
