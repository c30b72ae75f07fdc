#include "plugin/vst3/IPluginVST3ProcessorBase.h"

#include "plugin/AudioThread.h"
#include "plugin/vst3/HostParameters.h"
#include "plugin/vst3/IPluginVST3.h"

#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace plugin::vst3 {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kPolyPressure = 0xA0;
constexpr uint8_t kControlChange = 0xB0;
constexpr uint8_t kChannelPressure = 0xD0;
constexpr uint8_t kPitchBend = 0xE0;
constexpr int32_t kPitchBendCentre = 8192;
constexpr int32_t kPitchBendMax = 16383;

uint8_t SevenBit(double normalized) noexcept {
    return static_cast<uint8_t>(std::clamp(normalized, 0.0, 1.0) * 127.0);
}

uint8_t ChannelNibble(int32_t channel) noexcept {
    return static_cast<uint8_t>(channel & 0x0F);
}

int32_t RoundUpTo(int32_t value, int32_t granularity) {
    return (std::max(value, 1) + granularity - 1) / granularity * granularity;
}

} // namespace

IPluginVST3ProcessorBase::IPluginVST3ProcessorBase(const PlugConfig& config, IPluginVST3& owner)
    : IPluginProcessor(config), plugin(owner) {
    MarkChannelsConnected(BusDirection::Input, 0, ChannelCount(BusDirection::Input), true);
    MarkChannelsConnected(BusDirection::Output, 0, ChannelCount(BusDirection::Output), true);
    mainInputWidth = std::max(WidestBusChannels(BusDirection::Input, 0), 0);
    CreateLatencyDelayLine();
    ResizeBlockBuffers(512);
    midiOut.resize(static_cast<std::size_t>(kMidiOutGranularity));
}

IPluginVST3ProcessorBase::~IPluginVST3ProcessorBase() = default;

// ---- Set-up ----

bool IPluginVST3ProcessorBase::SetUpProcessing(const ProcessSetup& setup,
                                               ProcessSetup& storedSetup) {
    if (setup.symbolicSampleSize != kSample32 && setup.symbolicSampleSize != kSample64)
        return false;
    if (!std::isfinite(setup.sampleRate) || setup.sampleRate <= 0.0 || setup.maxSamplesPerBlock < 0)
        return false;

    storedSetup = setup;
    SetSampleRate(setup.sampleRate);
    ResizeBlockBuffers(setup.maxSamplesPerBlock);

    // Nothing is left over between blocks (the queue is emptied at the end of
    // every process call), so only the room changes.
    const int32_t room =
        std::min(RoundUpTo(setup.maxSamplesPerBlock, kMidiOutGranularity), kMaxMidiOutMessages);
    if (static_cast<int32_t>(midiOut.size()) != room) {
        try {
            midiOut.resize(static_cast<std::size_t>(room));
        } catch (const std::bad_alloc&) {
            // The old room stays in use.
        }
    }
    midiOutCount = 0;

    // The reset below reads the offline flag, so it must reflect this set-up
    // now, not only from the first process call on.
    SetRenderingOffline(setup.processMode == kOffline);
    processingResetDeferred.store(false, std::memory_order_relaxed);
    OnProcessingReset();
    return true;
}

// ---- Latency ----

void IPluginVST3ProcessorBase::ChangeLatency(int32_t samples) {
    if (IsAudioThread()) {
        IPluginProcessor::ChangeLatency(samples);
        latencyReportPending.store(true, std::memory_order_release);
        return;
    }
    {
        // The delay line's length and the latency are shared with the set-up
        // calls, which hold the same lock.
        const auto lock = plugin.LockOutIdleTick();
        if (plugin.InsideIdleTick()) {
            // setProcessing(true) does not wait for a tick, so processing may
            // start while this runs: the delay line is the audio thread's to
            // resize. The host hears of it after the tick, once the lock is
            // free.
            HandOverLatency(samples);
            latencyReportPending.store(true, std::memory_order_release);
            return;
        }
        IPluginProcessor::ChangeLatency(samples);
    }
    latencyReportPending.store(false, std::memory_order_relaxed);
    // The UI thread is the one that sets the handler, so it reads it as it
    // stands; holding the handler here, perhaps under a set-up call's
    // idle-tick lock, would invert the order in which a tick takes the two.
    if (IComponentHandler* handler = plugin.getComponentHandler())
        handler->restartComponent(kLatencyChanged);
}

