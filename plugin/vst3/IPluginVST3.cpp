#include "plugin/vst3/IPluginVST3.h"

#include "plugin/ByteChunk.h"
#include "plugin/HostKind.h"
#include "plugin/vst3/FactoryStrings.h"
#include "plugin/vst3/HostParameters.h"
#include "plugin/vst3/ModuleEntry.h"
#include "plugin/vst3/PluginFactory.h"

#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivstcontextmenu.h"
#include "pluginterfaces/vst/ivsthostapplication.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

namespace plugin::vst3 {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr int32_t kApiKindVst3 = 1;
constexpr int32 kStateReadPieceBytes = 128;
// The host name is handed on in a 128-byte UTF-8 buffer: 127 bytes of text.
constexpr std::size_t kHostNameBytes = 127;
constexpr std::size_t kString128Units = 128;

void CopyToString128(String128 destination, const char* text) {
    CopyUtf16Field(reinterpret_cast<char16_t*>(destination), kString128Units, text);
}

// Cuts UTF-8 text to at most maxBytes without splitting a character.
void CutUtf8(std::string& text, std::size_t maxBytes) {
    if (text.size() <= maxBytes)
        return;
    std::size_t end = maxBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
}

} // namespace

IPluginVST3::IPluginVST3(const PlugConfig& config)
    : IPluginAPIBase(config, kApiKindVst3), IPluginVST3ProcessorBase(config, *this) {
    AttachParameters(parameters);
    PluginFactory* factory = LiveFactory();
    if (auto loop = RunLoopTimer::FindRunLoop(factory ? factory->HostContext() : nullptr)) {
        hostRunLoop = std::make_unique<RunLoopTimer>(loop.get());
        CreateIdleTimer(hostRunLoop.get());
    }
    // Without a run loop the timer would tick on its own thread while the
    // plug-in class's constructor is still running; initialize starts it.
}

IPluginVST3::~IPluginVST3() {
    // No tick may reach a half-destroyed object, and the run loop adapters
    // must see the timer unregistered before they go.
    StopIdleTimer();
    editorRunLoop.reset();
    hostRunLoop.reset();
    // Only terminate gives the host's handler back in the SDK; an instance
    // released without it must not keep the host's object alive.
    const auto hold = HoldComponentHandler();
    SingleComponentEffect::setComponentHandler(nullptr);
}

uint32 PLUGIN_API IPluginVST3::release() {
    // The caller holds the last reference: nobody may add one now, so the
    // object is about to be destroyed. Stopping the timer here, before the
    // most derived destructor starts, keeps ticks away from members that a
    // plug-in class destroys before this class's destructor could stop it.
    if (getRefCount() == 1)
        StopIdleTimer();
    return SingleComponentEffect::release();
}

// ---- Steinberg::IPluginBase ----

tresult PLUGIN_API IPluginVST3::initialize(FUnknown* context) {
    {
        const auto lock = LockOutIdleTick();
        if (SingleComponentEffect::initialize(context) != kResultOk)
            return kResultFalse;
        CreateDefaultBuses();
        bypassParameter =
            BuildHostParameters(*this, HostParameterTarget{parameters, *this, paramGroups},
                                PlugType() == 1, DoesMidiIn());
        if (IdentifiedHostKind() == HostKind::NotIdentified)
            IdentifyHost(context); // ends with OnHostKnown()
        else
            OnHostKnown();
        AnnounceAllParams(ParamChangeSource::Reset);
    }
    UseHostRunLoop(context);
    return kResultOk;
}

tresult PLUGIN_API IPluginVST3::terminate() {
    // The host's run loop and component handler go with its context: no tick
    // runs from now until the next initialize starts the timer again.
    StopIdleTimer();
    hostRunLoop.reset();
    const auto hold = HoldComponentHandler(); // released by the SDK's part
    const auto lock = LockOutIdleTick();
    bypassParameter = nullptr;
    return SingleComponentEffect::terminate();
}

void IPluginVST3::IdentifyHost(FUnknown* context) {
    IHostApplication* application = nullptr;
    if (context == nullptr ||
        context->queryInterface(IHostApplication::iid, reinterpret_cast<void**>(&application)) !=
            kResultOk ||
        application == nullptr) {
        OnHostKnown();
        return;
    }
    String128 name{};
    if (application->getName(name) != kResultOk)
        name[0] = 0;
    application->release();
    std::string utf8 = Utf16ToUtf8(reinterpret_cast<const char16_t*>(name), kString128Units);
    CutUtf8(utf8, kHostNameBytes);
    SetHost(utf8.c_str(), 0);
}

