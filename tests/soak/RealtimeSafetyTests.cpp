// Every processing path of "Lumaro EQ.vst3", driven through the real module
// as a host drives it, with the audio-thread guard armed around each process
// call: no allocation and no lock, from the very first block after set-up.

#include "EqualizerModule.h"
#include "RealtimeGuard.h"

#include "AllocationCounterSupported.h"

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace eq_module;
using testing_support::RealtimeGuard;

enum class Path {
    Plain,           // every band in use, no oversampling
    Oversampled,     // running oversampled from set-up on
    SwitchCrossfade, // oversampling switched on and off while processing
    Bypassed,        // bypass on, no latency
    BypassedLatency, // bypass on while oversampling: the delay line
    Automated,       // every parameter automated in every block
    Offline,         // offline rendering (always oversampled)
    ZeroFrameFlush,  // parameter changes delivered with no audio
    BypassFades,     // bypass on and off while oversampling: fades both ways
    NonFiniteInput,  // NaN and infinite input samples now and then
};

struct PathCase {
    Path path;
    int32 sampleSize; // kSample32 or kSample64
    int32 channels;
};

std::ostream& operator<<(std::ostream& out, const PathCase& c) {
    static const char* names[] = {
        "Plain",     "Oversampled", "SwitchCrossfade", "Bypassed",    "BypassedLatency",
        "Automated", "Offline",     "ZeroFrameFlush",  "BypassFades", "NonFiniteInput"};
    return out << names[static_cast<int>(c.path)] << (c.sampleSize == kSample64 ? "64" : "32")
               << (c.channels == 1 ? "Mono" : "Stereo");
}

// Host-cut block sizes, cycled; 300 and 512 span the crossfade.
constexpr int32 kBlockSizes[] = {512, 1, 13, 64, 300, 2, 511};
constexpr int32 kMaxBlock = 512;
constexpr int kBlocks = 40;

class RealtimePaths : public EqualizerModule, public ::testing::WithParamInterface<PathCase> {
protected:
    // Buffers for both sample sizes, made before anything is armed.
    void PrepareBuffers(int32 channels) {
        const auto noise = Noise(kMaxBlock, 0.7, 5);
        for (int ch = 0; ch < channels; ++ch) {
            in64[ch] = noise;
            out64[ch].assign(kMaxBlock, 0.0);
            in32[ch].assign(noise.begin(), noise.end());
            out32[ch].assign(kMaxBlock, 0.0f);
            inPointers64[ch] = in64[ch].data();
            outPointers64[ch] = out64[ch].data();
            inPointers32[ch] = in32[ch].data();
            outPointers32[ch] = out32[ch].data();
        }
    }

    tresult ProcessBlock(vst3host::PluginInstance& instance, const PathCase& c, int32 frames,
                         vst3host::ParameterChanges* changes) {
        if (c.sampleSize == kSample64)
            return instance.Process(inPointers64, c.channels, outPointers64, c.channels, frames,
                                    changes);
        return instance.Process(inPointers32, c.channels, outPointers32, c.channels, frames,
                                changes);
    }

    // Puts (or takes back) a NaN and an infinity into the inputs' last frame.
    void PlantNonFinite(int32 channels, bool plant, int32 frames) {
        for (int ch = 0; ch < channels; ++ch) {
            const auto at = static_cast<std::size_t>(frames - 1);
            const double value = !plant    ? 0.25
                                 : ch == 0 ? std::numeric_limits<double>::quiet_NaN()
                                           : std::numeric_limits<double>::infinity();
            in64[ch][at] = value;
            in32[ch][at] = static_cast<float>(value);
        }
    }

    bool OutputFinite(const PathCase& c, int32 frames) const {
        for (int ch = 0; ch < c.channels; ++ch) {
            for (int32 i = 0; i < frames; ++i) {
                const double s = c.sampleSize == kSample64 ? out64[ch][i] : out32[ch][i];
                if (!std::isfinite(s))
                    return false;
            }
        }
        return true;
    }

    std::vector<double> in64[2], out64[2];
    std::vector<float> in32[2], out32[2];
    double* inPointers64[2] = {};
    double* outPointers64[2] = {};
    float* inPointers32[2] = {};
    float* outPointers32[2] = {};
};

// The changes a path sends in block b; filled without allocating.
void FillChanges(Path path, int block, vst3host::ParameterChanges& changes) {
    changes.Clear();
    switch (path) {
    case Path::SwitchCrossfade:
        // On, on again, off: every switch starts a crossfade.
        if (block % 6 == 0)
            changes.Add(kOversampling, 0, (block / 6) % 2 == 0 ? 1.0 : 0.0);
        break;
    case Path::Bypassed:
    case Path::BypassedLatency:
        if (block == 0)
            changes.Add(kBypassId, 0, 1.0);
        break;
    case Path::Automated:
        for (ParamID id = 0; id < static_cast<ParamID>(kParamCount); ++id) {
            changes.Add(id, 0, std::fmod(0.137 * (block + 1) * (id + 3), 1.0));
            changes.Add(id, 7, std::fmod(0.291 * (block + 2) * (id + 1), 1.0));
        }
        break;
    case Path::BypassFades:
        if (block % 3 == 0)
            changes.Add(kBypassId, 0, (block / 3) % 2 == 0 ? 1.0 : 0.0);
        break;
    case Path::ZeroFrameFlush:
        changes.Add(kGain, 0, std::fmod(0.173 * block, 1.0));
        changes.Add(kOversampling, 0, block % 2 == 0 ? 1.0 : 0.0);
        break;
    default:
        break;
    }
}

