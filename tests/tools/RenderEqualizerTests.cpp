// lumaro-render on the Lumaro EQ bundle: settings typed as the display
// shows them against the same settings given as the 84-byte state (ten
// little-endian doubles of real values in index order, then an int32 bypass
// flag), driven directly through the host library; and latency alignment of
// the oversampled paths.
#include "AllocationCounter.h"
#include "AllocationCounterSupported.h"
#include "RenderTestSupport.h"
#include "equalizer/EqualizerChain.h"
#include "equalizer/ResponseMeasurement.h"
#include "tools/render/EffectSession.h"
#include "tools/render/StreamRenderer.h"

#include "host/HostContext.h"
#include "host/Module.h"
#include "host/PluginInstance.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"

#include <array>
#include <cctype>
#include <cmath>
#include <complex>
#include <cstring>
#include <dlfcn.h>

#ifndef LUMARO_EQ_BUNDLE
#error "LUMARO_EQ_BUNDLE must name the Lumaro EQ bundle"
#endif

using namespace render_test;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 512;
constexpr std::size_t kParameterCount = 10;
constexpr std::size_t kStateBytes = kParameterCount * 8 + 4;

std::vector<std::uint8_t> StateBytes(const std::array<double, kParameterCount>& values) {
    std::vector<std::uint8_t> bytes(kStateBytes, 0);
    for (std::size_t i = 0; i < kParameterCount; ++i) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &values[i], sizeof(bits));
        for (int b = 0; b < 8; ++b)
            bytes[i * 8 + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(bits >> (8 * b));
    }
    return bytes;
}

struct DirectResult {
    std::vector<double> samples; // interleaved, input frames plus latency frames
    int32 latency = -1;
};

// The EQ driven as a DAW would: state, set-up, then the input followed by
// latency frames of silence, in blocks of kBlock.
DirectResult DirectRender(const std::vector<std::uint8_t>& state, const Sound& input,
                          int32 processMode) {
    DirectResult result;
    std::string error;
    auto module = vst3host::Module::Load(LUMARO_EQ_BUNDLE, &error);
    EXPECT_TRUE(module) << error;
    if (!module)
        return result;
    // Kept mapped, as lumaro-render keeps it: the libraries the module's
    // editor draws with stay loaded with it, and pixman among them builds
    // its tables when it is loaded and leaves them behind when it is
    // unloaded, which the leak checker would report.
    dlopen(module->LibraryPath().c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    IPtr<vst3host::HostContext> context = owned(new vst3host::HostContext);
    module->SetHostContext(context->Unknown());
    const auto effect = module->FindClass(kVstAudioEffectClass);
    EXPECT_TRUE(effect);
    auto instance = vst3host::PluginInstance::Create(*module, effect->cid, &error);
    EXPECT_TRUE(instance) << error;
    EXPECT_EQ(instance->Initialize(context->Unknown()), kResultOk);
    EXPECT_EQ(instance->SetState(state), kResultOk);
    vst3host::ProcessConfig config;
    config.symbolicSampleSize = kSample64;
    config.sampleRate = input.sampleRate;
    config.maxBlockFrames = kBlock;
    config.processMode = processMode;
    EXPECT_EQ(instance->SetupProcessing(config), kResultOk);
    EXPECT_EQ(instance->SetActive(true), kResultOk);
    instance->SetProcessing(true);
    result.latency = static_cast<int32>(instance->Processor()->getLatencySamples());

    const std::size_t channels = static_cast<std::size_t>(input.channels);
    const int64_t total = input.Frames() + result.latency;
    std::vector<double> in(channels * kBlock), out(channels * kBlock);
    std::vector<double*> inPointers, outPointers;
    for (std::size_t c = 0; c < channels; ++c) {
        inPointers.push_back(in.data() + c * kBlock);
        outPointers.push_back(out.data() + c * kBlock);
    }
    for (int64_t start = 0; start < total; start += kBlock) {
        const int32 frames = static_cast<int32>(std::min<int64_t>(kBlock, total - start));
        for (int32 i = 0; i < frames; ++i)
            for (std::size_t c = 0; c < channels; ++c)
                inPointers[c][i] =
                    start + i < input.Frames()
                        ? input.values[static_cast<std::size_t>(start + i) * channels + c]
                        : 0.0;
        EXPECT_EQ(instance->Process(inPointers.data(), input.channels, outPointers.data(),
                                    input.channels, frames),
                  kResultOk);
        for (int32 i = 0; i < frames; ++i)
            for (std::size_t c = 0; c < channels; ++c)
                result.samples.push_back(outPointers[c][i]);
    }
    instance.reset();
    return result;
}

Sound FloatSound(int64_t frames, int channels, double amplitude) {
    return Sound{SF_FORMAT_WAV | SF_FORMAT_FLOAT,
                 channels,
                 kRate,
                 {},
                 PatternValues(frames, channels, amplitude)};
}

// The number in the first "latency N samples" of the program's output.
int ReportedLatency(const std::string& out) {
    const std::string prefix = "latency ";
    for (size_t at = out.find(prefix); at != std::string::npos; at = out.find(prefix, at + 1)) {
        size_t end = at + prefix.size();
        while (end < out.size() && std::isdigit(static_cast<unsigned char>(out[end])))
            ++end;
        if (end > at + prefix.size() && out.compare(end, 8, " samples") == 0)
            return std::stoi(out.substr(at + prefix.size(), end - at - prefix.size()));
    }
    return -1;
}

const std::vector<std::string> kColourTexts = {
    "HPF=80 Hz",        "LoShelf Freq=110 Hz", "LoShelf Level=-4.5",
    "MF 1 Freq=820 Hz", "MF Level 1=6",        "MF 2 Freq=6000 Hz",
    "MF Level 2=-2",    "HiShelf Level=3",     "Gain=-3.5 dB",
};
// The same setting as real values: list indexes and dB.
constexpr std::array<double, kParameterCount> kColourValues = {3, 2, -4.5, 4, 6, 5, -2, 3, -3.5, 0};

} // namespace