// ---- Run loops for the idle timer ----

void IPluginVST3::UseHostRunLoop(FUnknown* context) {
    PluginFactory* factory = LiveFactory();
    auto loop = RunLoopTimer::FindRunLoop(factory ? factory->HostContext() : nullptr);
    if (!loop)
        loop = RunLoopTimer::FindRunLoop(context);
    // Kept until the timer has left it.
    std::unique_ptr<RunLoopTimer> previous;
    if (!loop || !hostRunLoop || hostRunLoop->RunLoop() != loop.get()) {
        previous = std::move(hostRunLoop);
        if (loop)
            hostRunLoop = std::make_unique<RunLoopTimer>(loop.get());
    }
    const Timer* timer = IdleTimer();
    if (timer == nullptr || !timer->IsRunning())
        CreateIdleTimer(hostRunLoop ? hostRunLoop.get() : editorRunLoop.get());
    else
        PlaceIdleTimer();
}

void IPluginVST3::PlaceIdleTimer() {
    Timer* timer = IdleTimer();
    if (timer == nullptr || !timer->IsRunning())
        return;
    timer->UseRunLoop(hostRunLoop ? hostRunLoop.get() : editorRunLoop.get());
}

void IPluginVST3::OfferEditorRunLoop(Linux::IRunLoop* loop) {
    if (loop == nullptr) {
        WithdrawEditorRunLoop();
        return;
    }
    if (editorRunLoop && editorRunLoop->RunLoop() == loop)
        return;
    const std::unique_ptr<RunLoopTimer> previous = std::move(editorRunLoop);
    editorRunLoop = std::make_unique<RunLoopTimer>(loop);
    PlaceIdleTimer();
}

void IPluginVST3::WithdrawEditorRunLoop() {
    if (!editorRunLoop)
        return;
    const std::unique_ptr<RunLoopTimer> previous = std::move(editorRunLoop);
    PlaceIdleTimer();
}

const RunLoopTimer* IPluginVST3::IdleRunLoop() const noexcept {
    const Timer* timer = IdleTimer();
    if (timer == nullptr || !timer->IsRunning())
        return nullptr;
    for (const RunLoopTimer* adapter : {hostRunLoop.get(), editorRunLoop.get()})
        if (adapter != nullptr && timer->CurrentRunLoop() == adapter)
            return adapter;
    return nullptr;
}

// ---- Buses ----

SpeakerArrangement IPluginVST3::SpeakerArrangementFor(int32_t channels) noexcept {
    switch (channels) {
    case 1:
        return 0x80000; // mono
    case 2:
        return 0x3; // stereo: left, right
    case 3:
        return 0x7;
    case 4:
        return 0xF00000;
    case 5:
        return 0x37;
    case 6:
        return 0x3F;
    case 7:
        return 0xF7;
    case 8:
        return 0x63F;
    case 9:
        return 0x7C000F00000;
    case 10:
        return 0x300063F;
    case 16:
        return 0x3FFC000F00000;
    default:
        return 0;
    }
}

void IPluginVST3::AddAudioBuses(plugin::BusDirection direction, int32_t configIndex) {
    if (configIndex < 0 || configIndex >= static_cast<int32_t>(IOConfigs().size()))
        return;
    const ChannelIOConfig& config = IOConfigs()[static_cast<std::size_t>(configIndex)];
    const int32_t busCount = config.BusCount(direction);
    for (int32_t bus = 0; bus < busCount; ++bus) {
        String128 name{};
        CopyToString128(name, DescribeBus(direction, bus, busCount).c_str());
        const SpeakerArrangement arrangement = SpeakerArrangementFor(
            config.Buses(direction)[static_cast<std::size_t>(bus)].channelCount);
        const BusType type = bus == 0 ? kMain : kAux;
        const int32 flags = bus == 0 ? BusInfo::kDefaultActive : 0;
        AudioBus* added = direction == plugin::BusDirection::Input
                              ? addAudioInput(name, arrangement, type, flags)
                              : addAudioOutput(name, arrangement, type, flags);
        // "Default active" means active until the host says otherwise; a
        // host that never calls activateBus still gets its main output.
        added->setActive(flags == BusInfo::kDefaultActive);
    }
}