void IPluginVST3ProcessorBase::ReportPendingLatency() {
    if (!latencyReportPending.exchange(false, std::memory_order_acq_rel))
        return;
    // Off the UI thread the handler must not be replaced or released during
    // the call. Held rather than reference-counted: a host's reference count
    // is not ours to touch from a thread of our own.
    const auto hold = plugin.HoldComponentHandler();
    if (IComponentHandler* handler = plugin.getComponentHandler())
        handler->restartComponent(kLatencyChanged);
}

// ---- MIDI out ----

bool IPluginVST3ProcessorBase::QueueMidiOut(const MidiMessage& message) {
    if (midiOutCount >= static_cast<int32_t>(midiOut.size()))
        return false;
    int32_t position = midiOutCount;
    // Later entries move up by one so the queue stays ordered by offset;
    // equal offsets keep their arrival order.
    while (position > 0 &&
           midiOut[static_cast<std::size_t>(position - 1)].sampleOffset > message.sampleOffset) {
        midiOut[static_cast<std::size_t>(position)] =
            midiOut[static_cast<std::size_t>(position - 1)];
        --position;
    }
    midiOut[static_cast<std::size_t>(position)] = message;
    ++midiOutCount;
    return true;
}

bool IPluginVST3ProcessorBase::QueueSysExOut(const SysExBlock&) {
    return false;
}

void IPluginVST3ProcessorBase::SendMidiOut(IEventList* events) noexcept {
    for (int32_t i = 0; events != nullptr && i < midiOutCount; ++i) {
        const MidiMessage& message = midiOut[static_cast<std::size_t>(i)];
        Event event{};
        event.busIndex = 0;
        event.sampleOffset = message.sampleOffset;
        const auto channel = static_cast<int16>(message.status & 0x0F);
        switch (message.status & 0xF0) {
        case kNoteOn:
            event.type = Event::kNoteOnEvent;
            event.noteOn = NoteOnEvent{channel, message.data1, 0.0f, message.data2 / 127.0f, 0, -1};
            break;
        case kNoteOff:
            event.type = Event::kNoteOffEvent;
            event.noteOff = NoteOffEvent{channel, message.data1, message.data2 / 127.0f, -1, 0.0f};
            break;
        case kPolyPressure:
            event.type = Event::kPolyPressureEvent;
            event.polyPressure =
                PolyPressureEvent{channel, message.data1, message.data2 / 127.0f, -1};
            break;
        case kControlChange:
            event.type = Event::kLegacyMIDICCOutEvent;
            event.midiCCOut = LegacyMIDICCOutEvent{message.data1, static_cast<int8>(channel),
                                                   static_cast<int8>(message.data2), 0};
            break;
        case kChannelPressure:
            event.type = Event::kLegacyMIDICCOutEvent;
            event.midiCCOut = LegacyMIDICCOutEvent{
                static_cast<uint8>(ControllerNumbers::kAfterTouch), static_cast<int8>(channel),
                static_cast<int8>(message.data1), 0};
            break;
        case kPitchBend:
            event.type = Event::kLegacyMIDICCOutEvent;
            event.midiCCOut = LegacyMIDICCOutEvent{
                static_cast<uint8>(ControllerNumbers::kPitchBend), static_cast<int8>(channel),
                static_cast<int8>(message.data1), static_cast<int8>(message.data2)};
            break;
        default:
            continue;
        }
        events->addEvent(event);
    }
    midiOutCount = 0;
}

// ---- Process ----

void IPluginVST3ProcessorBase::ProcessBridge(ProcessData& data, const ProcessSetup& setup,
                                             BusList& audioInputs, BusList& audioOutputs) {
    AudioThreadScope scope;
    UpdateTransport(data.processContext);
    SetRenderingOffline(setup.processMode == kOffline);
    // A stop that met an idle tick left its reset to this call. The set-up is
    // unchanged since, so the reset only clears state.
    if (processingResetDeferred.exchange(false, std::memory_order_acq_rel))
        OnProcessingReset();
    ApplyParameterChanges(data.inputParameterChanges);
    if (DoesMidiIn())
        ReceiveMidi(data.inputEvents);

    const int32 sampleSize = setup.symbolicSampleSize;
    // A call whose sample size differs from the set-up would have its buffers
    // read as the wrong type; such a call, like a flush without frames,
    // touches no buffer.
    if (sampleSize <= kSample64 && data.symbolicSampleSize == sampleSize && data.numSamples > 0) {
        const bool is64 = sampleSize == kSample64;
        WireInputs(data, audioInputs, is64);
        WireOutputs(data, audioOutputs, is64);
        // Bypassed or not: the run fades between the processed output and
        // the delayed input.
        if (is64) {
            RunBlock64(data.numSamples);
        } else {
            RunBlock32(data.numSamples);
        }
    } else if (data.numSamples == 0) {
        // A flush: the parameter changes it carried reach the plug-in.
        FlushBlock();
    }

    if (DoesMidiOut())
        SendMidiOut(data.outputEvents);
    else
        midiOutCount = 0; // nobody takes them: never let them pile up
}

