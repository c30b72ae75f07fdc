// Bus-arrangement requests as hosts make them: any number of buses with any
// speaker bits, null arrays included. The plug-in's channel I/O is "1-1 2-2",
// so a request is accepted exactly when it asks for one input and one output
// bus of the same width, one or two channels (a width is the number of
// speakers set); an accepted request is what getBusArrangement then reports,
// a refused one changes nothing. Processing afterwards, even with channel
// counts that differ from the arrangement, gives finite output.

#include "ComponentHarness.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <bit>

using namespace fuzzing;

namespace {

SpeakerArrangement PickArrangement(FuzzedDataProvider& input) {
    // Mostly the layouts hosts really send, sometimes any bits at all.
    static constexpr SpeakerArrangement common[] = {
        SpeakerArr::kEmpty,  SpeakerArr::kMono,     SpeakerArr::kStereo,
        SpeakerArr::k30Cine, SpeakerArr::k51,       SpeakerArr::kStereoSurround,
        SpeakerArr::k71Cine, ~SpeakerArrangement{0}};
    if (input.ConsumeBool())
        return input.PickValueInArray(common);
    return input.ConsumeIntegral<SpeakerArrangement>();
}

SpeakerArrangement Arrangement(IAudioProcessor& processor, BusDirection direction) {
    SpeakerArrangement arrangement = 0;
    processor.getBusArrangement(direction, 0, arrangement);
    return arrangement;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const int32 numIns = input.ConsumeIntegralInRange<int32>(-1, 3);
    const int32 numOuts = input.ConsumeIntegralInRange<int32>(-1, 3);
    const bool nullInputs = input.ConsumeProbability<double>() < 0.05;
    const bool nullOutputs = input.ConsumeProbability<double>() < 0.05;
    SpeakerArrangement ins[3] = {};
    SpeakerArrangement outs[3] = {};
    for (auto& a : ins)
        a = PickArrangement(input);
    for (auto& a : outs)
        a = PickArrangement(input);
    const int32 inChannels = input.ConsumeIntegralInRange<int32>(0, 2);
    const int32 outChannels = input.ConsumeIntegralInRange<int32>(0, 2);
    const int32 frames = input.ConsumeIntegralInRange<int32>(0, 512);
    const bool is64 = input.ConsumeBool();

    // The request on a fresh instance, checked against the rule above.
    {
        Component eq;
        const SpeakerArrangement inBefore = Arrangement(*eq.processor, kInput);
        const SpeakerArrangement outBefore = Arrangement(*eq.processor, kOutput);
        const tresult result = eq.processor->setBusArrangements(
            nullInputs ? nullptr : ins, numIns, nullOutputs ? nullptr : outs, numOuts);
        const int inWidth = std::popcount(ins[0]);
        const bool acceptable = numIns == 1 && numOuts == 1 && !nullInputs && !nullOutputs &&
                                inWidth == std::popcount(outs[0]) && (inWidth == 1 || inWidth == 2);
        FUZZ_CHECK((result == kResultOk) == acceptable,
                   "%d inputs %llx, %d outputs %llx: result %d", numIns,
                   static_cast<unsigned long long>(ins[0]), numOuts,
                   static_cast<unsigned long long>(outs[0]), result);
        const SpeakerArrangement inAfter = Arrangement(*eq.processor, kInput);
        const SpeakerArrangement outAfter = Arrangement(*eq.processor, kOutput);
        if (acceptable) {
            FUZZ_CHECK(std::popcount(inAfter) == inWidth && std::popcount(outAfter) == inWidth,
                       "width %d reported as %llx / %llx", inWidth,
                       static_cast<unsigned long long>(inAfter),
                       static_cast<unsigned long long>(outAfter));
        } else {
            FUZZ_CHECK(inAfter == inBefore && outAfter == outBefore, "refused request changed %llx",
                       static_cast<unsigned long long>(inAfter));
        }
    }

    // An accepted change of width on the running instance (re-activation
    // resets the resamplers, which is slow, so only then), and processing
    // with the host's own idea of the channel counts either way.
    Component& running = SharedRunning();
    const int width = std::popcount(Arrangement(*running.processor, kInput));
    if (numIns == 1 && numOuts == 1 && !nullInputs && !nullOutputs &&
        std::popcount(ins[0]) != width) {
        running.SetProcessing(false);
        running.SetActive(false);
        running.processor->setBusArrangements(ins, numIns, outs, numOuts);
        running.SetActive(true);
        running.SetProcessing(true);
    }
    running.Process(frames, inChannels, outChannels, nullptr, is64 ? kSample64 : kSample32);
    running.CheckParameters();
    return 0;
}
