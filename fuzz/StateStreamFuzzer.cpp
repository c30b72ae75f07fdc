// A host's state stream through the real component: setState with any bytes,
// then getState, then processing. Nothing may crash or leak; every parameter
// must stay finite and in range; the saved stream must have the documented
// layout, hold exactly the restored values and restore to itself; the output
// of finite input must be finite, plain and oversampled, bypassed or not.

#include "ComponentHarness.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Component eq;
    double before[kParams];
    for (int32 i = 0; i < kParams; ++i)
        before[i] = eq.Plugin().ParamAt(i)->CurrentValue();

    const tresult restored = eq.SetState(data, size);
    eq.CheckParameters();
    if (restored == kResultOk) {
        // A stream the plug-in accepted holds all ten values and the flag;
        // each value is the stored one limited to its range, or the old one
        // for a NaN.
        FUZZ_CHECK(static_cast<int64>(size) >= kStateBytes, "accepted %zu bytes", size);
        for (int32 i = 0; i < kParams; ++i) {
            const plugin::IParam& param = *eq.Plugin().ParamAt(i);
            const double stored = LittleEndianDouble(data + 8 * i);
            const double expected = std::isnan(stored) ? before[i] : param.LimitValue(stored);
            FUZZ_CHECK(param.CurrentValue() == expected, "param %d: %.17g, stored %.17g", i,
                       param.CurrentValue(), stored);
        }
    }

    std::vector<uint8_t> saved;
    FUZZ_CHECK(eq.GetState(saved) == kResultOk, "getState");
    FUZZ_CHECK(static_cast<int64>(saved.size()) == kStateBytes, "saved %zu bytes", saved.size());
    for (int32 i = 0; i < kParams; ++i) {
        FUZZ_CHECK(LittleEndianDouble(saved.data() + 8 * i) ==
                       eq.Plugin().ParamAt(i)->CurrentValue(),
                   "saved param %d", i);
    }
    const int32_t bypass = LittleEndianInt32(saved.data() + 8 * kParams);
    FUZZ_CHECK(bypass == 0 || bypass == 1, "bypass flag %d", bypass);
    if (restored == kResultOk) {
        // The host-visible bypass parameter follows the stored flag; the
        // processor's own flag (saved above) changes only when the host
        // processes a bypass change.
        const double flag = LittleEndianInt32(data + 8 * kParams);
        const double expected = flag < 0.0 ? 0.0 : flag > 1.0 ? 1.0 : flag;
        FUZZ_CHECK(eq.controller->getParamNormalized(kBypassId) == expected,
                   "bypass parameter %.17g, stored flag %g",
                   eq.controller->getParamNormalized(kBypassId), flag);
    }

    // What was saved restores to itself.
    FUZZ_CHECK(eq.SetState(saved.data(), saved.size()) == kResultOk, "reload");
    std::vector<uint8_t> again;
    FUZZ_CHECK(eq.GetState(again) == kResultOk && again == saved, "round trip");

    // The same stream drives processing, plain and oversampled, on the
    // shared running instance.
    Component& running = SharedRunning();
    FUZZ_CHECK(running.SetState(saved.data(), saved.size()) == kResultOk, "running setState");
    running.CheckParameters();
    FUZZ_CHECK(running.Process(256, 2, 2) == kResultOk, "process");
    // A host that processes mono 32-bit after setting up stereo 64-bit gets
    // silence or its buffers back, never garbage.
    running.Process(97, 1, 1, nullptr, kSample32);
    running.Idle();
    running.CheckParameters();
    return 0;
}