void IPluginVST3ProcessorBase::UpdateTransport(const ProcessContext* hostContext) noexcept {
    if (hostContext != nullptr)
        context = *hostContext;
    TransportInfo& transport = Transport();
    transport.tempo = context.tempo;
    transport.samplePos = (context.state & ProcessContext::kProjectTimeMusicValid) != 0
                              ? static_cast<double>(context.projectTimeSamples)
                              : -1.0;
    transport.ppqPos = context.projectTimeMusic;
    transport.lastBar = context.barPositionMusic;
    transport.cycleStart = context.cycleStartMusic;
    transport.cycleEnd = context.cycleEndMusic;
    transport.numerator = context.timeSigNumerator;
    transport.denominator = context.timeSigDenominator;
    transport.transportRunning = (context.state & ProcessContext::kPlaying) != 0;
    transport.loopEnabled = (context.state & ProcessContext::kCycleActive) != 0;
}

void IPluginVST3ProcessorBase::ApplyParameterChanges(IParameterChanges* changes) noexcept {
    if (changes == nullptr)
        return;
    const int32 queueCount = changes->getParameterCount();
    for (int32 q = 0; q < queueCount; ++q) {
        IParamValueQueue* queue = changes->getParameterData(q);
        if (queue == nullptr)
            continue;
        const int32 points = queue->getPointCount();
        int32 sampleOffset = 0;
        ParamValue value = 0.0;
        if (points <= 0 || queue->getPoint(points - 1, sampleOffset, value) != kResultOk ||
            std::isnan(value))
            continue;
        const ParamID id = queue->getParameterId();
        if (id == kBypassParamId) {
            SetBypassed(value > 0.5);
        } else if (id < static_cast<ParamID>(plugin.ParamCount())) {
            const auto index = static_cast<int32_t>(id);
            plugin.ParamAt(index)->SetFromNormalized(value);
            plugin.OnParamChange(index, ParamChangeSource::Host, sampleOffset);
        } else if (id >= kFirstMidiControllerParamId && DoesMidiIn()) {
            ApplyMidiControllerChange(id, sampleOffset, value);
        }
    }
}

void IPluginVST3ProcessorBase::ApplyMidiControllerChange(ParamID id, int32_t sampleOffset,
                                                         double value) noexcept {
    const auto number = static_cast<int64_t>(id - kFirstMidiControllerParamId);
    const auto channel = static_cast<int32_t>(number / kMidiControllersPerChannel);
    const auto controller = static_cast<int32_t>(number % kMidiControllersPerChannel);
    MidiMessage message;
    message.sampleOffset = sampleOffset;
    if (controller == kChannelPressureController) {
        message.status = static_cast<uint8_t>(kChannelPressure + ChannelNibble(channel));
        message.data1 = SevenBit(value);
    } else if (controller == kPitchBendController) {
        const auto bend = static_cast<int32_t>(std::trunc((2.0 * value - 1.0) * -kPitchBendCentre));
        const int32_t v = std::clamp(kPitchBendCentre - bend, 0, kPitchBendMax);
        message.status = static_cast<uint8_t>(kPitchBend + ChannelNibble(channel));
        message.data1 = static_cast<uint8_t>(v & 0x7F);
        message.data2 = static_cast<uint8_t>(v >> 7);
    } else {
        message.status = static_cast<uint8_t>(kControlChange + ChannelNibble(channel));
        message.data1 = static_cast<uint8_t>(controller);
        message.data2 = SevenBit(value);
    }
    plugin.MidiFromProcessor().Push(message);
    HandleMidiMessage(message);
}

