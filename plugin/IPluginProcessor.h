#pragma once

#include "plugin/ChannelIO.h"
#include "plugin/LatencyDelayLine.h"
#include "plugin/MidiTypes.h"
#include "plugin/PlugConfig.h"
#include "plugin/TransportInfo.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace plugin {

// One audio channel of one direction. While the channel is not connected, or
// when the host gave no buffer for it, its pointer entry refers to its own
// scratch buffer, so the block hook never meets a null channel pointer.
struct ChannelSlot {
    bool connected = false;
    double** pointerSlot = nullptr; // this channel's entry in the pointer array
    float* hostBuffer32 = nullptr;  // outputs only: the host's buffer for this block
    std::vector<double> scratch;    // blockSize samples (at least one)
    std::vector<double> delayed;    // inputs only: the input as the bypass plays it
};

// The audio-processing half of a plug-in, independent of any plug-in standard.
// A binding (the VST 3 bridge) wires the host's buffers into the channel
// pointer arrays and runs the block hook; the plug-in overrides the hooks.
//
// Threads: queries and configuration calls are made on the UI thread, the
// binding, running and pass-through calls on the audio thread inside one
// process call. RunBlock* and PassThroughBlock* open an AudioThreadScope for
// their duration, so code reached from the hooks sees IsAudioThread().
//
// Blocks longer than BlockSize() break the host's side of the set-up contract;
// they are not rendered: the connected host outputs receive silence and no
// scratch buffer is overrun.
class IPluginProcessor {
public:
    static constexpr int32_t kInfiniteTail = 2147483647;
    // Ceiling on the block size and latency the processor will allocate for,
    // so that a host asking for absurd sizes gets silence instead of an
    // out-of-memory kill. Hosts use a few thousand frames per block at most.
    static constexpr int32_t kMaxBlockFrames = 1 << 20;
    static constexpr int32_t kMaxLatencySamples = 1 << 22;
    // Samples over which bypass fades between the processed output and the
    // input delayed by the latency, both ways.
    static constexpr int32_t kBypassCrossfadeFrames = 256;

    // [ui] allocates the configurations, slots and pointer arrays.
    explicit IPluginProcessor(const PlugConfig& config);
    virtual ~IPluginProcessor();

    IPluginProcessor(const IPluginProcessor&) = delete;
    IPluginProcessor& operator=(const IPluginProcessor&) = delete;

    // ---- Hooks, in this order ----

    // [audio] The plug-in's block processing. inputs and outputs have
    // ChannelCount(Input) and ChannelCount(Output) entries, none null; an
    // input and an output may be the same buffer (in-place hosts). The
    // default copies each input into the output of the same index and fills
    // the remaining outputs with zeros.
    virtual void RenderBlock(const double* const* inputs, double* const* outputs, int32_t frames);
    // [audio] Default: forwards to QueueMidiOut.
    virtual void HandleMidiMessage(const MidiMessage& message);
    // [audio] Default: ignores the block.
    virtual void HandleSysEx(const SysExBlock& block);
    // [ui, processing stopped] Processing was set up or stopped; reset DSP.
    virtual void OnProcessingReset();
    // [ui]
    virtual void OnActivationChange(bool active);
    // [audio] Queues a message for the host; returns false when dropped.
    virtual bool QueueMidiOut(const MidiMessage& message) = 0;
    // [audio] Queues every message in order (all are tried); true when all
    // were accepted, true for an empty list.
    virtual bool QueueMidiOutBatch(std::span<const MidiMessage> messages);
    // [audio] Default: not supported, returns false.
    virtual bool QueueSysExOut(const SysExBlock& block);
    // [ui] "Input", "Main"/"Aux", "Input %i", "Output", "Output %i".
    virtual std::string DescribeBus(BusDirection direction, int32_t busIndex,
                                    int32_t busCount) const;
    // [ui; audio allowed, wait-free there] Stores the reported latency and
    // hands the new length to the bypass delay line: applied at once when
    // called on the UI thread while processing is stopped, otherwise taken
    // over by the audio thread at the start of its next pass-through block.
    // In the hand-over the delay cannot exceed the capacity reserved
    // beforehand (ReserveLatency); a longer request is limited to it, and the
    // bypassed signal is then delayed by less than reported.
    virtual void ChangeLatency(int32_t samples);
    // [ui]
    virtual void ChangeTailLength(int32_t samples);

