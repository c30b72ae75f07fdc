#include "plugin/IPluginProcessor.h"

#include "plugin/AudioThread.h"
#include "plugin/DenormalGuard.h"

#include <algorithm>
#include <cstdio>
#include <new>

namespace plugin {

namespace {

constexpr BusDirection kInput = BusDirection::Input;
constexpr BusDirection kOutput = BusDirection::Output;

// Scratch buffers never have zero length, so that even before set-up an
// unconnected channel's pointer is a real address.
size_t ScratchLength(int32_t frames) {
    return static_cast<size_t>(std::max(frames, 1));
}

// The slot range first..first+count-1 limited to the slots that exist; empty
// for a negative start or count.
struct SlotRange {
    size_t begin = 0;
    size_t end = 0;
};

SlotRange ClampRange(int32_t first, int32_t count, size_t slotCount) {
    if (first < 0 || count <= 0 || static_cast<size_t>(first) >= slotCount) {
        return {};
    }
    const size_t end = std::min(slotCount, static_cast<size_t>(first) + static_cast<size_t>(count));
    return {static_cast<size_t>(first), end};
}

// Copies each input into the output of the same index and silences the
// outputs that have no input. Shared by the default block hook and the
// pass-through without latency.
void CopyOrSilence(const double* const* inputs, size_t inputCount, double* const* outputs,
                   size_t outputCount, int32_t frames) {
    const size_t copied = std::min(inputCount, outputCount);
    for (size_t j = 0; j < copied; ++j) {
        if (outputs[j] != inputs[j]) {
            std::copy_n(inputs[j], frames, outputs[j]);
        }
    }
    for (size_t j = copied; j < outputCount; ++j) {
        std::fill_n(outputs[j], frames, 0.0);
    }
}

} // namespace

IPluginProcessor::IPluginProcessor(const PlugConfig& config)
    : plugType(config.plugType), doesMidiIn(config.midiIn), doesMidiOut(config.midiOut),
      doesMPE(config.mpe), latency(std::max(config.latency, 0)) {
    const ChannelIOTotals totals = ParseChannelIOString(config.channelIOString, ioConfigs);
    const std::array<int32_t, kBusDirections> widths = {std::max(totals.inputChannels, 0),
                                                        std::max(totals.outputChannels, 0)};
    for (int32_t d = 0; d < kBusDirections; ++d) {
        channelPointers[d].assign(static_cast<size_t>(widths[d]), nullptr);
        channelSlots[d].resize(static_cast<size_t>(widths[d]));
        for (size_t i = 0; i < channelSlots[d].size(); ++i) {
            ChannelSlot& slot = channelSlots[d][i];
            slot.pointerSlot = &channelPointers[d][i];
            slot.scratch.assign(ScratchLength(blockSize), 0.0);
        }
    }
    for (ChannelSlot& slot : Slots(kInput)) {
        slot.delayed.assign(ScratchLength(blockSize), 0.0);
        delayedPointers.push_back(slot.delayed.data());
    }
    PointAllAtScratch();
}

IPluginProcessor::~IPluginProcessor() = default;

// ---- Hooks ----

void IPluginProcessor::RenderBlock(const double* const* inputs, double* const* outputs,
                                   int32_t frames) {
    CopyOrSilence(inputs, Slots(kInput).size(), outputs, Slots(kOutput).size(), frames);
}

void IPluginProcessor::HandleMidiMessage(const MidiMessage& message) {
    QueueMidiOut(message);
}

void IPluginProcessor::HandleSysEx(const SysExBlock&) {}

void IPluginProcessor::OnProcessingReset() {}

void IPluginProcessor::OnActivationChange(bool) {}

bool IPluginProcessor::QueueMidiOutBatch(std::span<const MidiMessage> messages) {
    bool all = true;
    for (const MidiMessage& message : messages) {
        all = QueueMidiOut(message) && all;
    }
    return all;
}

bool IPluginProcessor::QueueSysExOut(const SysExBlock&) {
    return false;
}

std::string IPluginProcessor::DescribeBus(BusDirection direction, int32_t busIndex,
                                          int32_t busCount) const {
    char text[32];
    if (direction == kOutput) {
        if (busCount == 1) {
            return "Output";
        }
        std::snprintf(text, sizeof text, "Output %i", busIndex);
        return text;
    }
    if (busCount == 1) {
        return "Input";
    }
    if (busCount == 2) {
        return busIndex == 0 ? "Main" : "Aux";
    }
    std::snprintf(text, sizeof text, "Input %i", busIndex);
    return text;
}

void IPluginProcessor::ChangeLatency(int32_t samples) {
    // On the audio thread itself (a hook reacting to a parameter) nothing may
    // allocate, so the change takes the same hand-over as while running.
    StoreLatency(samples, !processingRunning.load() && !IsAudioThread());
}

void IPluginProcessor::HandOverLatency(int32_t samples) {
    StoreLatency(samples, false);
}

void IPluginProcessor::StoreLatency(int32_t samples, bool resizeNow) {
    samples = std::max(samples, 0);
    latency.store(samples, std::memory_order_relaxed);
    if (!latencyDelay) {
        return;
    }
    const int32_t wanted = std::min(samples, kMaxLatencySamples);
    if (resizeNow) {
        pendingDelayLength.store(-1, std::memory_order_relaxed);
        latencyDelay->Reserve(wanted);
        latencyDelay->SetLength(wanted);
        return;
    }
    // The audio thread may be reading the delay line right now: only the
    // capacity, which is fixed while processing runs, is read here.
    pendingDelayLength.store(std::min(wanted, latencyDelay->Capacity()), std::memory_order_release);
}

void IPluginProcessor::ChangeTailLength(int32_t samples) {
    tailLength = samples;
}

// ---- Queries ----

int32_t IPluginProcessor::MostBusesInConfigs(BusDirection direction, int32_t& configIndex) const {
    int32_t most = 0;
    configIndex = 0;
    for (size_t i = 0; i < ioConfigs.size(); ++i) {
        const int32_t count = ioConfigs[i].BusCount(direction);
        if (count >= most) {
            most = count;
            configIndex = static_cast<int32_t>(i);
        }
    }
    return most;
}

int32_t IPluginProcessor::WidestBusChannels(BusDirection direction, int32_t busIndex) const {
    if (ioConfigs.empty()) {
        return 0;
    }
    if (ioConfigs.front().HasWildcard(direction)) {
        return -1;
    }
    if (busIndex < 0) {
        return 0;
    }
    int32_t widest = 0;
    for (const ChannelIOConfig& config : ioConfigs) {
        const auto& buses = config.Buses(direction);
        if (static_cast<size_t>(busIndex) < buses.size()) {
            widest = std::max(widest, buses[static_cast<size_t>(busIndex)].channelCount);
        }
    }
    return widest;
}

int32_t IPluginProcessor::FindIOConfigFor(std::span<const int32_t> inputCounts,
                                          std::span<const int32_t> outputCounts) const {
    const auto matches = [](const std::vector<BusSpec>& buses, std::span<const int32_t> counts) {
        return buses.size() == counts.size() &&
               std::equal(buses.begin(), buses.end(), counts.begin(),
                          [](const BusSpec& bus, int32_t count) {
                              return bus.channelCount != kWildcardChannels &&
                                     bus.channelCount == count;
                          });
    };
    for (size_t i = 0; i < ioConfigs.size(); ++i) {
        if (matches(ioConfigs[i].Buses(kInput), inputCounts) &&
            matches(ioConfigs[i].Buses(kOutput), outputCounts)) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

int32_t IPluginProcessor::CountConnectedChannels(BusDirection direction) const {
    const auto& slots = Slots(direction);
    return static_cast<int32_t>(std::count_if(slots.begin(), slots.end(),
                                              [](const ChannelSlot& s) { return s.connected; }));
}

bool IPluginProcessor::IsChannelConnected(BusDirection direction, int32_t index) const {
    const auto& slots = Slots(direction);
    return index >= 0 && static_cast<size_t>(index) < slots.size() &&
           slots[static_cast<size_t>(index)].connected;
}

int32_t IPluginProcessor::ChannelCount(BusDirection direction) const {
    return static_cast<int32_t>(Slots(direction).size());
}

// ---- Set-up ----

void IPluginProcessor::ResizeBlockBuffers(int32_t frames) {
    frames = std::clamp(frames, 0, kMaxBlockFrames);
    if (frames == blockSize) {
        return;
    }
    try {
        for (auto& slots : channelSlots) {
            for (ChannelSlot& slot : slots) {
                slot.scratch.resize(ScratchLength(frames), 0.0);
            }
        }
        for (ChannelSlot& slot : Slots(kInput)) {
            slot.delayed.resize(ScratchLength(frames), 0.0);
        }
        blockSize = frames;
    } catch (const std::bad_alloc&) {
        // Back to the old length everywhere; shrinking never allocates.
        for (auto& slots : channelSlots) {
            for (ChannelSlot& slot : slots) {
                slot.scratch.resize(std::min(slot.scratch.size(), ScratchLength(blockSize)));
                slot.delayed.resize(std::min(slot.delayed.size(), ScratchLength(blockSize)));
            }
        }
    }
    for (size_t j = 0; j < delayedPointers.size(); ++j) {
        delayedPointers[j] = Slots(kInput)[j].delayed.data();
    }
    PointAllAtScratch();
}

bool IPluginProcessor::CreateLatencyDelayLine() {
    if (!latencyDelay && !Slots(kInput).empty()) {
        try {
            latencyDelay =
                std::make_unique<LatencyDelayLine>(ChannelCount(kInput), ChannelCount(kOutput),
                                                   std::min(Latency(), kMaxLatencySamples));
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    return latencyDelay != nullptr;
}

bool IPluginProcessor::ReserveLatency(int32_t maxSamples) {
    if (!latencyDelay) {
        return false;
    }
    return latencyDelay->Reserve(std::min(maxSamples, kMaxLatencySamples));
}

void IPluginProcessor::PointAllAtScratch() noexcept {
    for (auto& slots : channelSlots) {
        for (ChannelSlot& slot : slots) {
            *slot.pointerSlot = slot.scratch.data();
            slot.hostBuffer32 = nullptr;
        }
    }
}

// ---- Channel wiring ----

void IPluginProcessor::MarkChannelsConnected(BusDirection direction, int32_t first, int32_t count,
                                             bool connected) {
    auto& slots = Slots(direction);
    const SlotRange range = ClampRange(first, count, slots.size());
    for (size_t i = range.begin; i < range.end; ++i) {
        slots[i].connected = connected;
        if (!connected) {
            *slots[i].pointerSlot = slots[i].scratch.data();
            slots[i].hostBuffer32 = nullptr;
        }
    }
}

void IPluginProcessor::BindHostBuffers32(BusDirection direction, int32_t first, int32_t count,
                                         float* const* hostBuffers, int32_t frames) {
    auto& slots = Slots(direction);
    const SlotRange range = ClampRange(first, count, slots.size());
    const size_t widened = static_cast<size_t>(std::clamp(frames, 0, blockSize));
    size_t next = 0;
    for (size_t i = range.begin; i < range.end; ++i) {
        ChannelSlot& slot = slots[i];
        if (!slot.connected) {
            continue;
        }
        float* host = hostBuffers != nullptr ? hostBuffers[next] : nullptr;
        ++next;
        *slot.pointerSlot = slot.scratch.data();
        if (direction == kOutput) {
            slot.hostBuffer32 = host;
        } else if (host != nullptr) {
            std::copy_n(host, widened, slot.scratch.begin());
        } else {
            std::fill_n(slot.scratch.begin(), widened, 0.0);
        }
    }
}

void IPluginProcessor::BindHostBuffers64(BusDirection direction, int32_t first, int32_t count,
                                         double* const* hostBuffers) {
    auto& slots = Slots(direction);
    const SlotRange range = ClampRange(first, count, slots.size());
    size_t next = 0;
    for (size_t i = range.begin; i < range.end; ++i) {
        ChannelSlot& slot = slots[i];
        if (!slot.connected) {
            continue;
        }
        double* host = hostBuffers != nullptr ? hostBuffers[next] : nullptr;
        ++next;
        slot.hostBuffer32 = nullptr;
        if (host != nullptr) {
            *slot.pointerSlot = host;
        } else {
            *slot.pointerSlot = slot.scratch.data();
            if (direction == kInput) {
                std::fill(slot.scratch.begin(), slot.scratch.end(), 0.0);
            }
        }
    }
}

void IPluginProcessor::RunBlock32(int32_t frames) {
    AudioThreadScope scope;
    ApplyPendingLatency_rt();
    frames = std::max(frames, 0);
    if (frames > blockSize) {
        SilenceHostOutputs_rt(frames);
    } else {
        const bool mixing = DelayInputs_rt(frames);
        RenderBlock(Pointers(kInput), Pointers(kOutput), frames);
        if (mixing) {
            // The fade of a decaying signal must not leave subnormals either.
            DenormalGuard denormals;
            MixBypass_rt(frames);
        }
        NarrowOutputs_rt(frames);
    }
    ReleaseBindings_rt();
}

void IPluginProcessor::RunBlock64(int32_t frames) {
    AudioThreadScope scope;
    ApplyPendingLatency_rt();
    frames = std::max(frames, 0);
    if (frames > blockSize) {
        SilenceHostOutputs_rt(frames);
    } else {
        const bool mixing = DelayInputs_rt(frames);
        RenderBlock(Pointers(kInput), Pointers(kOutput), frames);
        if (mixing) {
            // The fade of a decaying signal must not leave subnormals either.
            DenormalGuard denormals;
            MixBypass_rt(frames);
        }
    }
    ReleaseBindings_rt();
}

void IPluginProcessor::FlushBlock() {
    AudioThreadScope scope;
    // Nothing is bound: every pointer refers to a scratch buffer.
    RenderBlock(Pointers(kInput), Pointers(kOutput), 0);
}

bool IPluginProcessor::DelayInputs_rt(int32_t frames) noexcept {
    const bool mixing = bypassPosition > 0 || IsBypassed();
    const auto channels = static_cast<int32_t>(delayedPointers.size());
    if (latencyDelay && latencyDelay->Length() > 0) {
        // Written on every block, so that the bypass starts from the input of
        // the last `latency` samples, never from what a bypass long ago left.
        latencyDelay->Process(Pointers(kInput), delayedPointers.data(), channels, frames);
    } else if (mixing) {
        // Copied before the hook may overwrite it (in-place hosts).
        for (int32_t j = 0; j < channels; ++j) {
            std::copy_n(Pointers(kInput)[j], frames, delayedPointers[j]);
        }
    }
    return mixing;
}

void IPluginProcessor::MixBypass_rt(int32_t frames) noexcept {
    const bool target = IsBypassed();
    double* const* outputs = Pointers(kOutput);
    const size_t outputCount = Slots(kOutput).size();
    const size_t delayedCount = std::min({delayedPointers.size(), outputCount,
                                          latencyDelay && latencyDelay->Length() > 0
                                              ? static_cast<size_t>(latencyDelay->OutputChannels())
                                              : outputCount});
    const int32_t start = bypassPosition;
    for (size_t j = 0; j < outputCount; ++j) {
        // A host may hand two channels one buffer: it is mixed once.
        if (std::find(outputs, outputs + j, outputs[j]) != outputs + j) {
            continue;
        }
        const double* d = j < delayedCount ? delayedPointers[j] : nullptr;
        double* out = outputs[j];
        int32_t position = start;
        for (int32_t i = 0; i < frames; ++i) {
            position = std::clamp(position + (target ? 1 : -1), 0, kBypassCrossfadeFrames);
            const double delayed = d != nullptr ? d[i] : 0.0;
            // The ends are exact: the processed output untouched, or the
            // delayed input alone (whatever the processed sample holds).
            if (position == kBypassCrossfadeFrames) {
                out[i] = delayed;
            } else if (position > 0) {
                const double a = position / static_cast<double>(kBypassCrossfadeFrames);
                out[i] = (1.0 - a) * out[i] + a * delayed;
            }
        }
    }
    bypassPosition = std::clamp(start + (target ? frames : -frames), 0, kBypassCrossfadeFrames);
}

void IPluginProcessor::PassThroughBlock32(int32_t frames) {
    AudioThreadScope scope;
    ApplyPendingLatency_rt();
    frames = std::max(frames, 0);
    if (frames > blockSize) {
        SilenceHostOutputs_rt(frames);
    } else {
        PassThrough_rt(frames);
        NarrowOutputs_rt(frames);
    }
    ReleaseBindings_rt();
}

void IPluginProcessor::PassThroughBlock64(int32_t frames) {
    AudioThreadScope scope;
    ApplyPendingLatency_rt();
    frames = std::max(frames, 0);
    if (frames > blockSize) {
        SilenceHostOutputs_rt(frames);
    } else {
        PassThrough_rt(frames);
    }
    ReleaseBindings_rt();
}

void IPluginProcessor::ZeroScratchBuffers() {
    for (auto& slots : channelSlots) {
        for (ChannelSlot& slot : slots) {
            std::fill(slot.scratch.begin(), slot.scratch.end(), 0.0);
        }
    }
}

void IPluginProcessor::ApplyPendingLatency_rt() noexcept {
    const int32_t pending = pendingDelayLength.exchange(-1, std::memory_order_acquire);
    if (pending >= 0 && latencyDelay) {
        latencyDelay->SetLength(pending);
    }
}

void IPluginProcessor::PassThrough_rt(int32_t frames) noexcept {
    const size_t inputCount = Slots(kInput).size();
    const size_t outputCount = Slots(kOutput).size();
    if (latencyDelay && latencyDelay->Length() > 0) {
        latencyDelay->Process(Pointers(kInput), Pointers(kOutput),
                              static_cast<int32_t>(std::min(inputCount, outputCount)), frames);
    } else {
        CopyOrSilence(Pointers(kInput), inputCount, Pointers(kOutput), outputCount, frames);
    }
}

void IPluginProcessor::NarrowOutputs_rt(int32_t frames) noexcept {
    for (ChannelSlot& slot : Slots(kOutput)) {
        if (slot.connected && slot.hostBuffer32 != nullptr) {
            const double* source = slot.scratch.data();
            for (int32_t i = 0; i < frames; ++i) {
                slot.hostBuffer32[i] = static_cast<float>(source[i]);
            }
        }
    }
}

void IPluginProcessor::SilenceHostOutputs_rt(int32_t frames) noexcept {
    for (ChannelSlot& slot : Slots(kOutput)) {
        if (!slot.connected) {
            continue;
        }
        if (slot.hostBuffer32 != nullptr) {
            std::fill_n(slot.hostBuffer32, frames, 0.0f);
        }
        if (*slot.pointerSlot != slot.scratch.data()) {
            std::fill_n(*slot.pointerSlot, frames, 0.0);
        }
    }
}

void IPluginProcessor::ReleaseBindings_rt() noexcept {
    // Host buffers are only valid for the call that brought them; dropping
    // them here means a block whose binding was skipped reads stale scratch
    // samples instead of freed host memory.
    PointAllAtScratch();
}

} // namespace plugin
