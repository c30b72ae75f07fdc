// The renderer's core driven in-process: the settings parser against the
// test modules' own text conversions, the block loop's allocation-free
// latency-compensated streaming, and the search for the bundle.
#include "AllocationCounter.h"
#include "AllocationCounterSupported.h"
#include "RenderTestSupport.h"
#include "testdelay/TestDelayIds.h"
#include "tools/render/BundleSearch.h"
#include "tools/render/EffectSession.h"
#include "tools/render/ParameterSettings.h"
#include "tools/render/StreamRenderer.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace render;

namespace {

std::unique_ptr<EffectSession> OpenOrFail(const char* bundle) {
    std::string error;
    auto session = EffectSession::Open(bundle, error);
    EXPECT_TRUE(session) << error;
    return session;
}

struct Resolved {
    bool ok = false;
    double normalized = -1.0;
    std::string error;
    std::string note;
};

Resolved Resolve(const EffectSession& session, const std::string& text) {
    Resolved resolved;
    ParameterSetting setting;
    Steinberg::Vst::ParamID id = 0;
    resolved.ok =
        ParseSetting(text, setting, resolved.error) &&
        ResolveSetting(session, setting, id, resolved.normalized, resolved.error, resolved.note);
    return resolved;
}

// Collects everything written, into storage reserved up front.
class CollectingSink : public FrameSink {
public:
    explicit CollectingSink(std::size_t capacity) { samples.reserve(capacity); }
    bool Write(const double* interleaved, int64_t frames) override {
        const std::size_t count = static_cast<std::size_t>(frames) * 2;
        if (samples.size() + count > samples.capacity())
            return false;
        samples.insert(samples.end(), interleaved, interleaved + count);
        return true;
    }
    std::vector<double> samples;
};

} // namespace

TEST(RenderSettingsParsing, TextsAreCheckedAgainstTheEffectsOwnDisplay) {
    auto gain = OpenOrFail(TEST_GAIN_BUNDLE);
    ASSERT_TRUE(gain);
    Resolved r = Resolve(*gain, " Gain = 0.375 ");
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.normalized, 0.375);
    EXPECT_EQ(r.note, "");

    // The SDK parameter passes 2 through; a normalized value stops at 1.
    r = Resolve(*gain, "Gain=2");
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.normalized, 1.0);
    EXPECT_NE(r.note.find("limited to 1.0000"), std::string::npos) << r.note;

    EXPECT_FALSE(Resolve(*gain, "gain=0.5").ok); // names are exact
    EXPECT_FALSE(Resolve(*gain, "Gain=0.5 volts").ok);
    EXPECT_FALSE(Resolve(*gain, "=0.5").ok);

    auto delay = OpenOrFail(TEST_DELAY_BUNDLE);
    ASSERT_TRUE(delay);
    r = Resolve(*delay, "Polarity=inverted");
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.normalized, 1.0);
    // A list entry must be spelled as shown, and a number is no entry.
    EXPECT_FALSE(Resolve(*delay, "Polarity=Inverted").ok);
    EXPECT_FALSE(Resolve(*delay, "Polarity=1").ok);
}

TEST(RenderStreaming, DelayIsCompensatedWithoutAllocating) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    auto session = OpenOrFail(TEST_DELAY_BUNDLE);
    ASSERT_TRUE(session);
    SessionFormat format;
    format.channels = 2;
    format.maxBlockFrames = 29; // not a divisor of the length nor of the latency
    std::string error;
    ASSERT_TRUE(session->Prepare(format, error)) << error;
    ASSERT_EQ(session->LatencySamples(), test_delay::kLatencySamples);

    constexpr std::size_t kFrames = 1000;
    std::vector<double> input(2 * kFrames);
    for (std::size_t i = 0; i < input.size(); ++i)
        input[i] = std::sin(0.01 * static_cast<double>(i * i % 977));
    MemorySource source(input, 2);
    CollectingSink sink(input.size());
    StreamRenderer renderer(*session);

    RenderResult result;
    {
        testing_support::AllocationCounter counter;
        result = renderer.Render(source, sink);
        EXPECT_EQ(counter.Count(), 0u);
    }
    EXPECT_EQ(result.outcome, RenderResult::Outcome::Done);
    EXPECT_EQ(result.frames, static_cast<int64_t>(kFrames));
    EXPECT_EQ(sink.samples, input);
}

TEST(RenderStreaming, StopFlagEndsTheRenderBeforeTheFirstBlock) {
    auto session = OpenOrFail(TEST_DELAY_BUNDLE);
    ASSERT_TRUE(session);
    std::string error;
    ASSERT_TRUE(session->Prepare(SessionFormat{}, error)) << error;
    const std::vector<double> input(2 * 100, 0.25);
    MemorySource source(input, 2);
    CollectingSink sink(input.size());
    StreamRenderer renderer(*session);
    const std::atomic<bool> stop{true};
    const RenderResult result = renderer.Render(source, sink, &stop);
    EXPECT_EQ(result.outcome, RenderResult::Outcome::Interrupted);
    EXPECT_TRUE(sink.samples.empty());
}

// A host loads the first bundle it finds in the folders it scans; a bundle
// folder without its library (left by a half-finished removal) is not one.
// When none has it, the error names every folder looked in, in order.
TEST(RenderBundleSearch, FirstLoadableBundleInFolderOrderWinsAndMissesNameEveryFolder) {
    render_test::ScratchFolder scratch;
    const std::string name = std::filesystem::path(TEST_GAIN_BUNDLE).filename().string();
    const auto folder = [&](const char* leaf) { return scratch.Path(leaf).string(); };
    std::filesystem::create_directories(scratch.Path("emptied") / name / "Contents");
    for (const char* leaf : {"second", "third"}) {
        std::filesystem::create_directories(scratch.Path(leaf));
        std::filesystem::copy(TEST_GAIN_BUNDLE, scratch.Path(leaf) / name,
                              std::filesystem::copy_options::recursive);
    }
    const std::vector<std::string> folders{folder("missing"), folder("emptied"), folder("second"),
                                           folder("third")};
    std::string error;
    const std::string found = FindBundle(folders, name, error);
    EXPECT_EQ(found, (scratch.Path("second") / name).string());
    EXPECT_TRUE(OpenOrFail(found.c_str()));

    EXPECT_EQ(FindBundle({folders[0], folders[1]}, name, error), "");
    EXPECT_EQ(error, "no \"" + name + "\" in " + folders[0] + " or " + folders[1] +
                         " (--plugin names a bundle elsewhere)");

    // The build tree leads while it exists; the folders every host scans follow.
    const auto defaults = DefaultBundleFolders(folder("second"), "/home/someone");
    EXPECT_EQ(defaults, (std::vector<std::string>{folder("second"), "/home/someone/.vst3",
                                                  "/usr/local/lib/vst3", "/usr/lib/vst3"}));
    EXPECT_EQ(DefaultBundleFolders(folder("missing"), nullptr),
              (std::vector<std::string>{"/usr/local/lib/vst3", "/usr/lib/vst3"}));
}
