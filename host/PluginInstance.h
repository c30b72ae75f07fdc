#pragma once

#include "host/ComponentHandler.h"
#include "host/ParameterChanges.h"

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vst3host {

class Module;

struct ProcessConfig {
    Steinberg::int32 symbolicSampleSize = Steinberg::Vst::kSample32;
    double sampleRate = 48000.0;
    Steinberg::int32 maxBlockFrames = 512;
    Steinberg::int32 processMode = Steinberg::Vst::kRealtime;
};

// One plug-in instance driven the way a DAW drives it. The component is made
// through the module's factory; the edit controller is the component itself
// when it answers IEditController (a single-component effect), else an
// instance of its controller class, connected to the component.
//
// Must not outlive the Module it came from. The destructor stops processing,
// deactivates, terminates and releases, in that order, as far as needed.
class PluginInstance {
public:
    // Null with a reason in *error when the class cannot be made or offers
    // no IAudioProcessor.
    static std::unique_ptr<PluginInstance> Create(Module& module, const Steinberg::TUID cid,
                                                  std::string* error = nullptr);
    ~PluginInstance();
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    Steinberg::Vst::IComponent* Component() const noexcept { return component.get(); }
    Steinberg::Vst::IAudioProcessor* Processor() const noexcept { return processor.get(); }
    // Null until Initialize for a plug-in with a separate controller class.
    Steinberg::Vst::IEditController* Controller() const noexcept { return controller.get(); }
    bool IsSingleComponent() const noexcept { return singleComponent; }
    RecordingComponentHandler& Handler() noexcept { return *handler; }

    // initialize(context) on the component (and the controller), then hands
    // the controller the recording component handler. context may be null.
    Steinberg::tresult Initialize(Steinberg::FUnknown* context);
    Steinberg::tresult Terminate();
    // Drops every reference to the plug-in now, without setProcessing,
    // setActive or terminate, as a scanner or a crashing session may. Only
    // destruction is allowed afterwards.
    void ReleaseWithoutTeardown();

    Steinberg::tresult SetupProcessing(const ProcessConfig& config);
    Steinberg::tresult SetActive(bool active);
    Steinberg::tresult SetProcessing(bool processing);

    // One process call on the main buses (the host passes one input and one
    // output bus with the given channels). changes and context are optional.
    // Does not allocate. Output parameter changes land in OutputChanges().
    Steinberg::tresult Process(float* const* inputs, Steinberg::int32 inputChannels,
                               float* const* outputs, Steinberg::int32 outputChannels,
                               Steinberg::int32 frames, ParameterChanges* changes = nullptr,
                               Steinberg::Vst::ProcessContext* context = nullptr);
    Steinberg::tresult Process(double* const* inputs, Steinberg::int32 inputChannels,
                               double* const* outputs, Steinberg::int32 outputChannels,
                               Steinberg::int32 frames, ParameterChanges* changes = nullptr,
                               Steinberg::Vst::ProcessContext* context = nullptr);
    ParameterChanges& OutputChanges() noexcept { return outputChanges; }

    // The component's state as bytes; a separate controller is given the
    // state through setComponentState after SetState.
    Steinberg::tresult GetState(std::vector<std::uint8_t>& bytes);
    Steinberg::tresult SetState(const std::vector<std::uint8_t>& bytes);

private:
    PluginInstance() = default;
    Steinberg::tresult RunProcess(Steinberg::Vst::AudioBusBuffers& input,
                                  Steinberg::Vst::AudioBusBuffers& output, Steinberg::int32 frames,
                                  ParameterChanges* changes,
                                  Steinberg::Vst::ProcessContext* context);

    Module* module = nullptr;
    Steinberg::IPtr<Steinberg::Vst::IComponent> component;
    Steinberg::IPtr<Steinberg::Vst::IAudioProcessor> processor;
    Steinberg::IPtr<Steinberg::Vst::IEditController> controller;
    Steinberg::IPtr<RecordingComponentHandler> handler;
    ParameterChanges outputChanges;
    Steinberg::int32 symbolicSampleSize = Steinberg::Vst::kSample32;
    Steinberg::int32 processMode = Steinberg::Vst::kRealtime;
    bool singleComponent = false;
    bool initialized = false;
    bool active = false;
    bool processing = false;
};

} // namespace vst3host
