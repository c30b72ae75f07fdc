// lumaro-render run as a program on generated files, against the two test
// modules: "Test Gain" (output = input x 2 x normalized gain) and "Test
// Delay" (output = input delayed by a reported latency of 37 frames).
#include "RenderTestSupport.h"
#include "testdelay/TestDelayIds.h"

#include <csignal>
#include <fstream>
#include <thread>

#ifndef TEST_GAIN_BUNDLE
#error "TEST_GAIN_BUNDLE must name the Test Gain bundle"
#endif
#ifndef TEST_DELAY_BUNDLE
#error "TEST_DELAY_BUNDLE must name the Test Delay bundle"
#endif

using namespace render_test;

namespace {

constexpr int kRate = 48000;

Sound PcmSound(int format, int channels, int64_t frames, double amplitude, int64_t step,
               int rate = kRate) {
    Sound sound;
    sound.format = format;
    sound.channels = channels;
    sound.sampleRate = rate;
    sound.pcm = PatternPcm(frames, channels, BitsOf(format), amplitude, step);
    return sound;
}

std::vector<std::string> WithGain(const std::string& bundle, std::vector<std::string> rest) {
    rest.insert(rest.begin(), {"--plugin", bundle});
    return rest;
}

} // namespace

TEST(RenderFormats, EachFormatComesBackInKindWithTheEffectApplied) {
    struct Case {
        const char* name;
        int format;
        int channels;
        const char* block;
    };
    const Case cases[] = {
        {"a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, "512"},
        {"b.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 1, "512"},
        {"c.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, "512"},
        {"d.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, "13"},
        {"e.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, "512"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        const auto input = folder.Path(c.name);
        const auto output = folder.Path(std::string("out-") + c.name);
        if (BitsOf(c.format)) {
            // Multiples of 4 stay whole at a gain of 0.75.
            WriteSound(input, PcmSound(c.format, c.channels, 3001, 0.9, 4));
        } else {
            Sound sound{c.format, c.channels, kRate, {}, PatternValues(3001, c.channels, 0.9)};
            WriteSound(input, sound);
        }
        const RunResult run =
            RunRender(WithGain(TEST_GAIN_BUNDLE, {input.string(), "-o", output.string(), "--set",
                                                  "Gain=0.375", "--block", c.block}));
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(run.err, ""); // no progress bar when stderr is not a terminal

        const Sound in = ReadSound(input);
        const Sound out = ReadSound(output);
        EXPECT_EQ(out.format, c.format);
        EXPECT_EQ(out.channels, c.channels);
        EXPECT_EQ(out.sampleRate, kRate);
        ASSERT_EQ(out.Frames(), in.Frames());
        for (std::size_t i = 0; i < in.pcm.size(); ++i)
            ASSERT_EQ(out.pcm[i], in.pcm[i] / 4 * 3) << "sample " << i;
        for (std::size_t i = 0; i < in.values.size(); ++i)
            ASSERT_EQ(out.values[i], static_cast<double>(static_cast<float>(in.values[i] * 0.75)))
                << "sample " << i;
    }
}

TEST(RenderFormats, UnityGainIsBitExactAcrossTheFullRange) {
    ScratchFolder folder;
    Sound sound = PcmSound(SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 2000, 1.0, 1);
    // The extremes, where a scale of 2^23 - 1 instead of 2^23 would show.
    sound.pcm[0] = -(1 << 23);
    sound.pcm[1] = (1 << 23) - 1;
    sound.pcm[2] = 1;
    sound.pcm[3] = -1;
    WriteSound(folder.Path("in.wav"), sound);
    const RunResult run = RunRender(WithGain(TEST_GAIN_BUNDLE, {folder.Path("in.wav").string()}));
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(ReadSound(folder.Path("in-eq.wav")).pcm, sound.pcm);
}

TEST(RenderFormats, FloatRequestWritesThirtyTwoBitFloat) {
    ScratchFolder folder;
    const Sound sound = PcmSound(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 500, 0.8, 1);
    WriteSound(folder.Path("in.wav"), sound);
    const RunResult run = RunRender(WithGain(
        TEST_GAIN_BUNDLE, {folder.Path("in.wav").string(), "--float", "--set", "Gain=0.375"}));
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const Sound out = ReadSound(folder.Path("in-eq.wav"));
    EXPECT_EQ(out.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    ASSERT_EQ(out.values.size(), sound.pcm.size());
    for (std::size_t i = 0; i < sound.pcm.size(); ++i)
        ASSERT_EQ(out.values[i], static_cast<double>(sound.pcm[i]) * 0.75 / 32768.0);
}

TEST(RenderLatency, OutputLinesUpWithInputSampleForSample) {
    struct Case {
        int64_t frames;
        const char* block;
    };
    // Blocks shorter, equal to and longer than the latency; files shorter
    // than one latency and empty.
    const Case cases[] = {{5000, "1"},    {5000, "13"}, {5000, "37"}, {5000, "512"},
                          {5000, "8192"}, {10, "512"},  {0, "64"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.frames) + " frames, block " + c.block);
        ScratchFolder folder;
        const Sound sound = PcmSound(SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, c.frames, 0.5, 1);
        WriteSound(folder.Path("in.wav"), sound);
        const RunResult run = RunRender(
            WithGain(TEST_DELAY_BUNDLE, {folder.Path("in.wav").string(), "--block", c.block}));
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_NE(run.out.find("latency 37 samples"), std::string::npos) << run.out;
        EXPECT_EQ(ReadSound(folder.Path("in-eq.wav")).pcm, sound.pcm);
    }
}

TEST(RenderSettings, ListShowsEveryParameterWithItsValues) {
    const RunResult delay = RunRender(WithGain(TEST_DELAY_BUNDLE, {"--list"}));
    ASSERT_EQ(delay.exitStatus, 0) << delay.err;
    EXPECT_NE(delay.out.find("Polarity"), std::string::npos) << delay.out;
    EXPECT_NE(delay.out.find("values: normal, inverted"), std::string::npos) << delay.out;
    EXPECT_NE(delay.out.find("values: full, slow"), std::string::npos) << delay.out;

    const RunResult gain = RunRender(WithGain(TEST_GAIN_BUNDLE, {"--list"}));
    ASSERT_EQ(gain.exitStatus, 0) << gain.err;
    EXPECT_NE(gain.out.find("Gain  [id 7]"), std::string::npos) << gain.out;
    EXPECT_NE(gain.out.find("default: 0.5000"), std::string::npos) << gain.out;
}

TEST(RenderSettings, ListValueTextChoosesTheEntry) {
    ScratchFolder folder;
    const Sound sound = PcmSound(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 300, 0.5, 1);
    WriteSound(folder.Path("in.wav"), sound);
    const RunResult run = RunRender(WithGain(
        TEST_DELAY_BUNDLE, {folder.Path("in.wav").string(), "--set", "Polarity=inverted"}));
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const Sound out = ReadSound(folder.Path("in-eq.wav"));
    ASSERT_EQ(out.pcm.size(), sound.pcm.size());
    for (std::size_t i = 0; i < sound.pcm.size(); ++i)
        ASSERT_EQ(out.pcm[i], -sound.pcm[i]);
}

TEST(RenderState, SavedStateHoldsTheSettingsAndLoadsBack) {
    ScratchFolder folder;
    const Sound sound = PcmSound(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 400, 0.5, 1);
    WriteSound(folder.Path("in.wav"), sound);
    const auto state = folder.Path("delay.state");
    RunResult run = RunRender(
        WithGain(TEST_DELAY_BUNDLE, {folder.Path("in.wav").string(), "--set", "Polarity=inverted",
                                     "--save-state", state.string()}));
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const std::string bytes = ReadText(state);
    EXPECT_EQ(bytes, std::string("\x01\0\0\0\0\0\0\0", test_delay::kStateBytes));

    run = RunRender(WithGain(TEST_DELAY_BUNDLE,
                             {folder.Path("in.wav").string(), "-o",
                              folder.Path("again.wav").string(), "--state", state.string()}));
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const Sound out = ReadSound(folder.Path("again.wav"));
    ASSERT_EQ(out.pcm.size(), sound.pcm.size());
    for (std::size_t i = 0; i < sound.pcm.size(); ++i)
        ASSERT_EQ(out.pcm[i], -sound.pcm[i]);
}

TEST(RenderErrors, EachFailureHasItsMessageAndStatusAndWritesNothing) {
    ScratchFolder folder;
    const std::string good = folder.Path("good.wav").string();
    WriteSound(good, PcmSound(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 100, 0.5, 1));
    const std::string wide = folder.Path("wide.wav").string();
    WriteSound(wide, PcmSound(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3, 100, 0.5, 1));
    const std::string slowRate = folder.Path("slow-rate.wav").string();
    WriteSound(slowRate, PcmSound(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 100, 0.5, 1, 22050));
    const std::string garbage = folder.Path("garbage.wav").string();
    std::ofstream(garbage) << "this is not a sound file";
    const std::string badState = folder.Path("bad.state").string();
    std::ofstream(badState) << "xyz";
    const std::string out = folder.Path("out.wav").string();
    const std::string delay = TEST_DELAY_BUNDLE;
    const std::string gain = TEST_GAIN_BUNDLE;
    const std::vector<std::string> before = folder.Names();

    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"--plugin", delay, folder.Path("missing.wav").string(), "-o", out}, 3, "no such file"},
        {{"--plugin", delay, garbage, "-o", out}, 3, "cannot read \"" + garbage + "\""},
        {{"--plugin", delay, folder.Folder().string(), "-o", out}, 3, "is a directory"},
        {{"--plugin", delay, wide, "-o", out}, 3, "has 3 channels"},
        {{"--plugin", delay, good, "-o", out, "--set", "Colour=red"},
         2,
         "unknown parameter \"Colour\""},
        {{"--plugin", delay, good, "-o", out, "--set", "Polarity=sideways"},
         2,
         "\"Polarity\" has no value \"sideways\"; it takes one of: normal, inverted"},
        {{"--plugin", gain, good, "-o", out, "--set", "Gain=loud"},
         2,
         "\"Gain\" takes a number, not \"loud\""},
        {{"--plugin", gain, good, "-o", out, "--set", "Gain"}, 2, "--set takes \"NAME=VALUE\""},
        {{"--plugin", folder.Path("none.vst3").string(), good, "-o", out},
         4,
         "cannot load the plug-in"},
        {{"--plugin", folder.Folder().string(), good, "-o", out}, 4, "cannot load the plug-in"},
        {{"--plugin", delay, slowRate, "-o", out},
         4,
         "\"Test Delay\" refuses to process at 22050 Hz"},
        {{"--plugin", delay, good, "-o", out, "--state", badState},
         4,
         "\"Test Delay\" refuses the state in"},
        {{"--plugin", delay, good, "-o", out, "--state", folder.Path("no.state").string()},
         3,
         "cannot read the state file"},
        {{"--plugin", delay, good, "-o", folder.Path("no/such/folder/out.wav").string()},
         5,
         "no folder"},
        {{"--plugin", delay, good, "-o", folder.Path("out.flac").string(), "--float"},
         2,
         "cannot write FLAC 32-bit float"},
        {{"--plugin", delay, good, "-o", good}, 2, "would overwrite the input"},
        {{"--plugin", delay, good, "--rate", "44100"}, 2, "a file keeps its own rate"},
        {{"--plugin", delay, good, "--block", "0"}, 2, "--block takes a whole number"},
        {{"--plugin", delay, good, "--colour"}, 2, "unknown option \"--colour\""},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& argument : c.arguments)
            line += argument + " ";
        SCOPED_TRACE(line);
        const RunResult run = RunRender(c.arguments);
        EXPECT_EQ(run.exitStatus, c.status) << run.err;
        EXPECT_EQ(run.err.rfind("lumaro-render: error: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(folder.Names(), before);
    }
}

TEST(RenderErrors, InterruptedRunLeavesNoOutputFile) {
    ScratchFolder folder;
    // At 2 ms per 64-frame block, ten seconds take far longer to render than
    // the test waits for the temporary file to appear.
    WriteSound(folder.Path("long.wav"),
               PcmSound(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 10 * kRate, 0.5, 1));
    const std::vector<std::string> before = folder.Names();
    ScratchFolder logs;
    const RunningRender running =
        StartRender({"--plugin", TEST_DELAY_BUNDLE, folder.Path("long.wav").string(), "--set",
                     "Pace=slow", "--block", "64"},
                    logs.Folder());
    bool writing = false;
    for (int i = 0; i < 1000 && !writing; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        for (const std::string& name : folder.Names())
            writing = writing || name.find(".partial-") != std::string::npos;
    }
    EXPECT_TRUE(writing);
    kill(running.pid, SIGINT);
    const RunResult run = Wait(running);
    EXPECT_EQ(run.exitStatus, 130) << run.err;
    EXPECT_NE(run.err.find("interrupted; nothing was written"), std::string::npos) << run.err;
    EXPECT_EQ(folder.Names(), before);
}

TEST(RenderDefault, WritesDryAndProcessedAndMeasuresTheGain) {
    ScratchFolder folder;
    const RunResult run =
        RunRender(WithGain(TEST_GAIN_BUNDLE, {"--output-folder", folder.Folder().string(), "--set",
                                              "Gain=0.25", "--rate", "44100"}));
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"programme-dry.wav", "programme-eq.wav"}));
    const Sound dry = ReadSound(folder.Path("programme-dry.wav"));
    const Sound wet = ReadSound(folder.Path("programme-eq.wav"));
    EXPECT_EQ(dry.sampleRate, 44100);
    EXPECT_EQ(dry.channels, 2);
    ASSERT_EQ(wet.pcm.size(), dry.pcm.size());
    ASSERT_GT(dry.Frames(), 44100);
    for (std::size_t i = 0; i < dry.pcm.size(); ++i)
        ASSERT_LE(std::abs(wet.pcm[i] * 2 - dry.pcm[i]), 1) << "sample " << i;
    // A gain of 0.5 is 20 log10(0.5) = -6.02 dB at every frequency.
    for (const char* line : {"50 Hz   -6.02 dB", "100 Hz   -6.02 dB", "1000 Hz   -6.02 dB",
                             "5000 Hz   -6.02 dB", "12000 Hz   -6.02 dB"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
    EXPECT_NE(run.out.find("latency   0 samples"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("level in  peak"), std::string::npos) << run.out;
}
