#pragma once

#include "tools/render/EffectSession.h"
#include "tools/render/FrameStreams.h"
#include "tools/render/LevelMeter.h"
#include "tools/render/ProgressBar.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace render {

struct RenderResult {
    enum class Outcome { Done, Interrupted, ReadFailed, ProcessFailed, WriteFailed };
    Outcome outcome = Outcome::Done;
    int64_t frames = 0; // frames read, and written when Done
    int32_t latencySamples = 0;
    LevelMeter input;
    LevelMeter output;
};

// Streams a source through a prepared session into a sink, block by block,
// compensating the effect's latency: latency frames of silence follow the
// input and the first latency frames of output are dropped, so output frame
// n is the effect's answer to input frame n and both have the same length.
//
// All buffers are sized at construction for the session's format; Render
// allocates nothing itself.
class StreamRenderer {
public:
    explicit StreamRenderer(EffectSession& session);

    // stop: checked once per block (a signal handler may set it).
    // progress: told the number of input frames consumed.
    RenderResult Render(FrameSource& source, FrameSink& sink,
                        const std::atomic<bool>* stop = nullptr, ProgressBar* progress = nullptr);

private:
    EffectSession& session;
    int32_t channels;
    int32_t blockFrames;
    std::vector<double> interleavedIn;
    std::vector<double> interleavedOut;
    std::vector<double> planar;
    std::vector<double*> inputs;
    std::vector<double*> outputs;
};

} // namespace render
