// Sequences of host calls decoded from the input, in any order a host (or a
// broken host) might make them, on one long-lived instance: set-up with valid
// and invalid rates, block sizes, sample sizes and modes; activation;
// processing with random block sizes, channel counts, sample sizes and
// parameter queues (any ID, offsets outside the block, values outside [0, 1]
// and non-numbers); bypass; state in and out; controller edits; idle ticks;
// terminate and initialize again. After every call: no crash, no leak,
// every parameter finite and in range, finite output for finite input, and a
// saved state of the documented size.

#include "ComponentHarness.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <limits>

using namespace fuzzing;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct SetupRequest {
    double rate;
    int32 maxBlock;
    int32 sampleSize;
    int32 mode;
};

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

double PickValue(FuzzedDataProvider& input) {
    static constexpr double odd[] = {-1.0, 2.0, kInf, -kInf, kNaN, 0.5000001, 1e-300};
    if (input.ConsumeProbability<double>() < 0.1)
        return input.PickValueInArray(odd);
    return input.ConsumeProbability<double>();
}

class Session {
public:
    void Run(FuzzedDataProvider& input) {
        // Set-up, activation and stopping rebuild the resamplers, which takes
        // a fifth of a second under the sanitizers: allowed, twice, in one
        // input of sixteen, so that the rest run thousands a second.
        int resetsLeft = input.ConsumeIntegralInRange(0, 15) == 0 ? 2 : 0;
        for (int op = 0; op < 48 && input.remaining_bytes() > 0; ++op) {
            switch (input.ConsumeIntegralInRange<int>(0, 10)) {
            case 0:
                if (resetsLeft-- > 0)
                    Setup(input);
                break;
            case 1:
                if (resetsLeft-- > 0)
                    eq.SetActive(input.ConsumeBool());
                break;
            case 2:
                if (resetsLeft-- > 0)
                    eq.SetProcessing(input.ConsumeBool());
                break;
            case 3:
                Process(input);
                break;
            case 4: {
                const auto bytes =
                    input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange(0, 100));
                eq.SetState(bytes.data(), bytes.size());
                break;
            }
            case 5: {
                std::vector<uint8_t> saved;
                FUZZ_CHECK(eq.GetState(saved) == kResultOk, "getState");
                FUZZ_CHECK(static_cast<int64>(saved.size()) == kStateBytes, "saved %zu bytes",
                           saved.size());
                break;
            }
            case 6:
                eq.controller->setParamNormalized(PickId(input), PickValue(input));
                break;
            case 7:
                eq.Idle(input.ConsumeIntegralInRange<uint64_t>(0, 100));
                break;
            case 8:
                if (input.ConsumeProbability<double>() < 0.2 && resetsLeft-- > 0) {
                    eq.component->terminate();
                    FUZZ_CHECK(eq.component->initialize(eq.context->Unknown()) == kResultOk,
                               "initialize after terminate");
                    eq.controller->setComponentHandler(eq.handler);
                }
                break;
            case 9: {
                const uint32 latency = eq.processor->getLatencySamples();
                FUZZ_CHECK(latency < 1u << 20, "latency %u", latency);
                eq.processor->getTailSamples();
                break;
            }
            case 10: {
                SpeakerArrangement in =
                    input.ConsumeBool() ? SpeakerArr::kStereo : SpeakerArr::kMono;
                SpeakerArrangement out = input.ConsumeBool() ? in : SpeakerArr::k51;
                eq.processor->setBusArrangements(&in, 1, &out, 1);
                break;
            }
            }
            eq.CheckParameters();
        }
    }

    Session() { eq.Start(48000.0, maxBlock, kSample64); }

private:
    void Setup(FuzzedDataProvider& input) {
        static constexpr double rates[] = {44100.0, 48000.0, 96000.0, 0.0, -48000.0, kNaN, kInf};
        static constexpr int32 blocks[] = {512, 64, 1, 4096, 0, -16};
        static constexpr int32 sizes[] = {kSample32, kSample64, 7};
        static constexpr int32 modes[] = {kRealtime, kOffline, kPrefetch, 9};
        const SetupRequest request{input.PickValueInArray(rates), input.PickValueInArray(blocks),
                                   input.PickValueInArray(sizes), input.PickValueInArray(modes)};
        if (eq.Setup(request.rate, request.maxBlock, request.sampleSize, request.mode) ==
            kResultOk) {
            maxBlock = request.maxBlock;
        }
    }

    void Process(FuzzedDataProvider& input) {
        changes.Clear();
        const int32 frames = input.ConsumeIntegralInRange<int32>(0, maxBlock + 64);
        const int points = input.ConsumeIntegralInRange(0, 6);
        for (int p = 0; p < points; ++p) {
            const int32 offset = input.ConsumeIntegralInRange<int32>(-4, frames + 4);
            changes.Add(PickId(input), offset < 0 ? 0 : offset, PickValue(input));
        }
        const int32 inChannels = input.ConsumeIntegralInRange<int32>(0, 2);
        const int32 outChannels = input.ConsumeIntegralInRange<int32>(0, 2);
        const int32 size = input.ConsumeProbability<double>() < 0.1
                               ? (eq.sampleSize == kSample64 ? kSample32 : kSample64)
                               : -1;
        eq.Process(frames, inChannels, outChannels, &changes, size,
                   input.ConsumeIntegral<uint32_t>());
    }

    Component eq;
    vst3host::ParameterChanges changes;
    int32 maxBlock = 512;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One instance lives through all inputs, like a host session that never
    // ends; a fresh instance per input would spend its time in set-up.
    static Session* session = new Session;
    FuzzedDataProvider input(data, size);
    session->Run(input);
    return 0;
}
