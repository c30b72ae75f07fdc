#include "plugin/vst3/SingleComponentEffect.h"

namespace plugin::vst3 {

using namespace Steinberg;
using namespace Steinberg::Vst;

SingleComponentEffect::SingleComponentEffect()
    : audioInputs(kAudio, kInput), audioOutputs(kAudio, kOutput), eventInputs(kEvent, kInput),
      eventOutputs(kEvent, kOutput), processSetup{} {
    processSetup.processMode = kRealtime;
    processSetup.symbolicSampleSize = kSample32;
}

SingleComponentEffect::~SingleComponentEffect() = default;

tresult PLUGIN_API SingleComponentEffect::initialize(FUnknown* context) {
    return EditControllerEx1::initialize(context);
}

tresult PLUGIN_API SingleComponentEffect::terminate() {
    removeAudioBusses();
    removeEventBusses();
    return EditControllerEx1::terminate();
}

tresult PLUGIN_API SingleComponentEffect::getControllerClassId(TUID /*classId*/) {
    return kNotImplemented;
}

tresult PLUGIN_API SingleComponentEffect::setIoMode(IoMode /*mode*/) {
    return kNotImplemented;
}

BusList* SingleComponentEffect::getBusList(MediaType type, BusDirection dir) {
    if (type == kAudio)
        return dir == kInput ? &audioInputs : dir == kOutput ? &audioOutputs : nullptr;
    if (type == kEvent)
        return dir == kInput ? &eventInputs : dir == kOutput ? &eventOutputs : nullptr;
    return nullptr;
}

int32 PLUGIN_API SingleComponentEffect::getBusCount(MediaType type, BusDirection dir) {
    const BusList* list = getBusList(type, dir);
    return list ? static_cast<int32>(list->size()) : 0;
}

namespace {

// The bus at index of list, or null when the index is out of range (hosts do
// probe past the end).
Bus* BusAt(BusList* list, int32 index) {
    if (!list || index < 0 || static_cast<std::size_t>(index) >= list->size())
        return nullptr;
    return (*list)[static_cast<std::size_t>(index)].get();
}

} // namespace

tresult PLUGIN_API SingleComponentEffect::getBusInfo(MediaType type, BusDirection dir, int32 index,
                                                     BusInfo& info) {
    Bus* bus = BusAt(getBusList(type, dir), index);
    if (!bus)
        return kInvalidArgument;
    info = BusInfo{};
    info.mediaType = type;
    info.direction = dir;
    return bus->getInfo(info) ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API SingleComponentEffect::getRoutingInfo(RoutingInfo& /*inInfo*/,
                                                         RoutingInfo& /*outInfo*/) {
    return kNotImplemented;
}

tresult PLUGIN_API SingleComponentEffect::activateBus(MediaType type, BusDirection dir, int32 index,
                                                      TBool state) {
    Bus* bus = BusAt(getBusList(type, dir), index);
    if (!bus)
        return kInvalidArgument;
    bus->setActive(state);
    return kResultTrue;
}

tresult PLUGIN_API SingleComponentEffect::setActive(TBool /*state*/) {
    return kResultOk;
}

tresult PLUGIN_API SingleComponentEffect::setState(IBStream* /*state*/) {
    return kNotImplemented;
}

tresult PLUGIN_API SingleComponentEffect::getState(IBStream* /*state*/) {
    return kNotImplemented;
}

tresult PLUGIN_API SingleComponentEffect::setComponentState(IBStream* /*state*/) {
    return kResultOk;
}

tresult PLUGIN_API SingleComponentEffect::setBusArrangements(SpeakerArrangement* inputs,
                                                             int32 numIns,
                                                             SpeakerArrangement* outputs,
                                                             int32 numOuts) {
    if (numIns < 0 || numOuts < 0 || static_cast<std::size_t>(numIns) != audioInputs.size() ||
        static_cast<std::size_t>(numOuts) != audioOutputs.size())
        return kResultFalse;
    if ((numIns > 0 && !inputs) || (numOuts > 0 && !outputs))
        return kInvalidArgument;

    for (int32 i = 0; i < numIns; ++i)
        if (auto* bus = FCast<AudioBus>(audioInputs[static_cast<std::size_t>(i)].get()))
            bus->setArrangement(inputs[i]);
    for (int32 i = 0; i < numOuts; ++i)
        if (auto* bus = FCast<AudioBus>(audioOutputs[static_cast<std::size_t>(i)].get()))
            bus->setArrangement(outputs[i]);
    return kResultTrue;
}

tresult PLUGIN_API SingleComponentEffect::getBusArrangement(BusDirection dir, int32 index,
                                                            SpeakerArrangement& arrangement) {
    auto* bus = FCast<AudioBus>(BusAt(getBusList(kAudio, dir), index));
    if (!bus)
        return kInvalidArgument;
    arrangement = bus->getArrangement();
    return kResultTrue;
}

tresult PLUGIN_API SingleComponentEffect::canProcessSampleSize(int32 symbolicSampleSize) {
    return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

uint32 PLUGIN_API SingleComponentEffect::getLatencySamples() {
    return 0;
}

tresult PLUGIN_API SingleComponentEffect::setupProcessing(ProcessSetup& setup) {
    if (canProcessSampleSize(setup.symbolicSampleSize) != kResultTrue)
        return kResultFalse;
    processSetup = setup;
    return kResultOk;
}

tresult PLUGIN_API SingleComponentEffect::setProcessing(TBool /*state*/) {
    return kNotImplemented;
}

uint32 PLUGIN_API SingleComponentEffect::getTailSamples() {
    return kNoTail;
}

uint32 PLUGIN_API SingleComponentEffect::getProcessContextRequirements() {
    return 0;
}

tresult PLUGIN_API SingleComponentEffect::queryInterface(const TUID iid, void** obj) {
    if (!obj)
        return kInvalidArgument;
    // IPluginBase reaches this object through two bases; EditControllerEx1
    // answers it (and FUnknown, IDependent, the controller interfaces) with
    // the controller's subobject, whose initialize/terminate are ours anyway.
    QUERY_INTERFACE(iid, obj, IComponent::iid, IComponent)
    QUERY_INTERFACE(iid, obj, IAudioProcessor::iid, IAudioProcessor)
    QUERY_INTERFACE(iid, obj, IProcessContextRequirements::iid, IProcessContextRequirements)
    return EditControllerEx1::queryInterface(iid, obj);
}

AudioBus* SingleComponentEffect::addAudioInput(const TChar* name, SpeakerArrangement arrangement,
                                               BusType busType, int32 flags) {
    auto* bus = new AudioBus(name, busType, flags, arrangement);
    audioInputs.emplace_back(bus, false);
    return bus;
}

AudioBus* SingleComponentEffect::addAudioOutput(const TChar* name, SpeakerArrangement arrangement,
                                                BusType busType, int32 flags) {
    auto* bus = new AudioBus(name, busType, flags, arrangement);
    audioOutputs.emplace_back(bus, false);
    return bus;
}

EventBus* SingleComponentEffect::addEventInput(const TChar* name, int32 channels, BusType busType,
                                               int32 flags) {
    auto* bus = new EventBus(name, busType, flags, channels);
    eventInputs.emplace_back(bus, false);
    return bus;
}

EventBus* SingleComponentEffect::addEventOutput(const TChar* name, int32 channels, BusType busType,
                                                int32 flags) {
    auto* bus = new EventBus(name, busType, flags, channels);
    eventOutputs.emplace_back(bus, false);
    return bus;
}

tresult SingleComponentEffect::removeAudioBusses() {
    audioInputs.clear();
    audioOutputs.clear();
    return kResultOk;
}

tresult SingleComponentEffect::removeEventBusses() {
    eventInputs.clear();
    eventOutputs.clear();
    return kResultOk;
}

} // namespace plugin::vst3
