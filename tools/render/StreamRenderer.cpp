#include "tools/render/StreamRenderer.h"

#include <algorithm>

namespace render {

StreamRenderer::StreamRenderer(EffectSession& session)
    : session(session), channels(session.Format().channels),
      blockFrames(session.Format().maxBlockFrames) {
    const std::size_t samples =
        static_cast<std::size_t>(channels) * static_cast<std::size_t>(blockFrames);
    interleavedIn.assign(samples, 0.0);
    interleavedOut.assign(samples, 0.0);
    planar.assign(2 * samples, 0.0);
    for (int32_t c = 0; c < channels; ++c) {
        inputs.push_back(planar.data() + static_cast<std::size_t>(c * blockFrames));
        outputs.push_back(planar.data() + static_cast<std::size_t>((channels + c) * blockFrames));
    }
}

RenderResult StreamRenderer::Render(FrameSource& source, FrameSink& sink,
                                    const std::atomic<bool>* stop, ProgressBar* progress) {
    RenderResult result;
    result.latencySamples = session.LatencySamples();
    const int64_t latency = result.latencySamples;
    source.Reserve(blockFrames);
    sink.Reserve(blockFrames);

    int64_t read = 0;      // input frames taken from the source
    int64_t processed = 0; // frames given to the effect, input and padding
    bool sourceDone = false;
    for (;;) {
        if (stop && stop->load(std::memory_order_relaxed)) {
            result.outcome = RenderResult::Outcome::Interrupted;
            break;
        }
        int64_t got = 0;
        if (!sourceDone) {
            got = source.Read(interleavedIn.data(), blockFrames);
            if (got < 0) {
                result.outcome = RenderResult::Outcome::ReadFailed;
                break;
            }
            sourceDone = got < blockFrames;
            read += got;
            result.input.Add(interleavedIn.data(), got * channels);
        }
        // Once the input has ended, only the latency's worth of silence
        // remains to be pushed through.
        const int64_t frames =
            sourceDone ? std::min<int64_t>(blockFrames, read + latency - processed) : blockFrames;
        if (frames <= 0)
            break;

        for (int32_t c = 0; c < channels; ++c) {
            double* channel = inputs[static_cast<std::size_t>(c)];
            for (int64_t i = 0; i < got; ++i)
                channel[i] = interleavedIn[static_cast<std::size_t>(i * channels + c)];
            std::fill(channel + got, channel + frames, 0.0);
        }
        if (!session.Process(inputs.data(), outputs.data(), static_cast<int32_t>(frames))) {
            result.outcome = RenderResult::Outcome::ProcessFailed;
            break;
        }

        // Keep output frames latency .. latency + read - 1 (read is final
        // once the source is done, and not yet reached before that).
        const int64_t first = std::max<int64_t>(0, latency - processed);
        const int64_t last = sourceDone ? std::min(frames, read + latency - processed) : frames;
        if (last > first) {
            for (int32_t c = 0; c < channels; ++c) {
                const double* channel = outputs[static_cast<std::size_t>(c)];
                for (int64_t i = first; i < last; ++i)
                    interleavedOut[static_cast<std::size_t>((i - first) * channels + c)] =
                        channel[i];
            }
            result.output.Add(interleavedOut.data(), (last - first) * channels);
            if (!sink.Write(interleavedOut.data(), last - first)) {
                result.outcome = RenderResult::Outcome::WriteFailed;
                break;
            }
        }
        processed += frames;
        if (progress)
            progress->Update(read);
        if (sourceDone && processed >= read + latency)
            break;
    }
    result.frames = read;
    return result;
}

} // namespace render
