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
#include <string>

namespace plugin::vst3 {

// The VST 3 face of a plug-in built on the framework: one object that is the
// audio component, the edit controller, the MIDI mapping and the channel
// context listener. A plug-in class derives from it and overrides the
// framework's hooks (OnParamChange, RenderBlock, OnProcessingReset, ...).
//
// Threads: every call comes from the host's UI thread (the one that created
// the instance) except process (audio thread) and setProcessing (whichever
// thread the host uses). The idle timer ticks on the host's run loop when
// the host offers one (through the factory's host context or the context
// given to initialize), otherwise on the timer's own thread.
//
// Latency changes reach the host as restartComponent(kLatencyChanged) from
// the thread that calls ChangeLatency, unless that is the audio thread: the
// report then waits for the next idle tick, so a plug-in overriding
// OnIdleTimer must call IPluginVST3::OnIdleTimer() too.
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

    // [ui] Starts the idle timer last.
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
    // [any] false resets the plug-in (OnProcessingReset); true does not,
    // because hosts set processing up (which resets) before starting it.
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

    // ---- FUnknown / FObject ----
    tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override; // [any]
    REFCOUNT_METHODS(SingleComponentEffect)
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
    // [timer thread] Sends a latency report left by the audio thread.
    void OnIdleTimer() override;

    // ---- Track information from the host's channel context ----
    void TrackColour(int32_t& red, int32_t& green, int32_t& blue) override; // [ui]
    void TrackName(std::string& text) override;                             // [ui]
    void TrackNamespace(std::string& text) override;                        // [ui]
    int32_t TrackIndex() override;                                          // [ui]
    int32_t TrackNamespaceIndex() override;                                 // [ui]

    // [ui] The processor's bus layout for a channel count, as a VST 3 speaker
    // arrangement; 0 (empty) for counts without a standard layout.
    static Steinberg::Vst::SpeakerArrangement SpeakerArrangementFor(int32_t channels) noexcept;

    // [ui] The run loop the idle timer uses, or null (private thread).
    const RunLoopTimer* IdleRunLoop() const noexcept { return runLoopTimer.get(); }

    // ---- The editor view ----

    // [ui] The host's run loop from the factory's or initialize's context,
    // or null.
    Steinberg::IPtr<Steinberg::Linux::IRunLoop> HostRunLoop() const;
    // [ui] The newest view, or null once it is gone.
    IPluginVST3View* CurrentView() const noexcept { return currentView; }
    // [ui] A view going away forgets itself.
    void ViewGone(const IPluginVST3View* view) noexcept;
    // [ui] An attached view lends the binding its frame's run loop, until
    // WithdrawEditorRunLoop: the idle timer could tick there when the host
    // offered no run loop of its own (the idle timer stays where it is for
    // now; the binding's timer hand-over is a separate piece of work).
    virtual void OfferEditorRunLoop(Steinberg::Linux::IRunLoop* loop);
    virtual void WithdrawEditorRunLoop();

protected:
    // [ui] Builds the audio and event buses of the configuration with the
    // most buses in each direction.
    void CreateDefaultBuses();

private:
    void AddAudioBuses(plugin::BusDirection direction, int32_t configIndex);
    void IdentifyHost(Steinberg::FUnknown* context);
    // Puts the idle timer on the host's run loop when one is offered.
    void AttachIdleTimerToRunLoop(Steinberg::FUnknown* context);

    std::unique_ptr<RunLoopTimer> runLoopTimer;
    IPluginVST3View* currentView = nullptr;
};

} // namespace plugin::vst3