TEST(RenderEqualizer, SettingsByTextGiveTheSamplesOfTheEquivalentState) {
    for (const bool oversampling : {false, true}) {
        SCOPED_TRACE(oversampling ? "oversampled" : "plain");
        ScratchFolder folder;
        WriteSound(folder.Path("in.wav"), FloatSound(kRate / 2, 2, 0.5));
        const Sound input = ReadSound(folder.Path("in.wav"));
        std::vector<std::string> arguments{"--plugin", LUMARO_EQ_BUNDLE,
                                           folder.Path("in.wav").string()};
        for (const std::string& text : kColourTexts)
            arguments.insert(arguments.end(), {"--set", text});
        if (oversampling)
            arguments.insert(arguments.end(), {"--set", "Oversampling=on"});
        const RunResult run = RunRender(arguments);
        ASSERT_EQ(run.exitStatus, 0) << run.err;

        auto values = kColourValues;
        values[9] = oversampling ? 1.0 : 0.0;
        const DirectResult direct = DirectRender(StateBytes(values), input, kRealtime);
        EXPECT_EQ(ReportedLatency(run.out), direct.latency) << run.out;
        EXPECT_EQ(direct.latency > 0, oversampling);

        const Sound out = ReadSound(folder.Path("in-eq.wav"));
        ASSERT_EQ(out.values.size(), input.values.size());
        const std::size_t shift = static_cast<std::size_t>(direct.latency) * 2;
        for (std::size_t i = 0; i < out.values.size(); ++i)
            ASSERT_EQ(out.values[i],
                      static_cast<double>(static_cast<float>(direct.samples[i + shift])))
                << "sample " << i;
    }
}

