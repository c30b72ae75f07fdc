#include "host/PluginInstance.h"

#include "host/Module.h"

#include "pluginterfaces/vst/ivstmessage.h"
#include "public.sdk/source/common/memorystream.h"

namespace vst3host {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

void SetError(std::string* error, const char* text) {
    if (error)
        *error = text;
}

// Joins the component and a separate controller through their connection
// points, as hosts do so that the two can exchange messages.
void Connect(FUnknown* a, FUnknown* b, bool connect) {
    FUnknownPtr<IConnectionPoint> pointA(a);
    FUnknownPtr<IConnectionPoint> pointB(b);
    if (!pointA || !pointB)
        return;
    if (connect) {
        pointA->connect(pointB);
        pointB->connect(pointA);
    } else {
        pointA->disconnect(pointB);
        pointB->disconnect(pointA);
    }
}

} // namespace

std::unique_ptr<PluginInstance> PluginInstance::Create(Module& module, const TUID cid,
                                                       std::string* error) {
    IPluginFactory* factory = module.Factory();
    if (!factory) {
        SetError(error, "no factory");
        return nullptr;
    }
    std::unique_ptr<PluginInstance> instance(new PluginInstance);
    instance->module = &module;
    IComponent* made = nullptr;
    if (factory->createInstance(cid, IComponent::iid, reinterpret_cast<void**>(&made)) !=
            kResultOk ||
        !made) {
        SetError(error, "the factory made no IComponent for this class");
        return nullptr;
    }
    instance->component = owned(made);
    instance->processor = FUnknownPtr<IAudioProcessor>(instance->component);
    if (!instance->processor) {
        SetError(error, "the component offers no IAudioProcessor");
        return nullptr;
    }
    instance->handler = owned(new RecordingComponentHandler);
    return instance;
}

PluginInstance::~PluginInstance() {
    if (processing)
        SetProcessing(false);
    if (active)
        SetActive(false);
    if (initialized)
        Terminate();
    controller = nullptr;
    processor = nullptr;
    component = nullptr;
}

void PluginInstance::ReleaseWithoutTeardown() {
    processing = active = initialized = false;
    controller = nullptr;
    processor = nullptr;
    component = nullptr;
}

tresult PluginInstance::Initialize(FUnknown* context) {
    const tresult result = component->initialize(context);
    if (result != kResultOk)
        return result;
    initialized = true;

    FUnknownPtr<IEditController> single(component);
    singleComponent = static_cast<bool>(single);
    if (singleComponent) {
        controller = single;
    } else {
        TUID controllerId;
        IEditController* made = nullptr;
        if (component->getControllerClassId(controllerId) == kResultOk &&
            module->Factory()->createInstance(controllerId, IEditController::iid,
                                              reinterpret_cast<void**>(&made)) == kResultOk &&
            made) {
            controller = owned(made);
            if (controller->initialize(context) != kResultOk) {
                controller = nullptr;
            } else {
                Connect(component, controller, true);
                std::vector<std::uint8_t> state;
                if (GetState(state) == kResultOk) {
                    auto* stream = new MemoryStream(state.data(), static_cast<TSize>(state.size()));
                    controller->setComponentState(stream);
                    stream->release();
                }
            }
        }
    }
    if (controller)
        controller->setComponentHandler(handler);
    return kResultOk;
}

tresult PluginInstance::Terminate() {
    if (!initialized)
        return kResultFalse;
    if (controller && !singleComponent) {
        Connect(component, controller, false);
        controller->setComponentHandler(nullptr);
        controller->terminate();
    }
    controller = nullptr;
    initialized = false;
    return component->terminate();
}

tresult PluginInstance::SetupProcessing(const ProcessConfig& config) {
    ProcessSetup setup{};
    setup.processMode = config.processMode;
    setup.symbolicSampleSize = config.symbolicSampleSize;
    setup.maxSamplesPerBlock = config.maxBlockFrames;
    setup.sampleRate = config.sampleRate;
    const tresult result = processor->setupProcessing(setup);
    if (result == kResultOk) {
        symbolicSampleSize = config.symbolicSampleSize;
        processMode = config.processMode;
    }
    return result;
}

tresult PluginInstance::SetActive(bool state) {
    const tresult result = component->setActive(state);
    if (result == kResultOk)
        active = state;
    return result;
}

tresult PluginInstance::SetProcessing(bool state) {
    const tresult result = processor->setProcessing(state);
    // kNotImplemented is a legitimate answer; the call still happened.
    processing = state;
    return result;
}

tresult PluginInstance::RunProcess(AudioBusBuffers& input, AudioBusBuffers& output, int32 frames,
                                   ParameterChanges* changes, ProcessContext* context) {
    outputChanges.Clear();
    ProcessData data;
    data.processMode = processMode;
    data.symbolicSampleSize = symbolicSampleSize;
    data.numSamples = frames;
    data.numInputs = input.numChannels > 0 ? 1 : 0;
    data.numOutputs = output.numChannels > 0 ? 1 : 0;
    data.inputs = data.numInputs ? &input : nullptr;
    data.outputs = data.numOutputs ? &output : nullptr;
    data.inputParameterChanges = changes;
    data.outputParameterChanges = &outputChanges;
    data.processContext = context;
    return processor->process(data);
}

tresult PluginInstance::Process(float* const* inputs, int32 inputChannels, float* const* outputs,
                                int32 outputChannels, int32 frames, ParameterChanges* changes,
                                ProcessContext* context) {
    AudioBusBuffers input;
    input.numChannels = inputChannels;
    input.channelBuffers32 = const_cast<float**>(inputs);
    AudioBusBuffers output;
    output.numChannels = outputChannels;
    output.channelBuffers32 = const_cast<float**>(outputs);
    return RunProcess(input, output, frames, changes, context);
}

tresult PluginInstance::Process(double* const* inputs, int32 inputChannels, double* const* outputs,
                                int32 outputChannels, int32 frames, ParameterChanges* changes,
                                ProcessContext* context) {
    AudioBusBuffers input;
    input.numChannels = inputChannels;
    input.channelBuffers64 = const_cast<double**>(inputs);
    AudioBusBuffers output;
    output.numChannels = outputChannels;
    output.channelBuffers64 = const_cast<double**>(outputs);
    return RunProcess(input, output, frames, changes, context);
}

tresult PluginInstance::GetState(std::vector<std::uint8_t>& bytes) {
    auto* stream = new MemoryStream;
    const tresult result = component->getState(stream);
    if (result == kResultOk) {
        const auto* data = reinterpret_cast<const std::uint8_t*>(stream->getData());
        bytes.assign(data, data + stream->getSize());
    }
    stream->release();
    return result;
}

tresult PluginInstance::SetState(const std::vector<std::uint8_t>& bytes) {
    // MemoryStream only reads a borrowed buffer, though its signature asks
    // for a mutable one.
    auto* stream =
        new MemoryStream(const_cast<std::uint8_t*>(bytes.data()), static_cast<TSize>(bytes.size()));
    tresult result = component->setState(stream);
    if (result == kResultOk && controller && !singleComponent) {
        int64 ignored = 0;
        stream->seek(0, IBStream::kIBSeekSet, &ignored);
        controller->setComponentState(stream);
    }
    stream->release();
    return result;
}

} // namespace vst3host
