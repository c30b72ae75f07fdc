#pragma once

#include "plugin/IPluginProcessor.h"
#include "plugin/MidiTypes.h"
#include "plugin/PlugConfig.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"
#include "public.sdk/source/vst/vstbus.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace plugin::vst3 {

class IPluginVST3;

// Turns the host's VST 3 processing calls into the framework's processor
// model: the set-up, and every process call (transport, parameter changes,
// MIDI, audio buffers, bypass) on the audio thread.
//
// A process call applies one value per parameter per block: the last point
// of each queue. It never allocates, locks or throws; a host that breaks the
// set-up contract (frames above the maximum block, null buffers, a sample
// size other than the one set up) gets silence or untouched buffers, never a
// crash.
class IPluginVST3ProcessorBase : public IPluginProcessor {
public:
    // Outgoing MIDI room per set-up: the maximum block rounded up to this
    // granularity, and never more than the ceiling (a message per frame at
    // most is plenty for any real plug-in).
    static constexpr int32_t kMidiOutGranularity = 512;
    static constexpr int32_t kMaxMidiOutMessages = 1 << 16;

    // [ui] plugin is the owning object, used once processing runs.
    IPluginVST3ProcessorBase(const PlugConfig& config, IPluginVST3& plugin);
    ~IPluginVST3ProcessorBase() override;

    // [ui, processing stopped] Stores the set-up, sizes the buffers, sets the
    // offline flag from the process mode and resets the plug-in. False (and
    // nothing changed) for a sample size other than 32 or 64 bits, a sample
    // rate that is not a positive finite number or a negative block size.
    bool SetUpProcessing(const Steinberg::Vst::ProcessSetup& setup,
                         Steinberg::Vst::ProcessSetup& storedSetup);
    // [audio] One host process call. The buses are the component's, for
    // their active flags.
    void ProcessBridge(Steinberg::Vst::ProcessData& data, const Steinberg::Vst::ProcessSetup& setup,
                       Steinberg::Vst::BusList& audioInputs, Steinberg::Vst::BusList& audioOutputs);

    // [ui; audio and idle tick allowed] Stores the latency and asks the host
    // to read it again (restartComponent with kLatencyChanged) when it gave a
    // component handler. Called on the audio thread or inside an idle tick it
    // only stores, and ReportPendingLatency makes the report after the tick.
    void ChangeLatency(int32_t samples) override;
    // [any; wait-free] Leaves the processing reset to the next process call,
    // for a stop that cannot wait for an idle tick to finish.
    void DeferProcessingReset() noexcept {
        processingResetDeferred.store(true, std::memory_order_release);
    }
    // [ui, under the idle-tick lock] A reset is being made now: none is owed.
    void CancelDeferredProcessingReset() noexcept {
        processingResetDeferred.store(false, std::memory_order_relaxed);
    }
    // [ui, timer thread; not under the idle-tick lock] Sends the latency report
    // that ChangeLatency left, holding the component handler.
    void ReportPendingLatency();
    // [audio] Keeps the queue ordered by sample offset; false when full.
    bool QueueMidiOut(const MidiMessage& message) override;
    // [audio] Not supported.
    bool QueueSysExOut(const SysExBlock& block) override;

    // [audio] The host's transport as last received (zeroed before any).
    const Steinberg::Vst::ProcessContext& HostContext() const noexcept { return context; }
    // [any]
    bool IsSideChainActive() const noexcept { return sideChainActive; }
    // [audio] Messages waiting to go to the host in this block.
    int32_t PendingMidiOut() const noexcept { return midiOutCount; }

private:
    void UpdateTransport(const Steinberg::Vst::ProcessContext* hostContext) noexcept;
    void ApplyParameterChanges(Steinberg::Vst::IParameterChanges* changes) noexcept;
    void ApplyMidiControllerChange(Steinberg::Vst::ParamID id, int32_t sampleOffset,
                                   double value) noexcept;
    void ReceiveMidi(Steinberg::Vst::IEventList* events) noexcept;
    void WireInputs(Steinberg::Vst::ProcessData& data, Steinberg::Vst::BusList& audioInputs,
                    bool is64) noexcept;
    void WireOutputs(Steinberg::Vst::ProcessData& data, Steinberg::Vst::BusList& audioOutputs,
                     bool is64) noexcept;
    void SendMidiOut(Steinberg::Vst::IEventList* events) noexcept;

    IPluginVST3& plugin;
    int32_t mainInputWidth = 0;
    Steinberg::Vst::ProcessContext context{};
    // Outgoing MIDI, sorted by sample offset; filled and emptied within one
    // process call on the audio thread, sized only at set-up.
    std::vector<MidiMessage> midiOut;
    int32_t midiOutCount = 0;
    bool sideChainActive = false;
    // Set when a latency change could not be reported from the audio thread.
    std::atomic<bool> latencyReportPending{false};
    std::atomic<bool> processingResetDeferred{false};
};

} // namespace plugin::vst3
