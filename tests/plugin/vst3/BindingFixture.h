#pragma once

// One TestPlugin driven in-process through its VST 3 interfaces, as a host
// drives it: every call goes through a pointer obtained with queryInterface.

#include "BindingTestPlugin.h"

#include "host/ComponentHandler.h"
#include "host/HostContext.h"
#include "host/ParameterChanges.h"

#include "base/source/fstring.h"
#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstunits.h"
#include "public.sdk/source/common/memorystream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace binding_test {

using namespace Steinberg;
using namespace Steinberg::Vst;

template <typename Interface> IPtr<Interface> Query(FUnknown* object) {
    Interface* result = nullptr;
    if (object->queryInterface(Interface::iid, reinterpret_cast<void**>(&result)) != kResultOk)
        return nullptr;
    return owned(result);
}

// The host context as the plain FUnknown a host hands over.
inline FUnknown* Unknown(vst3host::HostContext* hostContext) {
    return static_cast<IHostApplication*>(hostContext);
}

inline std::string ToUtf8(const TChar* text) {
    String string(text);
    string.toMultiByte(kCP_Utf8);
    return string.text8() != nullptr ? std::string(string.text8()) : std::string();
}

class BindingFixture : public ::testing::Test {
protected:
    void SetUp() override { Create({}); }
    void TearDown() override { Destroy(); }

    void Create(vst3host::HostContext::Options options, bool midi = false) {
        context = owned(new vst3host::HostContext(options));
        handler = owned(new vst3host::RecordingComponentHandler);
        plugin = new TestPlugin(midi);
        component = Query<IComponent>(static_cast<IComponent*>(plugin));
        processor = Query<IAudioProcessor>(component);
        controller = Query<IEditController>(component);
        units = Query<IUnitInfo>(component);
        ASSERT_TRUE(component && processor && controller && units);
        ASSERT_EQ(component->initialize(Unknown(context)), kResultOk);
        ASSERT_EQ(controller->setComponentHandler(handler), kResultOk);
    }

    void Destroy() {
        if (plugin == nullptr)
            return;
        controller->setComponentHandler(nullptr);
        component->terminate();
        units = nullptr;
        controller = nullptr;
        processor = nullptr;
        component = nullptr;
        plugin->release(); // the creation reference: the object dies here
        plugin = nullptr;
    }

    tresult SetUp(int32 sampleSize, double rate, int32 maxBlock, int32 mode = kRealtime) {
        ProcessSetup setup{mode, sampleSize, maxBlock, rate};
        return processor->setupProcessing(setup);
    }

    void Start(int32 sampleSize = kSample32, double rate = 48000.0, int32 maxBlock = 512) {
        ASSERT_EQ(SetUp(sampleSize, rate, maxBlock), kResultOk);
        ASSERT_EQ(component->setActive(true), kResultOk);
        ASSERT_EQ(processor->setProcessing(true), kResultOk);
    }

    // One stereo (or mono) block in, one out, both through the main buses.
    template <typename Sample>
    tresult Process(Sample** inputs, Sample** outputs, int32 channels, int32 frames,
                    IParameterChanges* changes = nullptr,
                    ProcessContext* processContext = nullptr) {
        AudioBusBuffers in{};
        in.numChannels = channels;
        AudioBusBuffers out{};
        out.numChannels = channels;
        if constexpr (sizeof(Sample) == sizeof(double)) {
            in.channelBuffers64 = inputs;
            out.channelBuffers64 = outputs;
        } else {
            in.channelBuffers32 = inputs;
            out.channelBuffers32 = outputs;
        }
        ProcessData data{};
        data.processMode = kRealtime;
        data.symbolicSampleSize = sizeof(Sample) == sizeof(double) ? kSample64 : kSample32;
        data.numSamples = frames;
        data.numInputs = inputs != nullptr ? 1 : 0;
        data.numOutputs = outputs != nullptr ? 1 : 0;
        data.inputs = inputs != nullptr ? &in : nullptr;
        data.outputs = outputs != nullptr ? &out : nullptr;
        data.inputParameterChanges = changes;
        data.processContext = processContext;
        return processor->process(data);
    }

    // A flush: parameter changes, no frames, no buffers.
    tresult Flush(IParameterChanges* changes) {
        ProcessData data{};
        data.symbolicSampleSize = kSample32;
        data.inputParameterChanges = changes;
        return processor->process(data);
    }

    std::vector<uint8_t> GetState() {
        auto* stream = new MemoryStream;
        EXPECT_EQ(component->getState(stream), kResultOk);
        const auto* bytes = reinterpret_cast<const uint8_t*>(stream->getData());
        std::vector<uint8_t> result(bytes, bytes + stream->getSize());
        stream->release();
        return result;
    }

    tresult SetState(std::vector<uint8_t> bytes) {
        auto* stream = new MemoryStream(bytes.data(), static_cast<TSize>(bytes.size()));
        const tresult result = component->setState(stream);
        stream->release();
        return result;
    }

    IPtr<vst3host::HostContext> context;
    IPtr<vst3host::RecordingComponentHandler> handler;
    TestPlugin* plugin = nullptr;
    IPtr<IComponent> component;
    IPtr<IAudioProcessor> processor;
    IPtr<IEditController> controller;
    IPtr<IUnitInfo> units;
};

// Little-endian encodings written by hand, independent of the plug-in's
// own serializer.
inline void AppendDouble(std::vector<uint8_t>& bytes, double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i)
        bytes.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

inline void AppendInt32(std::vector<uint8_t>& bytes, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

inline double ReadDouble(const std::vector<uint8_t>& bytes, std::size_t at) {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= static_cast<uint64_t>(bytes.at(at + static_cast<std::size_t>(i))) << (8 * i);
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline int32_t ReadInt32(const std::vector<uint8_t>& bytes, std::size_t at) {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= static_cast<uint32_t>(bytes.at(at + static_cast<std::size_t>(i))) << (8 * i);
    return static_cast<int32_t>(bits);
}

} // namespace binding_test