    // ---- Queries ----

    // [any] The largest bus count of a direction over all configurations; the
    // later configuration wins a tie. 0 and index 0 without configurations.
    int32_t MostBusesInConfigs(BusDirection direction, int32_t& configIndex) const;
    // [any] -1 when configuration 0 has a wildcard bus in that direction;
    // otherwise the largest channel count at position busIndex over all
    // configurations (0 when none has that many buses).
    int32_t WidestBusChannels(BusDirection direction, int32_t busIndex) const;
    // [any] First configuration whose buses match the counts exactly, bus by
    // bus in both directions; -1 when none does. Wildcards never match.
    int32_t FindIOConfigFor(std::span<const int32_t> inputCounts,
                            std::span<const int32_t> outputCounts) const;
    // [audio] Connected slots in a direction.
    int32_t CountConnectedChannels(BusDirection direction) const;
    // [audio, or any while processing is stopped] Whether slot index of that
    // direction is connected in the current block; false for a slot that
    // does not exist.
    bool IsChannelConnected(BusDirection direction, int32_t index) const;
    // [any] Number of channel slots (the widest configuration's total).
    int32_t ChannelCount(BusDirection direction) const;
    // [any]
    const std::vector<ChannelIOConfig>& IOConfigs() const { return ioConfigs; }

    int32_t PlugType() const { return plugType; }    // [any]
    bool DoesMidiIn() const { return doesMidiIn; }   // [any]
    bool DoesMidiOut() const { return doesMidiOut; } // [any]
    bool DoesMPE() const { return doesMPE; }         // [any]

    double SampleRate() const { return sampleRate; }  // [any]
    int32_t BlockSize() const { return blockSize; }   // [any]
    int32_t TailLength() const { return tailLength; } // [ui]
    // [any]
    int32_t Latency() const { return latency.load(std::memory_order_relaxed); }
    // [any]
    bool IsBypassed() const { return bypassed.load(std::memory_order_relaxed); }
    // [any]
    bool IsRenderingOffline() const { return renderingOffline.load(std::memory_order_relaxed); }
    // [audio] refreshed by the binding every block.
    TransportInfo& Transport() { return transport; }
    // [audio]
    const TransportInfo& Transport() const { return transport; }

    // ---- Set-up, by the binding ----

    // [ui, processing stopped]
    void SetSampleRate(double rateHz) { sampleRate = rateHz; }
    // [audio] from the host's bypass parameter.
    void SetBypassed(bool state) { bypassed.store(state, std::memory_order_relaxed); }
    // [audio] from the process mode of the set-up.
    void SetRenderingOffline(bool state) {
        renderingOffline.store(state, std::memory_order_relaxed);
    }
    // [ui] True from the moment the host may call process (activation or
    // setProcessing(true)) until it no longer can. While true, latency
    // changes are handed to the audio thread instead of resizing directly.
    void SetProcessingRunning(bool running) { processingRunning.store(running); }
    // [ui, idle tick; audio allowed, wait-free there] ChangeLatency that
    // always hands the length over to the audio thread, for callers that may
    // run while processing starts (the host can start it from another thread).
    void HandOverLatency(int32_t samples);
    // [ui, processing stopped] Sizes every scratch buffer to frames (limited
    // to 0..kMaxBlockFrames) when that differs from the block size. When
    // memory runs out the buffers and block size stay as they were.
    void ResizeBlockBuffers(int32_t frames);
    // [ui, processing stopped] Creates the bypass delay line (length = the
    // current latency) when the plug-in has input channels and none exists.
    // Returns whether a delay line exists afterwards.
    bool CreateLatencyDelayLine();
    // [ui, processing stopped] Makes room for latencies up to maxSamples
    // (limited to kMaxLatencySamples), so that later changes made while
    // processing runs are applied in full. False when memory ran out or
    // there is no delay line.
    bool ReserveLatency(int32_t maxSamples);

    // ---- Channel wiring, once per block ----