TEST(RenderEqualizer, OversampledOutputLinesUpWithTheInput) {
    // A flat setting: the output is the input with the resamplers' ripple
    // and the output stage's slight colour, so its best match with the
    // input is at lag 0 exactly when the latency is compensated.
    for (const char* mode : {"--set=Oversampling=on", "--offline"}) {
        SCOPED_TRACE(mode);
        ScratchFolder folder;
        Sound sound{SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, kRate, {}, {}};
        for (int n = 0; n < kRate / 4; ++n)
            sound.values.push_back(0.2 * std::sin(2 * M_PI * 220.0 * n / kRate) +
                                   0.2 * std::sin(2 * M_PI * 1370.0 * n / kRate) +
                                   0.1 * std::sin(2 * M_PI * 5100.0 * n / kRate));
        WriteSound(folder.Path("in.wav"), sound);
        const RunResult run =
            RunRender({"--plugin", LUMARO_EQ_BUNDLE, folder.Path("in.wav").string(), mode});
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_GT(ReportedLatency(run.out), 0) << run.out;
        const Sound out = ReadSound(folder.Path("in-eq.wav"));
        ASSERT_EQ(out.values.size(), sound.values.size());

        constexpr int kMaxLag = 300;
        int bestLag = kMaxLag + 1;
        double best = -1.0;
        for (int lag = -kMaxLag; lag <= kMaxLag; ++lag) {
            double sum = 0.0;
            for (int n = kMaxLag; n < kRate / 4 - kMaxLag; ++n)
                sum += sound.values[static_cast<std::size_t>(n)] *
                       out.values[static_cast<std::size_t>(n + lag)];
            if (sum > best) {
                best = sum;
                bestLag = lag;
            }
        }
        EXPECT_EQ(bestLag, 0);
        // What remains is the resamplers' fractional delay, which whole
        // samples cannot compensate: under half a sample where the filters
        // are flat, measured from the phase of two of the input's tones.
        for (const double frequencyHz : {220.0, 1370.0}) {
            std::complex<double> inPhasor, outPhasor;
            for (int n = kRate / 20; n < kRate / 4 - kRate / 20; ++n) {
                const std::complex<double> rotor =
                    std::polar(1.0, -2 * M_PI * frequencyHz * n / kRate);
                inPhasor += sound.values[static_cast<std::size_t>(n)] * rotor;
                outPhasor += out.values[static_cast<std::size_t>(n)] * rotor;
            }
            const double delaySamples =
                -std::arg(outPhasor / inPhasor) / (2 * M_PI * frequencyHz / kRate);
            EXPECT_LT(std::fabs(delaySamples), 0.5) << frequencyHz << " Hz";
        }
    }
}

TEST(RenderEqualizer, ValueTextsFollowTheEqualizersDisplay) {
    ScratchFolder folder;
    WriteSound(folder.Path("in.wav"), FloatSound(1000, 1, 0.5));
    const std::string input = folder.Path("in.wav").string();
    RunResult run = RunRender({"--plugin", LUMARO_EQ_BUNDLE, input, "--set", "HPF=81 Hz"});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_NE(run.err.find("\"HPF\" has no value \"81 Hz\"; it takes one of: Off, 30 Hz, 50 Hz, "
                           "80 Hz, 160 Hz, 300 Hz"),
              std::string::npos)
        << run.err;
    run = RunRender({"--plugin", LUMARO_EQ_BUNDLE, input, "--set", "Oversampling=1"});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_NE(run.err.find("it takes one of: off, on"), std::string::npos) << run.err;
    // The output gain stops at +10 dB.
    run = RunRender({"--plugin", LUMARO_EQ_BUNDLE, input, "--set", "Gain=15"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.err.find("\"Gain\" 15 is limited to 10.0 dB"), std::string::npos) << run.err;
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"in-eq.wav", "in.wav"}));

    run = RunRender({"--plugin", LUMARO_EQ_BUNDLE, "--list"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    for (const char* line :
         {"values: Off, 30 Hz, 50 Hz, 80 Hz, 160 Hz, 300 Hz",
          "values: 35 Hz, 60 Hz, 110 Hz, 220 Hz", "range: -20.0 to 10.0 dB", "values: off, on"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
}

TEST(RenderEqualizer, SavedStateIsTheHostLayoutOfTheSettings) {
    ScratchFolder folder;
    WriteSound(folder.Path("in.wav"), FloatSound(1000, 2, 0.5));
    std::vector<std::string> arguments{"--plugin", LUMARO_EQ_BUNDLE, folder.Path("in.wav").string(),
                                       "--save-state", folder.Path("eq.state").string()};
    for (const std::string& text : kColourTexts)
        arguments.insert(arguments.end(), {"--set", text});
    const RunResult run = RunRender(arguments);
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const std::string saved = ReadText(folder.Path("eq.state"));
    const std::vector<std::uint8_t> expected = StateBytes(kColourValues);
    EXPECT_EQ(saved, std::string(expected.begin(), expected.end()));
}

TEST(RenderEqualizer, DefaultRenderWritesBothFilesAndFiveGains) {
    ScratchFolder folder;
    const RunResult run = RunRender({"--output-folder", folder.Folder().string()});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"programme-dry.wav", "programme-eq.wav"}));
    EXPECT_EQ(ReadSound(folder.Path("programme-eq.wav")).Frames(),
              ReadSound(folder.Path("programme-dry.wav")).Frames());
    for (const char* frequency :
         {" 50 Hz  ", " 100 Hz  ", " 1000 Hz  ", " 5000 Hz  ", " 12000 Hz  "}) {
        const std::size_t at = run.out.find(frequency);
        ASSERT_NE(at, std::string::npos) << frequency << "\n" << run.out;
        const double gainDb = std::stod(run.out.substr(at + std::strlen(frequency)));
        EXPECT_TRUE(std::isfinite(gainDb));
        EXPECT_LT(std::fabs(gainDb), 20.0);
    }
}

