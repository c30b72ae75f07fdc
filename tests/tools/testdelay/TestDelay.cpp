// A stereo delay line with a reported latency, built on the generic VST 3
// pieces. See TestDelayIds.h for what the renderer tests rely on.
#include "TestDelayIds.h"

#include "plugin/vst3/ModuleEntry.h"
#include "plugin/vst3/PluginFactory.h"
#include "plugin/vst3/SingleComponentEffect.h"

#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "public.sdk/source/vst/vstparameters.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <unistd.h>

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

class TestDelay : public plugin::vst3::SingleComponentEffect {
public:
    tresult PLUGIN_API initialize(FUnknown* context) override {
        const tresult result = SingleComponentEffect::initialize(context);
        if (result != kResultOk)
            return result;
        addAudioInput(STR16("Input"), SpeakerArr::kStereo);
        addAudioOutput(STR16("Output"), SpeakerArr::kStereo);
        auto* polarity = new StringListParameter(STR16("Polarity"), test_delay::kPolarityParamId);
        polarity->appendString(STR16("normal"));
        polarity->appendString(STR16("inverted"));
        parameters.addParameter(polarity);
        auto* pace = new StringListParameter(STR16("Pace"), test_delay::kPaceParamId);
        pace->appendString(STR16("full"));
        pace->appendString(STR16("slow"));
        parameters.addParameter(pace);
        return kResultOk;
    }

    tresult PLUGIN_API canProcessSampleSize(int32 size) override {
        return size == kSample32 || size == kSample64 ? kResultTrue : kResultFalse;
    }
    uint32 PLUGIN_API getLatencySamples() override { return test_delay::kLatencySamples; }

    tresult PLUGIN_API setupProcessing(ProcessSetup& setup) override {
        if (setup.sampleRate < test_delay::kMinRateHz || setup.sampleRate > test_delay::kMaxRateHz)
            return kResultFalse;
        return SingleComponentEffect::setupProcessing(setup);
    }

    tresult PLUGIN_API setProcessing(TBool state) override {
        if (state)
            Clear();
        return kResultOk;
    }

    tresult PLUGIN_API process(ProcessData& data) override {
        ApplyChanges(data.inputParameterChanges);
        if (data.numInputs < 1 || data.numOutputs < 1 || data.numSamples <= 0)
            return kResultOk;
        if (slow.load())
            usleep(test_delay::kSlowMicroseconds);
        const double sign = inverted.load() ? -1.0 : 1.0;
        const AudioBusBuffers& in = data.inputs[0];
        const AudioBusBuffers& out = data.outputs[0];
        const int32 channels = std::min<int32>({in.numChannels, out.numChannels, 2});
        for (int32 c = 0; c < channels; ++c) {
            std::size_t position = positions[static_cast<std::size_t>(c)];
            auto& line = lines[static_cast<std::size_t>(c)];
            for (int32 i = 0; i < data.numSamples; ++i) {
                const double x = data.symbolicSampleSize == kSample64 ? in.channelBuffers64[c][i]
                                                                      : in.channelBuffers32[c][i];
                const double y = sign * line[position];
                line[position] = x;
                position = (position + 1) % line.size();
                if (data.symbolicSampleSize == kSample64)
                    out.channelBuffers64[c][i] = y;
                else
                    out.channelBuffers32[c][i] = static_cast<float>(y);
            }
            positions[static_cast<std::size_t>(c)] = position;
        }
        return kResultOk;
    }

    tresult PLUGIN_API getState(IBStream* stream) override {
        if (!stream)
            return kInvalidArgument;
        unsigned char bytes[test_delay::kStateBytes] = {};
        bytes[0] = inverted.load() ? 1 : 0;
        bytes[4] = slow.load() ? 1 : 0;
        int32 written = 0;
        return stream->write(bytes, test_delay::kStateBytes, &written) == kResultOk &&
                       written == test_delay::kStateBytes
                   ? kResultOk
                   : kResultFalse;
    }

    tresult PLUGIN_API setState(IBStream* stream) override {
        if (!stream)
            return kInvalidArgument;
        unsigned char bytes[test_delay::kStateBytes + 1] = {};
        int32 read = 0;
        stream->read(bytes, test_delay::kStateBytes + 1, &read);
        if (read != test_delay::kStateBytes)
            return kResultFalse;
        for (int i = 0; i < test_delay::kStateBytes; ++i)
            if (bytes[i] > (i % 4 == 0 ? 1 : 0))
                return kResultFalse;
        inverted.store(bytes[0] == 1);
        slow.store(bytes[4] == 1);
        setParamNormalized(test_delay::kPolarityParamId, bytes[0]);
        setParamNormalized(test_delay::kPaceParamId, bytes[4]);
        return kResultOk;
    }

private:
    void Clear() {
        for (auto& line : lines)
            line.fill(0.0);
        positions = {0, 0};
    }

    void ApplyChanges(IParameterChanges* changes) {
        if (!changes)
            return;
        for (int32 i = 0; i < changes->getParameterCount(); ++i) {
            IParamValueQueue* queue = changes->getParameterData(i);
            int32 offset = 0;
            ParamValue value = 0;
            if (!queue || queue->getPoint(queue->getPointCount() - 1, offset, value) != kResultOk)
                continue;
            if (queue->getParameterId() == test_delay::kPolarityParamId)
                inverted.store(value > 0.5);
            else if (queue->getParameterId() == test_delay::kPaceParamId)
                slow.store(value > 0.5);
        }
    }

    std::array<std::array<double, test_delay::kLatencySamples>, 2> lines{};
    std::array<std::size_t, 2> positions{};
    std::atomic<bool> inverted{false};
    std::atomic<bool> slow{false};
};

FUnknown* CreateTestDelay(void*) {
    return static_cast<IAudioProcessor*>(new TestDelay);
}

} // namespace

namespace plugin::vst3 {

PluginFactory* MakePluginFactory() {
    FactoryRecord factoryRecord;
    factoryRecord.vendor = "Corvane Audio Test Bench";
    factoryRecord.flags = PFactoryInfo::kUnicode;
    auto* factory = new PluginFactory(factoryRecord);

    ClassRecord record;
    const FUID cid(test_delay::kClassIdWords[0], test_delay::kClassIdWords[1],
                   test_delay::kClassIdWords[2], test_delay::kClassIdWords[3]);
    cid.toTUID(record.cid);
    record.cardinality = PClassInfo::kManyInstances;
    record.category = kVstAudioEffectClass;
    record.name = test_delay::kClassName;
    record.subCategories = "Fx|Delay";
    record.version = "1.0.0";
    record.sdkVersion = "VST 3.7.2";
    record.create = &CreateTestDelay;
    factory->RegisterClass(record);
    return factory;
}

} // namespace plugin::vst3