void IPluginVST3::CreateDefaultBuses() {
    int32_t inputConfig = 0;
    int32_t outputConfig = 0;
    MostBusesInConfigs(plugin::BusDirection::Input, inputConfig);
    MostBusesInConfigs(plugin::BusDirection::Output, outputConfig);
    AddAudioBuses(plugin::BusDirection::Input, inputConfig);
    AddAudioBuses(plugin::BusDirection::Output, outputConfig);

    constexpr int32_t kMidiEffectType = 2;
    if (PlugType() == kMidiEffectType && audioOutputs.empty())
        addAudioOutput(STR16("Dummy Output"), SpeakerArr::kEmpty, kMain, 0);
    if (DoesMidiIn())
        addEventInput(STR16("MIDI Input"), 1, kMain, BusInfo::kDefaultActive);
    if (DoesMidiOut())
        addEventOutput(STR16("MIDI Output"), 1, kMain, BusInfo::kDefaultActive);
}

tresult PLUGIN_API IPluginVST3::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                   SpeakerArrangement* outputs, int32 numOuts) {
    const auto lock = LockOutIdleTick();
    const HostKind host = IdentifiedHostKind();
    // These hosts ask for layouts they then do not use; the defaults serve.
    if (host == HostKind::Mixbus || host == HostKind::Ardour)
        return kResultOk;

    MarkChannelsConnected(plugin::BusDirection::Input, 0, ChannelCount(plugin::BusDirection::Input),
                          false);
    MarkChannelsConnected(plugin::BusDirection::Output, 0,
                          ChannelCount(plugin::BusDirection::Output), false);

    int32_t ignored = 0;
    if (numIns < 0 || numOuts < 0 ||
        numIns > MostBusesInConfigs(plugin::BusDirection::Input, ignored) ||
        numOuts > MostBusesInConfigs(plugin::BusDirection::Output, ignored))
        return kResultFalse;
    if ((numIns > 0 && inputs == nullptr) || (numOuts > 0 && outputs == nullptr))
        return kResultFalse;

    const auto channelsOf = [](SpeakerArrangement arrangement) {
        return static_cast<int32_t>(std::popcount(static_cast<uint64>(arrangement)));
    };
    std::vector<int32_t> inputCounts(static_cast<std::size_t>(numIns));
    std::vector<int32_t> outputCounts(static_cast<std::size_t>(numOuts));
    std::transform(inputs, inputs + numIns, inputCounts.begin(), channelsOf);
    std::transform(outputs, outputs + numOuts, outputCounts.begin(), channelsOf);

    const int32_t config = FindIOConfigFor(inputCounts, outputCounts);
    if (config < 0)
        return kResultFalse;
    removeAudioBusses();
    AddAudioBuses(plugin::BusDirection::Input, config);
    AddAudioBuses(plugin::BusDirection::Output, config);
    return kResultOk;
}

// ---- Activation and processing ----

tresult PLUGIN_API IPluginVST3::setActive(TBool state) {
    const auto lock = LockOutIdleTick();
    OnActivationChange(state != 0);
    SetProcessingRunning(state != 0);
    return kResultOk;
}

tresult PLUGIN_API IPluginVST3::canProcessSampleSize(int32 symbolicSampleSize) {
    return symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64 ? kResultOk
                                                                              : kResultFalse;
}

uint32 PLUGIN_API IPluginVST3::getLatencySamples() {
    return static_cast<uint32>(std::max(Latency(), 0));
}

tresult PLUGIN_API IPluginVST3::setupProcessing(ProcessSetup& setup) {
    const auto lock = LockOutIdleTick();
    return SetUpProcessing(setup, processSetup) ? kResultOk : kResultFalse;
}

tresult PLUGIN_API IPluginVST3::setProcessing(TBool state) {
    // Hosts may call this on their audio thread, so it never waits for an
    // idle tick. Starting only raises a flag: a tick hands latency changes
    // over instead of resizing the delay line. A stop that meets a tick leaves
    // its reset to the next process call, which runs it first.
    if (state != 0) {
        SetProcessingRunning(true);
        return kResultOk;
    }
    const auto lock = TryLockOutIdleTick();
    if (!lock.owns_lock()) {
        DeferProcessingReset();
        return kResultOk;
    }
    CancelDeferredProcessingReset();
    OnProcessingReset();
    return kResultOk;
}