    // [audio] Marks slots first..first+count-1 (those that exist). A slot
    // marked unconnected points at its own scratch buffer again.
    void MarkChannelsConnected(BusDirection direction, int32_t first, int32_t count,
                               bool connected);
    // [audio] Binds the next host buffer to each connected slot of
    // first..first+count-1; unconnected slots consume none. Inputs are widened
    // into the scratch buffers (at most BlockSize() frames); outputs render
    // into scratch and are narrowed by RunBlock32/PassThroughBlock32. A null
    // host buffer (or array) reads as silence and is written nowhere.
    void BindHostBuffers32(BusDirection direction, int32_t first, int32_t count,
                           float* const* hostBuffers, int32_t frames);
    // [audio] Same walk; connected slots point straight at the host buffers.
    void BindHostBuffers64(BusDirection direction, int32_t first, int32_t count,
                           double* const* hostBuffers);
    // [audio] Runs RenderBlock, then narrows the connected outputs into the
    // host's 32-bit buffers. A binding lasts one block: afterwards every
    // pointer entry refers to its scratch buffer again.
    //
    // Bypass: RenderBlock runs whether bypassed or not, and the inputs always
    // pass through the latency delay line, so that engaging bypass continues
    // the input delayed by the latency and releasing it continues the
    // processed current input. Between the two the output fades linearly
    // over kBypassCrossfadeFrames samples, either way (a change in the middle
    // of a fade turns it around where it stands). Outputs without an input
    // fade to silence.
    void RunBlock32(int32_t frames);
    // [audio] Runs RenderBlock on the bound buffers, with bypass as above.
    void RunBlock64(int32_t frames);
    // [audio] A process call without frames (a host's flush): RenderBlock
    // with 0 frames, so that the plug-in takes in what the call carried.
    void FlushBlock();
    // [audio] Bypassed blocks: inputs to outputs through the latency delay
    // line when there is a latency, else copied (extra outputs zeroed).
    void PassThroughBlock32(int32_t frames);
    // [audio] As PassThroughBlock32, on 64-bit bindings.
    void PassThroughBlock64(int32_t frames);
    // [audio] Fills every scratch buffer of both directions with zeros.
    void ZeroScratchBuffers();

private:
    std::vector<ChannelSlot>& Slots(BusDirection direction) {
        return channelSlots[DirectionIndex(direction)];
    }
    const std::vector<ChannelSlot>& Slots(BusDirection direction) const {
        return channelSlots[DirectionIndex(direction)];
    }
    double* const* Pointers(BusDirection direction) {
        return channelPointers[DirectionIndex(direction)].data();
    }
    // Resizes the delay line at once when resizeNow, else hands the length
    // over to the audio thread.
    void StoreLatency(int32_t samples, bool resizeNow);
    // Takes over a latency published by ChangeLatency while processing ran.
    void ApplyPendingLatency_rt() noexcept;
    void PassThrough_rt(int32_t frames) noexcept;
    bool DelayInputs_rt(int32_t frames) noexcept;
    void MixBypass_rt(int32_t frames) noexcept;
    void NarrowOutputs_rt(int32_t frames) noexcept;
    void SilenceHostOutputs_rt(int32_t frames) noexcept;
    void ReleaseBindings_rt() noexcept;
    void PointAllAtScratch() noexcept;

    int32_t plugType;
    bool doesMidiIn;
    bool doesMidiOut;
    bool doesMPE;
    std::atomic<int32_t> latency;
    double sampleRate = 48000.0;
    int32_t blockSize = 0;
    int32_t tailLength = 0;
    std::atomic<bool> bypassed{false};
    std::atomic<bool> renderingOffline{false};
    std::vector<ChannelIOConfig> ioConfigs;
    std::array<std::vector<double*>, kBusDirections> channelPointers;
    std::array<std::vector<ChannelSlot>, kBusDirections> channelSlots;
    std::unique_ptr<LatencyDelayLine> latencyDelay;
    std::vector<double*> delayedPointers; // the input slots' delayed buffers
    int32_t bypassPosition = 0;           // 0 processed .. kBypassCrossfadeFrames bypassed
    TransportInfo transport;

    // UI-to-audio hand-over of the delay length; -1 when nothing is pending.
    std::atomic<int32_t> pendingDelayLength{-1};
    std::atomic<bool> processingRunning{false};
};

} // namespace plugin
