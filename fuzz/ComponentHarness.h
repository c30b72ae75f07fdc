#pragma once

// One Lumaro EQ instance made through the module's own factory and driven
// through its VST 3 interfaces only, as a host drives it, for the fuzz
// targets that work on the whole component. The module's sources are
// compiled into the fuzz target, so the factory, the binding and the
// equalizer are the real ones, instrumented.

#include "FuzzCheck.h"

#include "equalizer/LumaroEQ.h"
#include "equalizer/Parameters.h"
#include "host/ComponentHandler.h"
#include "host/HostContext.h"
#include "host/ParameterChanges.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "public.sdk/source/common/memorystream.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory();

namespace fuzzing {

using namespace Steinberg;
using namespace Steinberg::Vst;

inline constexpr ParamID kBypassId = 0x10000;
inline constexpr ParamID kPresetId = 0x10001;
inline constexpr int32 kParams = equalizer::ParamCount;
// State stream: ten little-endian doubles, then the bypass flag as int32.
inline constexpr int64 kStateBytes = 8 * kParams + 4;

template <typename Interface> IPtr<Interface> Query(FUnknown* object) {
    Interface* result = nullptr;
    if (object == nullptr ||
        object->queryInterface(Interface::iid, reinterpret_cast<void**>(&result)) != kResultOk)
        return nullptr;
    return owned(result);
}

class Component {
public:
    Component() {
        factory = owned(GetPluginFactory());
        FUZZ_CHECK(factory, "no factory");
        PClassInfo info;
        FUZZ_CHECK(factory->getClassInfo(0, &info) == kResultOk, "no class");
        IComponent* made = nullptr;
        FUZZ_CHECK(factory->createInstance(info.cid, IComponent::iid,
                                           reinterpret_cast<void**>(&made)) == kResultOk &&
                       made != nullptr,
                   "createInstance");
        component = owned(made);
        processor = Query<IAudioProcessor>(component);
        controller = Query<IEditController>(component);
        FUZZ_CHECK(processor && controller, "interfaces");
        context = owned(new vst3host::HostContext);
        handler = owned(new vst3host::RecordingComponentHandler);
        FUZZ_CHECK(component->initialize(context->Unknown()) == kResultOk, "initialize");
        controller->setComponentHandler(handler);
        initialized = true;
    }

    ~Component() {
        if (processing)
            processor->setProcessing(false);
        if (active)
            component->setActive(false);
        controller->setComponentHandler(nullptr);
        if (initialized)
            component->terminate();
    }

    // The plug-in object behind the interfaces, to read parameter values in
    // their own units.
    equalizer::LumaroEQ& Plugin() const {
        return *static_cast<equalizer::LumaroEQ*>(processor.get());
    }

    tresult SetState(const uint8_t* data, size_t size) {
        auto* stream = new MemoryStream(const_cast<uint8_t*>(data), static_cast<TSize>(size));
        const tresult result = component->setState(stream);
        stream->release();
        return result;
    }

    tresult GetState(std::vector<uint8_t>& bytes) {
        auto* stream = new MemoryStream;
        const tresult result = component->getState(stream);
        const auto* data = reinterpret_cast<const uint8_t*>(stream->getData());
        bytes.assign(data, data + stream->getSize());
        stream->release();
        return result;
    }

    tresult Setup(double rate, int32 maxBlock, int32 sampleSize, int32 mode) {
        ProcessSetup setup{mode, sampleSize, maxBlock, rate};
        const tresult result = processor->setupProcessing(setup);
        if (result == kResultOk) {
            this->sampleSize = sampleSize;
            this->mode = mode;
        }
        return result;
    }

    void SetActive(bool state) {
        component->setActive(state);
        active = state;
    }

    void SetProcessing(bool state) {
        processor->setProcessing(state);
        processing = state;
    }

    void Start(double rate, int32 maxBlock, int32 sampleSize) {
        FUZZ_CHECK(Setup(rate, maxBlock, sampleSize, kRealtime) == kResultOk, "setup");
        SetActive(true);
        SetProcessing(true);
    }

