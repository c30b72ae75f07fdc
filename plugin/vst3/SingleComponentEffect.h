#pragma once

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "public.sdk/source/vst/vstbus.h"
#include "public.sdk/source/vst/vsteditcontroller.h"

namespace plugin::vst3 {

// One object that is at once the VST 3 audio component (IComponent,
// IAudioProcessor, IProcessContextRequirements) and the edit controller
// (IEditController, IEditController2, IUnitInfo, IConnectionPoint, inherited
// from the SDK's EditControllerEx1). Hosts find the controller by querying the
// component, so the factory registers no separate controller class.
//
// Reference counting is the SDK's FObject count: a new object starts at one
// reference, owned by whoever created it.
//
// IComponent::setState/getState and IEditController::setState/getState share
// one signature, so one override serves both. A derived class supplies
// process() and normally setState/getState, setupProcessing checks and
// setProcessing.
class SingleComponentEffect : public Steinberg::Vst::EditControllerEx1,
                              public Steinberg::Vst::IComponent,
                              public Steinberg::Vst::IAudioProcessor,
                              public Steinberg::Vst::IProcessContextRequirements {
public:
    using tresult = Steinberg::tresult;
    using int32 = Steinberg::int32;
    using uint32 = Steinberg::uint32;
    using TBool = Steinberg::TBool;
    using MediaType = Steinberg::Vst::MediaType;
    using BusDirection = Steinberg::Vst::BusDirection;
    using SpeakerArrangement = Steinberg::Vst::SpeakerArrangement;

    SingleComponentEffect();
    ~SingleComponentEffect() override;

    // --- IPluginBase (shared by the component and the controller faces) ---
    // Refused (kResultFalse) when already initialized.
    tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override; // [ui]
    // Removes parameters, buses, units and program lists and releases the
    // host context and component handler; initialize may be called again.
    tresult PLUGIN_API terminate() override; // [ui]

    // --- IComponent ---
    tresult PLUGIN_API getControllerClassId(Steinberg::TUID classId) override; // [ui]
    tresult PLUGIN_API setIoMode(Steinberg::Vst::IoMode mode) override;        // [ui]
    int32 PLUGIN_API getBusCount(MediaType type, BusDirection dir) override;   // [ui]
    tresult PLUGIN_API getBusInfo(MediaType type, BusDirection dir, int32 index,
                                  Steinberg::Vst::BusInfo& info) override; // [ui]
    tresult PLUGIN_API getRoutingInfo(Steinberg::Vst::RoutingInfo& inInfo,
                                      Steinberg::Vst::RoutingInfo& outInfo) override; // [ui]
    tresult PLUGIN_API activateBus(MediaType type, BusDirection dir, int32 index,
                                   TBool state) override;             // [ui, processing stopped]
    tresult PLUGIN_API setActive(TBool state) override;               // [ui]
    tresult PLUGIN_API setState(Steinberg::IBStream* state) override; // [ui]
    tresult PLUGIN_API getState(Steinberg::IBStream* state) override; // [ui]

    // --- IEditController (the rest comes from EditControllerEx1) ---
    // The component's own setState already carried everything, so the
    // controller has nothing further to read.
    tresult PLUGIN_API setComponentState(Steinberg::IBStream* state) override; // [ui]

    // --- IAudioProcessor ---
    // Accepted when the host asks for exactly as many buses as exist; each
    // audio bus then takes the requested arrangement.
    tresult PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                          SpeakerArrangement* outputs,
                                          int32 numOuts) override; // [ui, processing stopped]
    tresult PLUGIN_API getBusArrangement(BusDirection dir, int32 index,
                                         SpeakerArrangement& arrangement) override; // [ui]
    // 32-bit only by default.
    tresult PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) override; // [ui]
    uint32 PLUGIN_API getLatencySamples() override;                             // [ui]
    // Stores the set-up in processSetup when its sample size is supported.
    tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override; // [ui]
    tresult PLUGIN_API setProcessing(TBool state) override;                           // [any]
    tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override = 0;       // [audio]
    uint32 PLUGIN_API getTailSamples() override;                                      // [ui]

    // --- IProcessContextRequirements ---
    uint32 PLUGIN_API getProcessContextRequirements() override; // [ui]

    // --- FUnknown / FObject ---
    tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override; // [any]
    REFCOUNT_METHODS(Steinberg::Vst::EditControllerEx1)
    OBJ_METHODS(SingleComponentEffect, Steinberg::Vst::EditControllerEx1)

protected:
    // Bus helpers for initialize() of a derived class. The returned bus is
    // owned by its list.
    Steinberg::Vst::AudioBus*
    addAudioInput(const Steinberg::Vst::TChar* name, SpeakerArrangement arrangement,
                  Steinberg::Vst::BusType busType = Steinberg::Vst::kMain,
                  int32 flags = Steinberg::Vst::BusInfo::kDefaultActive); // [ui]
    Steinberg::Vst::AudioBus*
    addAudioOutput(const Steinberg::Vst::TChar* name, SpeakerArrangement arrangement,
                   Steinberg::Vst::BusType busType = Steinberg::Vst::kMain,
                   int32 flags = Steinberg::Vst::BusInfo::kDefaultActive); // [ui]
    Steinberg::Vst::EventBus*
    addEventInput(const Steinberg::Vst::TChar* name, int32 channels = 16,
                  Steinberg::Vst::BusType busType = Steinberg::Vst::kMain,
                  int32 flags = Steinberg::Vst::BusInfo::kDefaultActive); // [ui]
    Steinberg::Vst::EventBus*
    addEventOutput(const Steinberg::Vst::TChar* name, int32 channels = 16,
                   Steinberg::Vst::BusType busType = Steinberg::Vst::kMain,
                   int32 flags = Steinberg::Vst::BusInfo::kDefaultActive); // [ui]
    tresult removeAudioBusses(); // [ui, processing stopped]
    tresult removeEventBusses(); // [ui, processing stopped]

    // The list for a media type and direction, or null for an unknown pair.
    Steinberg::Vst::BusList* getBusList(MediaType type, BusDirection dir); // [any]

    Steinberg::Vst::BusList audioInputs;
    Steinberg::Vst::BusList audioOutputs;
    Steinberg::Vst::BusList eventInputs;
    Steinberg::Vst::BusList eventOutputs;

    // The last set-up accepted by setupProcessing; read by process().
    Steinberg::Vst::ProcessSetup processSetup;
};

} // namespace plugin::vst3
