// MIDI through the binding, for plug-ins that enable it: the event buses,
// the controller parameters and their conversion into MIDI messages, note
// events in, and messages out as host events.

#include "BindingFixture.h"

#include "plugin/vst3/HostParameters.h"

#include "pluginterfaces/vst/ivstevents.h"

#include <array>

namespace {

using namespace binding_test;
using plugin::vst3::kFirstMidiControllerParamId;

// Holds the events of one block; owned by the test, not reference counted.
class Events : public IEventList {
public:
    int32 PLUGIN_API getEventCount() override { return count; }
    tresult PLUGIN_API getEvent(int32 index, Event& e) override {
        if (index < 0 || index >= count)
            return kInvalidArgument;
        e = events[static_cast<std::size_t>(index)];
        return kResultOk;
    }
    tresult PLUGIN_API addEvent(Event& e) override {
        if (count >= static_cast<int32>(events.size()))
            return kResultFalse;
        events[static_cast<std::size_t>(count++)] = e;
        return kResultOk;
    }
    tresult PLUGIN_API queryInterface(const TUID, void**) override { return kNoInterface; }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }

    std::array<Event, 64> events{};
    int32 count = 0;
};

class BindingMidi : public BindingFixture {
protected:
    void SetUp() override { Create({}, true); }

    // A flush carrying one controller-parameter value; returns the message
    // the plug-in's MIDI hook saw.
    plugin::MidiMessage SendController(int32 controller, double value, int32 channel = 0) {
        vst3host::ParameterChanges changes;
        changes.Add(kFirstMidiControllerParamId +
                        static_cast<ParamID>(channel * plugin::vst3::kMidiControllersPerChannel +
                                             controller),
                    5, value);
        const int32 before = plugin->midiMessages.load();
        EXPECT_EQ(Flush(&changes), kResultOk);
        EXPECT_EQ(plugin->midiMessages.load(), before + 1);
        return plugin->lastMidi;
    }
};

TEST_F(BindingMidi, EventBusesAndControllerParametersExist) {
    ASSERT_EQ(component->getBusCount(kEvent, kInput), 1);
    ASSERT_EQ(component->getBusCount(kEvent, kOutput), 1);
    BusInfo info{};
    component->getBusInfo(kEvent, kInput, 0, info);
    EXPECT_EQ(ToUtf8(info.name), "MIDI Input");
    EXPECT_EQ(info.channelCount, 1);

    ASSERT_EQ(controller->getParameterCount(), 2 + kParamCount + 130);
    ParameterInfo last{};
    controller->getParameterInfo(controller->getParameterCount() - 1, last);
    EXPECT_EQ(last.id, 0x10083u);
    EXPECT_EQ(ToUtf8(last.title), "Pitch Bend");
    EXPECT_EQ(last.defaultNormalizedValue, 0.5);
    EXPECT_EQ(last.flags, 0);

    ASSERT_EQ(units->getUnitCount(), 4); // root, "Tone", "MIDI CCs", "CH1"
    UnitInfo group{}, channel{};
    units->getUnitInfo(2, group);
    units->getUnitInfo(3, channel);
    EXPECT_EQ(ToUtf8(group.name), "MIDI CCs");
    EXPECT_EQ(ToUtf8(channel.name), "CH1");
    EXPECT_EQ(channel.parentUnitId, group.id);
    EXPECT_EQ(last.unitId, channel.id);
}

TEST_F(BindingMidi, ControllerParametersBecomeMidiMessages) {
    Start();
    plugin::MidiMessage m = SendController(129, 0.5); // pitch bend centre: 8192
    EXPECT_EQ(m.status, 0xE0);
    EXPECT_EQ(m.data1, 0x00);
    EXPECT_EQ(m.data2, 0x40);
    EXPECT_EQ(m.sampleOffset, 5);
    m = SendController(129, 1.0); // 16384, limited to 16383
    EXPECT_EQ(m.data1, 0x7F);
    EXPECT_EQ(m.data2, 0x7F);
    m = SendController(129, 0.0);
    EXPECT_EQ(m.data1, 0x00);
    EXPECT_EQ(m.data2, 0x00);

    m = SendController(128, 0.5); // channel pressure, 63.5 truncated
    EXPECT_EQ(m.status, 0xD0);
    EXPECT_EQ(m.data1, 63);
    m = SendController(7, 1.0);
    EXPECT_EQ(m.status, 0xB0);
    EXPECT_EQ(m.data1, 7);
    EXPECT_EQ(m.data2, 127);
    // The editor sees them too.
    plugin::MidiMessage forEditor;
    int popped = 0;
    while (plugin->MidiFromProcessor().Pop(forEditor))
        ++popped;
    EXPECT_EQ(popped, 5);
    EXPECT_EQ(forEditor.status, 0xB0);
}

TEST_F(BindingMidi, NotesInAndMessagesOutInOffsetOrder) {
    Start();
    Events in;
    Event note{};
    note.type = Event::kNoteOnEvent;
    note.sampleOffset = 30;
    note.noteOn.channel = 2;
    note.noteOn.pitch = 60;
    note.noteOn.velocity = 1.0f;
    in.addEvent(note);
    Event off{};
    off.type = Event::kNoteOffEvent;
    off.sampleOffset = 10;
    off.noteOff.channel = 2;
    off.noteOff.pitch = 61;
    in.addEvent(off);

    Events out;
    std::vector<float> buffer(64, 0.0f);
    float* io[] = {buffer.data(), buffer.data()};
    AudioBusBuffers bus{};
    bus.numChannels = 2;
    bus.channelBuffers32 = io;
    ProcessData data{};
    data.symbolicSampleSize = kSample32;
    data.numSamples = 64;
    data.numInputs = data.numOutputs = 1;
    data.inputs = data.outputs = &bus;
    data.inputEvents = &in;
    data.outputEvents = &out;
    ASSERT_EQ(processor->process(data), kResultOk);

    // The default MIDI hook forwards every message to the host, sorted.
    ASSERT_EQ(out.count, 2);
    EXPECT_EQ(out.events[0].type, Event::kNoteOffEvent);
    EXPECT_EQ(out.events[0].sampleOffset, 10);
    EXPECT_EQ(out.events[0].noteOff.pitch, 61);
    EXPECT_EQ(out.events[1].type, Event::kNoteOnEvent);
    EXPECT_EQ(out.events[1].noteOn.channel, 2);
    EXPECT_EQ(out.events[1].noteOn.velocity, 1.0f);

    // Nothing is carried over to the next block.
    Events none, outAgain;
    data.inputEvents = &none;
    data.outputEvents = &outAgain;
    processor->process(data);
    EXPECT_EQ(outAgain.count, 0);
}

} // namespace