TEST(RenderEqualizer, OversampledStreamingAllocatesNothing) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    std::string error;
    auto session = render::EffectSession::Open(LUMARO_EQ_BUNDLE, error);
    ASSERT_TRUE(session) << error;
    const render::ParameterInfo* oversampling = session->FindParameter("Oversampling");
    ASSERT_NE(oversampling, nullptr);
    session->SetParameter(oversampling->id, 1.0);
    render::SessionFormat format;
    format.maxBlockFrames = 300;
    ASSERT_TRUE(session->Prepare(format, error)) << error;
    ASSERT_GT(session->LatencySamples(), 0);

    const std::vector<double> input = PatternValues(kRate / 10, 2, 0.5);
    render::MemorySource source(input, 2);
    class CountingSink : public render::FrameSink {
    public:
        bool Write(const double*, int64_t frames) override {
            written += frames;
            return true;
        }
        int64_t written = 0;
    } sink;
    render::StreamRenderer renderer(*session);
    testing_support::AllocationCounter counter;
    const render::RenderResult result = renderer.Render(source, sink);
    EXPECT_EQ(counter.Count(), 0u);
    EXPECT_EQ(result.outcome, render::RenderResult::Outcome::Done);
    EXPECT_EQ(sink.written, kRate / 10);
}

TEST(RenderEqualizer, ReportedGainsAreThoseOfTheChainItself) {
    // The same setting applied to one channel of the equalizer's chain with
    // no plug-in, host or program in between, measured on a small sine.
    equalizer::EqualizerChain chain;
    chain.SetHighPassEnabled(true);
    chain.SetBandFrequency(equalizer::HighPassBand, 80.0);
    chain.SetBandFrequency(equalizer::LowShelfBand, 110.0);
    chain.SetBandGainDb(equalizer::LowShelfBand, 4.0);
    chain.SetBandFrequency(equalizer::Mid1Band, 400.0);
    chain.SetBandGainDb(equalizer::Mid1Band, -6.0);
    chain.SetBandFrequency(equalizer::Mid2Band, 3150.0);
    chain.SetBandGainDb(equalizer::Mid2Band, 3.0);
    chain.SetBandGainDb(equalizer::HighShelfBand, 5.0);
    chain.SetOutputGainDb(-2.0);

    ScratchFolder folder;
    const RunResult run =
        RunRender({"--output-folder", folder.Folder().string(), "--set", "HPF=80 Hz",
                   "--set",           "LoShelf Freq=110 Hz",    "--set", "LoShelf Level=4",
                   "--set",           "MF 1 Freq=400 Hz",       "--set", "MF Level 1=-6",
                   "--set",           "MF 2 Freq=3150 Hz",      "--set", "MF Level 2=3",
                   "--set",           "HiShelf Level=5",        "--set", "Gain=-2"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    for (const double frequencyHz : {50.0, 100.0, 1000.0, 5000.0, 12000.0}) {
        chain.SetSampleRateAndReset(kRate);
        constexpr double kAmplitude = 0.001;
        std::vector<double> signal = testing_support::Sine(frequencyHz, kRate, kRate, kAmplitude);
        chain.ProcessChannel(signal.data(), static_cast<int>(signal.size()), 0);
        const double expectedDb = testing_support::ToDb(
            testing_support::MeasureAmplitude(signal, kRate / 2, frequencyHz, kRate) / kAmplitude);

        char label[32];
        std::snprintf(label, sizeof(label), " %.0f Hz  ", frequencyHz);
        const std::size_t at = run.out.find(label);
        ASSERT_NE(at, std::string::npos) << label << "\n" << run.out;
        EXPECT_NEAR(std::stod(run.out.substr(at + std::strlen(label))), expectedDb, 0.011)
            << frequencyHz << " Hz";
    }
}