tresult PLUGIN_API IPluginVST3::process(ProcessData& data) {
    ProcessBridge(data, processSetup, audioInputs, audioOutputs);
    return kResultOk;
}

uint32 PLUGIN_API IPluginVST3::getTailSamples() {
    if (TailLength() == IPluginProcessor::kInfiniteTail)
        return Steinberg::Vst::kInfiniteTail;
    return static_cast<uint32>(std::max(TailLength(), 0));
}

uint32 PLUGIN_API IPluginVST3::getProcessContextRequirements() {
    return 0;
}

// ---- State ----

tresult PLUGIN_API IPluginVST3::getState(IBStream* state) {
    if (state == nullptr)
        return kResultFalse;
    ByteChunk chunk;
    if (!SerializeState(chunk))
        return kResultFalse;
    ByteChunk flag;
    flag.PutInt32(IsBypassed() ? 1 : 0);
    int32 written = 0;
    state->write(chunk.Data(), chunk.Size(), &written);
    state->write(flag.Data(), flag.Size(), &written);
    return kResultOk;
}

tresult PLUGIN_API IPluginVST3::setState(IBStream* state) {
    if (state == nullptr)
        return kResultFalse;
    const auto lock = LockOutIdleTick();
    ByteChunk chunk(kMaxStateBytes);
    uint8 piece[kStateReadPieceBytes];
    const bool keepReadingAfterError = IdentifiedHostKind() == HostKind::WaveLab;
    while (true) {
        int32 delivered = 0;
        const tresult result = state->read(piece, kStateReadPieceBytes, &delivered);
        delivered = std::clamp<int32>(delivered, 0, kStateReadPieceBytes);
        if (delivered == 0 || (result != kResultOk && !keepReadingAfterError))
            break;
        if (!chunk.PutBytes(piece, delivered))
            break; // longer than any real state: what fitted is used
    }

    const int32_t position = UnserializeState(chunk, 0);
    // Keep the controller's values in step with whatever was restored, even
    // when the stream turns out too short below.
    CopyParamsToHost(*this);
    if (position < 0)
        return kResultFalse; // too short for the parameters
    int32_t bypassFlag = 0;
    if (chunk.GetInt32(bypassFlag, position) < 0)
        return kResultFalse;
    if (bypassParameter != nullptr)
        bypassParameter->setNormalized(static_cast<double>(bypassFlag));
    OnStateRestored();
    return kResultOk;
}

// ---- Controller ----

ParamValue PLUGIN_API IPluginVST3::getParamNormalized(ParamID id) {
    return HostNormalized(id);
}

tresult PLUGIN_API IPluginVST3::setParamNormalized(ParamID id, ParamValue value) {
    if (std::isnan(value) || !StoreHostNormalized(id, value))
        return kResultFalse;
    value = std::clamp(value, 0.0, 1.0);
    if (id < kBypassParamId && id < static_cast<ParamID>(ParamCount())) {
        const auto index = static_cast<int32_t>(id);
        ParamAt(index)->SetFromNormalized(value);
        OnParamChangeForEditor(index, ParamChangeSource::Host);
        PushParamToEditor(index, value, true);
    } else if (id == kPresetParamId && PresetCount() > 0) {
        RestorePreset(static_cast<int32_t>(std::lround((PresetCount() - 1) * value)));
    }
    return kResultOk;
}

IPlugView* PLUGIN_API IPluginVST3::createView(FIDString name) {
    if (!HasUI() || name == nullptr || std::strcmp(name, ViewType::kEditor) != 0)
        return nullptr;
    auto* view = new IPluginVST3View(*this);
    currentView = view;
    return view;
}

void IPluginVST3::ViewGone(const IPluginVST3View* view) noexcept {
    if (currentView == view)
        currentView = nullptr;
}

IPtr<Linux::IRunLoop> IPluginVST3::HostRunLoop() const {
    PluginFactory* factory = LiveFactory();
    if (auto loop = RunLoopTimer::FindRunLoop(factory ? factory->HostContext() : nullptr))
        return loop;
    return RunLoopTimer::FindRunLoop(getHostContext());
}

int32 PLUGIN_API IPluginVST3::getProgramListCount() {
    return PresetCount() > 0 ? 1 : 0;
}

tresult PLUGIN_API IPluginVST3::getProgramListInfo(int32 listIndex, ProgramListInfo& info) {
    if (listIndex != 0 || PresetCount() == 0)
        return kResultFalse;
    info.id = kFactoryPresetListId;
    CopyToString128(info.name, "Factory Presets");
    info.programCount = PresetCount();
    return kResultOk;
}