    // One process call on buffers the size of frames, with finite input of
    // the given seed; asked for sampleSizeOverride instead of the set-up's
    // when non-zero (a host breaking the contract). Returns the result; the
    // output must be finite whatever was asked.
    tresult Process(int32 frames, int32 inChannels, int32 outChannels,
                    IParameterChanges* changes = nullptr, int32 sampleSizeOverride = -1,
                    uint32_t seed = 1) {
        const int32 size = sampleSizeOverride >= 0 ? sampleSizeOverride : sampleSize;
        const auto count = static_cast<size_t>(frames > 0 ? frames : 0);
        uint32_t x = seed * 2654435761u + 12345u;
        for (int ch = 0; ch < 2; ++ch) {
            in64[ch].resize(count);
            out64[ch].assign(count, 0.0);
            in32[ch].resize(count);
            out32[ch].assign(count, 0.0f);
            for (size_t i = 0; i < count; ++i) {
                x ^= x << 13, x ^= x >> 17, x ^= x << 5;
                in64[ch][i] = 0.9 * (static_cast<double>(x) / 2147483648.0 - 1.0);
                in32[ch][i] = static_cast<float>(in64[ch][i]);
            }
            inPtr64[ch] = in64[ch].data();
            outPtr64[ch] = out64[ch].data();
            inPtr32[ch] = in32[ch].data();
            outPtr32[ch] = out32[ch].data();
        }
        AudioBusBuffers input;
        input.numChannels = inChannels;
        AudioBusBuffers output;
        output.numChannels = outChannels;
        if (size == kSample64) {
            input.channelBuffers64 = inPtr64;
            output.channelBuffers64 = outPtr64;
        } else {
            input.channelBuffers32 = inPtr32;
            output.channelBuffers32 = outPtr32;
        }
        ProcessData data;
        data.processMode = mode;
        data.symbolicSampleSize = size;
        data.numSamples = frames;
        data.numInputs = inChannels > 0 ? 1 : 0;
        data.numOutputs = outChannels > 0 ? 1 : 0;
        data.inputs = data.numInputs ? &input : nullptr;
        data.outputs = data.numOutputs ? &output : nullptr;
        data.inputParameterChanges = changes;
        const tresult result = processor->process(data);
        for (int ch = 0; ch < 2 && ch < outChannels; ++ch) {
            for (size_t i = 0; i < count; ++i) {
                const double s = size == kSample64 ? out64[ch][i] : out32[ch][i];
                FUZZ_CHECK(std::isfinite(s), "output %d[%zu] = %g for finite input", ch, i, s);
            }
        }
        return result;
    }

    // Every parameter finite and in range, seen as real value and as host
    // position.
    void CheckParameters() const {
        for (int32 i = 0; i < kParams; ++i) {
            const plugin::IParam& param = *Plugin().ParamAt(i);
            const double value = param.CurrentValue();
            FUZZ_CHECK(std::isfinite(value) && value >= param.Min() && value <= param.Max(),
                       "parameter %d = %.17g", i, value);
            const double normalized = controller->getParamNormalized(static_cast<ParamID>(i));
            FUZZ_CHECK(normalized >= 0.0 && normalized <= 1.0, "parameter %d at %.17g", i,
                       normalized);
        }
        for (ParamID id : {kBypassId, kPresetId}) {
            const double normalized = controller->getParamNormalized(id);
            FUZZ_CHECK(normalized >= 0.0 && normalized <= 1.0, "parameter %u at %.17g", id,
                       normalized);
        }
    }

    void Idle(uint64_t ms = 20) { context->RunLoop().AdvanceMs(ms); }

    IPtr<IPluginFactory> factory;
    IPtr<IComponent> component;
    IPtr<IAudioProcessor> processor;
    IPtr<IEditController> controller;
    IPtr<vst3host::HostContext> context;
    IPtr<vst3host::RecordingComponentHandler> handler;
    bool initialized = false;
    bool active = false;
    bool processing = false;
    int32 sampleSize = kSample32;
    int32 mode = kRealtime;

private:
    std::vector<double> in64[2], out64[2];
    std::vector<float> in32[2], out32[2];
    double* inPtr64[2] = {};
    double* outPtr64[2] = {};
    float* inPtr32[2] = {};
    float* outPtr32[2] = {};
};

// Setting up processing builds the resamplers and takes a good fraction of
// a second in an instrumented build, so the targets that process share one
// instance, set up once, and bring it to a known state per input instead.
inline Component& SharedRunning() {
    static Component* running = [] {
        auto* eq = new Component;
        eq->Start(48000.0, 512, kSample64);
        return eq;
    }();
    return *running;
}

inline double LittleEndianDouble(const uint8_t* bytes) {
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | bytes[i];
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline int32_t LittleEndianInt32(const uint8_t* bytes) {
    return static_cast<int32_t>(uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 |
                                uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24);
}

} // namespace fuzzing