void IPluginVST3ProcessorBase::ReceiveMidi(IEventList* events) noexcept {
    const int32 count = events != nullptr ? events->getEventCount() : 0;
    for (int32 i = 0; i < count; ++i) {
        Event event{};
        if (events->getEvent(i, event) != kResultOk)
            continue;
        MidiMessage message;
        message.sampleOffset = event.sampleOffset;
        if (event.type == Event::kNoteOnEvent) {
            message.status = static_cast<uint8_t>(kNoteOn + ChannelNibble(event.noteOn.channel));
            message.data1 = static_cast<uint8_t>(event.noteOn.pitch & 0x7F);
            message.data2 = SevenBit(event.noteOn.velocity);
        } else if (event.type == Event::kNoteOffEvent) {
            message.status = static_cast<uint8_t>(kNoteOff + ChannelNibble(event.noteOff.channel));
            message.data1 = static_cast<uint8_t>(event.noteOff.pitch & 0x7F);
        } else if (event.type == Event::kPolyPressureEvent) {
            message.status =
                static_cast<uint8_t>(kPolyPressure + ChannelNibble(event.polyPressure.channel));
            message.data1 = static_cast<uint8_t>(event.polyPressure.pitch & 0x7F);
            message.data2 = SevenBit(event.polyPressure.pressure);
        } else if (event.type == Event::kDataEvent) {
            SysExBlock& block = plugin.SysExScratch();
            block.sampleOffset = event.sampleOffset;
            block.size = static_cast<int32_t>(
                std::min<uint32>(event.data.size, static_cast<uint32>(SysExBlock::maxBytes)));
            if (event.data.bytes == nullptr)
                block.size = 0;
            std::memcpy(block.data.data(), event.data.bytes, static_cast<std::size_t>(block.size));
            HandleSysEx(block);
            continue;
        } else {
            continue;
        }
        HandleMidiMessage(message);
        plugin.MidiFromProcessor().Push(message);
    }
    MidiMessage fromEditor;
    while (plugin.MidiFromEditor().Pop(fromEditor))
        HandleMidiMessage(fromEditor);
}

void IPluginVST3ProcessorBase::WireInputs(ProcessData& data, BusList& audioInputs,
                                          bool is64) noexcept {
    const int32_t slots = ChannelCount(BusDirection::Input);
    MarkChannelsConnected(BusDirection::Input, 0, slots, false);
    if (data.numInputs <= 0 || data.inputs == nullptr) {
        // No host input: the inputs read as silence, never as what an
        // earlier block left in the scratch buffers.
        ZeroScratchBuffers();
        return;
    }
    const AudioBusBuffers& main = data.inputs[0];
    const bool sideChainBus = audioInputs.size() > 1 && data.numInputs > 1 &&
                              audioInputs[1] != nullptr && audioInputs[1]->isActive();
    if (sideChainBus) {
        sideChainActive = true;
        MarkChannelsConnected(BusDirection::Input, 0, main.numChannels, true);
        MarkChannelsConnected(BusDirection::Input, mainInputWidth, data.inputs[1].numChannels,
                              true);
    } else {
        if (sideChainActive) {
            ZeroScratchBuffers();
            sideChainActive = false;
        }
        MarkChannelsConnected(BusDirection::Input, 0, main.numChannels, true);
    }
    if (is64) {
        BindHostBuffers64(BusDirection::Input, 0, main.numChannels, main.channelBuffers64);
        if (sideChainActive)
            BindHostBuffers64(BusDirection::Input, mainInputWidth, data.inputs[1].numChannels,
                              data.inputs[1].channelBuffers64);
    } else {
        BindHostBuffers32(BusDirection::Input, 0, main.numChannels, main.channelBuffers32,
                          data.numSamples);
        if (sideChainActive)
            BindHostBuffers32(BusDirection::Input, mainInputWidth, data.inputs[1].numChannels,
                              data.inputs[1].channelBuffers32, data.numSamples);
    }
}

void IPluginVST3ProcessorBase::WireOutputs(ProcessData& data, BusList& audioOutputs,
                                           bool is64) noexcept {
    const int32_t slots = ChannelCount(BusDirection::Output);
    if (data.numOutputs <= 0 || data.outputs == nullptr) {
        MarkChannelsConnected(BusDirection::Output, 0, slots, false);
        return;
    }
    int32_t offset = 0;
    for (int32 b = 0; b < data.numOutputs; ++b) {
        const AudioBusBuffers& bus = data.outputs[b];
        const int32_t channels = std::clamp<int32_t>(bus.numChannels, 0, slots);
        const auto index = static_cast<std::size_t>(b);
        const bool active = index < audioOutputs.size() && audioOutputs[index] != nullptr &&
                            audioOutputs[index]->isActive();
        MarkChannelsConnected(BusDirection::Output, offset, channels, active);
        MarkChannelsConnected(BusDirection::Output, offset + channels, slots - offset - channels,
                              false);
        if (is64)
            BindHostBuffers64(BusDirection::Output, offset, channels, bus.channelBuffers64);
        else
            BindHostBuffers32(BusDirection::Output, offset, channels, bus.channelBuffers32,
                              data.numSamples);
        offset += channels;
    }
}

} // namespace plugin::vst3