TEST_P(RealtimePaths, ProcessNeitherAllocatesNorLocks) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    const PathCase c = GetParam();
    auto instance = Make();
    ASSERT_TRUE(instance);
    IEditController* controller = instance->Controller();
    for (ParamID id = 0; id < 8; ++id)
        controller->setParamNormalized(id, 0.3 + 0.05 * id);
    const bool oversampledFromStart = c.path == Path::Oversampled ||
                                      c.path == Path::BypassedLatency ||
                                      c.path == Path::BypassFades || c.path == Path::NonFiniteInput;
    controller->setParamNormalized(kOversampling, oversampledFromStart ? 1.0 : 0.0);

    vst3host::ProcessConfig config;
    config.symbolicSampleSize = c.sampleSize;
    config.sampleRate = 48000.0;
    config.maxBlockFrames = kMaxBlock;
    config.processMode = c.path == Path::Offline ? kOffline : kRealtime;
    ASSERT_EQ(instance->SetupProcessing(config), kResultOk);
    ASSERT_EQ(instance->SetActive(true), kResultOk);
    ASSERT_EQ(instance->SetProcessing(true), kResultOk);
    PrepareBuffers(c.channels);
    vst3host::ParameterChanges changes;

    for (int block = 0; block < kBlocks; ++block) {
        FillChanges(c.path, block, changes);
        const int32 frames =
            c.path == Path::ZeroFrameFlush ? 0 : kBlockSizes[block % std::size(kBlockSizes)];
        if (c.path == Path::NonFiniteInput)
            PlantNonFinite(c.channels, block % 4 == 1, frames);
        tresult result = kResultFalse;
        std::size_t allocations = 0;
        std::size_t locks = 0;
        std::string report;
        {
            RealtimeGuard guard;
            result = ProcessBlock(*instance, c, frames, &changes);
            allocations = guard.Allocations();
            locks = guard.Locks();
            if (allocations + locks != 0)
                report = guard.Report();
        }
        ASSERT_EQ(result, kResultOk) << "block " << block;
        ASSERT_EQ(allocations + locks, 0u) << "block " << block << ": " << report;
        ASSERT_TRUE(OutputFinite(c, frames)) << "block " << block;
        // The idle timer's latency report runs on the UI side, unguarded.
        context->RunLoop().AdvanceMs(20);
    }
}

// A host's audio thread is often created before the module is loaded, or
// the host starts a new one for each playback: its very first process call
// must be as clean as every later one (thread-local storage of a module
// loaded at run time is allocated on a thread's first touch unless placed
// in the static block).
TEST_F(RealtimePaths, FirstProcessCallOnAFreshThreadNeitherAllocatesNorLocks) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    auto instance = MakeRunning();
    ASSERT_TRUE(instance);
    const PathCase c{Path::Plain, kSample32, 2};
    PrepareBuffers(c.channels);
    std::size_t violations = 0;
    std::string report;
    std::thread audio([&] {
        RealtimeGuard guard;
        EXPECT_EQ(ProcessBlock(*instance, c, kMaxBlock, nullptr), kResultOk);
        violations = guard.Allocations() + guard.Locks();
        report = violations != 0 ? guard.Report() : "";
    });
    audio.join();
    EXPECT_EQ(violations, 0u) << report;
}

// A host may stop and restart processing on its audio thread: with unchanged
// settings that clears the histories without allocating or locking.
TEST_F(EqualizerModule, RestartingProcessingNeitherAllocatesNorLocks) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    for (const int32 mode : {kRealtime, kOffline}) {
        auto instance = Make();
        ASSERT_TRUE(instance);
        instance->Controller()->setParamNormalized(kOversampling, 1.0);
        vst3host::ProcessConfig config;
        config.symbolicSampleSize = kSample64;
        config.processMode = mode;
        ASSERT_EQ(instance->SetupProcessing(config), kResultOk);
        ASSERT_EQ(instance->SetActive(true), kResultOk);
        ASSERT_EQ(instance->SetProcessing(true), kResultOk);
        Run64(*instance, Noise(4096, 0.5, 3), {512});
        for (int round = 0; round < 3; ++round) {
            RealtimeGuard guard;
            ASSERT_EQ(instance->SetProcessing(false), kResultOk);
            ASSERT_EQ(instance->SetProcessing(true), kResultOk);
            ASSERT_EQ(guard.Allocations() + guard.Locks(), 0u) << guard.Report();
        }
    }
}

std::vector<PathCase> AllPaths() {
    std::vector<PathCase> cases;
    for (Path path : {Path::Plain, Path::Oversampled, Path::SwitchCrossfade, Path::Bypassed,
                      Path::BypassedLatency, Path::Automated, Path::Offline, Path::ZeroFrameFlush,
                      Path::BypassFades, Path::NonFiniteInput})
        for (int32 size : {kSample32, kSample64})
            for (int32 channels : {1, 2})
                cases.push_back({path, size, channels});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryPath, RealtimePaths, ::testing::ValuesIn(AllPaths()),
                         [](const ::testing::TestParamInfo<PathCase>& info) {
                             std::ostringstream name;
                             name << info.param;
                             return name.str();
                         });

} // namespace
