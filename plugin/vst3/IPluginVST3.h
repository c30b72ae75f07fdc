#pragma once

#include "plugin/IPluginAPIBase.h"
#include "plugin/PlugConfig.h"
#include "plugin/vst3/IPluginVST3ControllerBase.h"
#include "plugin/vst3/IPluginVST3ProcessorBase.h"
#include "plugin/vst3/IPluginVST3View.h"
#include "plugin/vst3/RunLoopTimer.h"
#include "plugin/vst3/SingleComponentEffect.h"

#include "pluginterfaces/vst/ivstchannelcontextinfo.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace plugin::vst3 {

// The VST 3 face of a plug-in built on the framework: one object that is the
// audio component, the edit controller, the MIDI mapping and the channel
// context listener. A plug-in class derives from it and overrides the
// framework's hooks (OnParamChange, RenderBlock, OnProcessingReset, ...).
//
// Threads: every call comes from the host's UI thread (the one that created
// the instance) except process (audio thread) and setProcessing (whichever
// thread the host uses).
//
// The idle timer ticks on a run loop of the host's when there is one, in
// this order of preference: the host context's (the factory's, or the one
// given to initialize), then the editor frame's while a view is attached
// (OfferEditorRunLoop); otherwise on the timer's own thread. It moves as run
// loops come and go. On its own thread a tick is kept out of the set-up,
// state and reset calls by the API base's idle-tick lock, which they hold.
//
// Latency changes reach the host as restartComponent(kLatencyChanged) from
// the thread that calls ChangeLatency, except on the audio thread and inside
// an idle tick: the report is then made after the next (or that) tick, on
// the timer's thread and without the lock.
//
// Lifetime of the idle timer: it starts at construction when the factory's
// host context offers a run loop (ticks there cannot come before the
// constructors are done), otherwise at initialize; terminate stops it and the
// next initialize starts it again. The last release stops it before any
// destructor runs, and the destructors stop it again.
//
// Persistent state: the plug-in base's state chunk followed by an int32
// (little-endian) that is 1 while bypassed. The component's and the
// controller's state calls share one signature in the SDK, so the
// controller's setState/getState read and write the same stream; the
// controller's setComponentState does nothing, as the component's own
// setState already updated everything.
class IPluginVST3 : public IPluginAPIBase,
                    public IPluginVST3ProcessorBase,
                    public IPluginVST3ControllerBase,
                    public SingleComponentEffect,
                    public Steinberg::Vst::IMidiMapping,
                    public Steinberg::Vst::ChannelContext::IInfoListener {
public:
    using tresult = Steinberg::tresult;
    using int32 = Steinberg::int32;
    using uint32 = Steinberg::uint32;
    using TBool = Steinberg::TBool;
    using ParamID = Steinberg::Vst::ParamID;
    using ParamValue = Steinberg::Vst::ParamValue;

    // Largest state stream read by setState; far above any real state, so
    // that a stream that never ends cannot exhaust memory.
    static constexpr int32_t kMaxStateBytes = 1 << 24;

    // [ui] Starts the idle timer last when the factory's host context offers a
    // run loop; otherwise initialize starts it.
    explicit IPluginVST3(const PlugConfig& config);
    // [ui] Stops the idle timer first.
    ~IPluginVST3() override;

    // ---- Steinberg::IPluginBase ----
    tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override; // [ui]
    tresult PLUGIN_API terminate() override;                              // [ui]

    // ---- IComponent ----
    tresult PLUGIN_API setActive(TBool state) override;               // [ui]
    tresult PLUGIN_API setState(Steinberg::IBStream* state) override; // [ui]
    tresult PLUGIN_API getState(Steinberg::IBStream* state) override; // [ui]

    // ---- IAudioProcessor ----
    tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs, int32 numIns,
                                          Steinberg::Vst::SpeakerArrangement* outputs,
                                          int32 numOuts) override; // [ui, processing stopped]
    tresult PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) override;       // [ui]
    uint32 PLUGIN_API getLatencySamples() override;                                   // [ui]
    tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override; // [ui]
    // [any; never waits] false resets the plug-in (OnProcessingReset), or,
    // while an idle tick runs, leaves the reset to the start of the next
    // process call; true does not reset, because hosts set processing up
    // (which resets) before starting it.
    tresult PLUGIN_API setProcessing(TBool state) override;
    tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override; // [audio]
    uint32 PLUGIN_API getTailSamples() override;                            // [ui]
    uint32 PLUGIN_API getProcessContextRequirements() override;             // [ui]

    // ---- IEditController ----
    ParamValue PLUGIN_API getParamNormalized(ParamID id) override;                   // [ui]
    tresult PLUGIN_API setParamNormalized(ParamID id, ParamValue value) override;    // [ui]
    Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) override; // [ui]

    // ---- IUnitInfo ----
    int32 PLUGIN_API getProgramListCount() override; // [ui]
    tresult PLUGIN_API getProgramListInfo(int32 listIndex,
                                          Steinberg::Vst::ProgramListInfo& info) override; // [ui]
    tresult PLUGIN_API getProgramName(Steinberg::Vst::ProgramListID listId, int32 programIndex,
                                      Steinberg::Vst::String128 name) override; // [ui]

    // ---- IMidiMapping ----
    // [ui] Bus 0, channel 0 only, whether or not MIDI input is enabled.
    tresult PLUGIN_API getMidiControllerAssignment(int32 busIndex, Steinberg::int16 channel,
                                                   Steinberg::Vst::CtrlNumber controller,
                                                   ParamID& id) override;

    // ---- ChannelContext::IInfoListener ----
    tresult PLUGIN_API
    setChannelContextInfos(Steinberg::Vst::IAttributeList* list) override; // [ui]

    // ---- IEditController ----
    // [ui] Waits while the handler is held (HoldComponentHandler).
    tresult PLUGIN_API setComponentHandler(Steinberg::Vst::IComponentHandler* handler) override;

    // ---- FUnknown / FObject ----
    tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override; // [any]
    uint32 PLUGIN_API addRef() override { return SingleComponentEffect::addRef(); }    // [any]
    // [any] The last release stops the idle timer before destroying.
    uint32 PLUGIN_API release() override;
    OBJ_METHODS(IPluginVST3, SingleComponentEffect)

    // ---- Framework operations that reach the host ----
    void BeginParamGesture(int32_t index) override;                         // [ui]
    void NotifyHostOfParamValue(int32_t index, double normalized) override; // [ui]
    void EndParamGesture(int32_t index) override;                           // [ui]
    // [ui] Asks the host, through the current view's frame, to resize the
    // view when the size differs from the stored editor size; stores the
    // size either way (getSize reports it). True (the window host then
    // resizes its own window, whether or not the host calls onSize).
    bool ResizeEditorWindow(int32_t width, int32_t height) override;
    // [ui] The host's menu for the parameter (IComponentHandler3), or null.
    Steinberg::Vst::IContextMenu* CreateHostContextMenu(int32_t paramIdx) override;
    // [ui] Stores the position in the host-visible parameter, then the base.
    void SetParamFromEditor(int32_t index, double normalized) override;
    // [ui] Copies every value to the host-visible parameters, then tells the
    // host inside one group edit.
    void NotifyHostOfAllParams() override;
    // [timer thread, without the lock] Sends the latency report that the
    // audio thread or the tick left.
    void AfterIdleTick() override;

    // [any, never under the idle-tick lock] While held, the component handler
    // is neither replaced nor released: setComponentHandler, terminate and
    // destruction wait. For host calls made off the UI thread.
    [[nodiscard]] std::unique_lock<std::recursive_mutex> HoldComponentHandler() {
        return std::unique_lock<std::recursive_mutex>(componentHandlerMutex);
    }

    // ---- Run loops for the idle timer ----

    // [ui] For the editor view, from IPlugView::attached: the IRunLoop its
    // frame offers. The idle timer moves onto it unless a host-context run
    // loop is in use, and so ticks on the UI thread while the editor is
    // open. Held with a reference until withdrawn or replaced; null
    // withdraws.
    void OfferEditorRunLoop(Steinberg::Linux::IRunLoop* runLoop);
    // [ui] For the editor view, from IPlugView::removed (and its destruction):
    // the idle timer leaves the editor's run loop, for the host context's
    // when there is one, else for its own thread. Idempotent.
    void WithdrawEditorRunLoop();
    // [ui] The adapter of the run loop the idle timer ticks on, or null (its
    // own thread, or stopped).
    const RunLoopTimer* IdleRunLoop() const noexcept;

    // ---- Track information from the host's channel context ----
    void TrackColour(int32_t& red, int32_t& green, int32_t& blue) override; // [ui]
    void TrackName(std::string& text) override;                             // [ui]
    void TrackNamespace(std::string& text) override;                        // [ui]
    int32_t TrackIndex() override;                                          // [ui]
    int32_t TrackNamespaceIndex() override;                                 // [ui]

    // [ui] The processor's bus layout for a channel count, as a VST 3 speaker
    // arrangement; 0 (empty) for counts without a standard layout.
    static Steinberg::Vst::SpeakerArrangement SpeakerArrangementFor(int32_t channels) noexcept;

    // ---- The editor view ----

    // [ui] The host's run loop from the factory's or initialize's context,
    // or null.
    Steinberg::IPtr<Steinberg::Linux::IRunLoop> HostRunLoop() const;
    // [ui] The newest view, or null once it is gone.
    IPluginVST3View* CurrentView() const noexcept { return currentView; }
    // [ui] A view going away forgets itself.
    void ViewGone(const IPluginVST3View* view) noexcept;

protected:
    // [ui] Builds the audio and event buses of the configuration with the
    // most buses in each direction.
    void CreateDefaultBuses();

private:
    void AddAudioBuses(plugin::BusDirection direction, int32_t configIndex);
    void IdentifyHost(Steinberg::FUnknown* context);
    // Takes the host context's run loop (the factory's first), or drops it
    // when none is offered, and starts or moves the idle timer accordingly.
    // Not under the idle-tick lock.
    void UseHostRunLoop(Steinberg::FUnknown* context);
    // Moves a running idle timer to the preferred run loop, or to its own
    // thread. An adapter may be destroyed only after this moved the timer
    // off it.
    void PlaceIdleTimer();

    std::recursive_mutex componentHandlerMutex;
    std::unique_ptr<RunLoopTimer> hostRunLoop;   // the host context's
    std::unique_ptr<RunLoopTimer> editorRunLoop; // the editor frame's, while attached
    IPluginVST3View* currentView = nullptr;
};

} // namespace plugin::vst3