tresult PLUGIN_API IPluginVST3::getProgramName(ProgramListID listId, int32 programIndex,
                                               String128 name) {
    if (PresetCount() == 0 || listId != kFactoryPresetListId)
        return kResultFalse;
    CopyToString128(name, PresetName(programIndex));
    return kResultOk;
}

tresult PLUGIN_API IPluginVST3::getMidiControllerAssignment(int32 busIndex, int16 channel,
                                                            CtrlNumber controller, ParamID& id) {
    if (busIndex != 0 || channel < 0 || channel >= 1 || controller < 0 ||
        controller >= kMidiControllersPerChannel)
        return kResultFalse;
    id = kFirstMidiControllerParamId +
         static_cast<ParamID>(channel * kMidiControllersPerChannel + controller);
    return kResultOk;
}

tresult PLUGIN_API IPluginVST3::setChannelContextInfos(IAttributeList* list) {
    return ReadChannelContext(list);
}

tresult PLUGIN_API IPluginVST3::setComponentHandler(IComponentHandler* handler) {
    const auto hold = HoldComponentHandler();
    return SingleComponentEffect::setComponentHandler(handler);
}

tresult PLUGIN_API IPluginVST3::queryInterface(const TUID iid, void** obj) {
    if (obj == nullptr)
        return kInvalidArgument;
    QUERY_INTERFACE(iid, obj, IMidiMapping::iid, IMidiMapping)
    QUERY_INTERFACE(iid, obj, ChannelContext::IInfoListener::iid, ChannelContext::IInfoListener)
    return SingleComponentEffect::queryInterface(iid, obj);
}

// ---- Framework operations that reach the host ----

void IPluginVST3::BeginParamGesture(int32_t index) {
    beginEdit(static_cast<ParamID>(index));
}

void IPluginVST3::NotifyHostOfParamValue(int32_t index, double normalized) {
    performEdit(static_cast<ParamID>(index), normalized);
}

void IPluginVST3::EndParamGesture(int32_t index) {
    endEdit(static_cast<ParamID>(index));
}

bool IPluginVST3::ResizeEditorWindow(int32_t width, int32_t height) {
    if (!HasUI())
        return true;
    if ((width != editorWidth || height != editorHeight) && currentView != nullptr &&
        currentView->HasFrame())
        currentView->RequestResize(width, height);
    editorWidth = width;
    editorHeight = height;
    return true;
}

IContextMenu* IPluginVST3::CreateHostContextMenu(int32_t paramIdx) {
    const auto hold = HoldComponentHandler();
    IComponentHandler* handler = getComponentHandler();
    if (handler == nullptr || paramIdx < 0 || paramIdx >= ParamCount())
        return nullptr;
    IComponentHandler3* menus = nullptr;
    if (handler->queryInterface(IComponentHandler3::iid, reinterpret_cast<void**>(&menus)) !=
            kResultOk ||
        menus == nullptr)
        return nullptr;
    ParamID id = static_cast<ParamID>(paramIdx);
    IContextMenu* menu = menus->createContextMenu(currentView, &id);
    menus->release();
    return menu;
}

void IPluginVST3::SetParamFromEditor(int32_t index, double normalized) {
    if (index >= 0 && index < ParamCount())
        StoreHostNormalized(static_cast<ParamID>(index), normalized);
    IPluginAPIBase::SetParamFromEditor(index, normalized);
}

void IPluginVST3::NotifyHostOfAllParams() {
    CopyParamsToHost(*this);
    startGroupEdit();
    IPluginAPIBase::NotifyHostOfAllParams();
    finishGroupEdit();
}

void IPluginVST3::AfterIdleTick() {
    ReportPendingLatency();
}

// ---- Track information ----

void IPluginVST3::TrackColour(int32_t& red, int32_t& green, int32_t& blue) {
    ChannelColourComponents(red, green, blue);
}

void IPluginVST3::TrackName(std::string& text) {
    text = ChannelName();
}

void IPluginVST3::TrackNamespace(std::string& text) {
    text = ChannelNamespace();
}

int32_t IPluginVST3::TrackIndex() {
    return ChannelIndex();
}

int32_t IPluginVST3::TrackNamespaceIndex() {
    return NamespaceOrder();
}

} // namespace plugin::vst3
