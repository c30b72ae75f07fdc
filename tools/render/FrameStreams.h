#pragma once

#include <cstdint>
#include <vector>

namespace render {

// Interleaved frames of 64-bit samples, full scale ±1, flowing into and out
// of the renderer. Reserve is called once before the processing loop; Read
// and Write must not allocate after it.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual int32_t Channels() const = 0;
    virtual void Reserve(int64_t /*maxFrames*/) {}
    // Up to frames frames; fewer only at the end. -1 on a read error.
    virtual int64_t Read(double* interleaved, int64_t frames) = 0;
};

class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual void Reserve(int64_t /*maxFrames*/) {}
    // False when not every frame could be written.
    virtual bool Write(const double* interleaved, int64_t frames) = 0;
};

// A source over frames held in memory (the generated default material).
class MemorySource : public FrameSource {
public:
    MemorySource(const std::vector<double>& interleaved, int32_t channels)
        : samples(interleaved), channels(channels) {}
    int32_t Channels() const override { return channels; }
    int64_t Read(double* interleaved, int64_t frames) override;

private:
    const std::vector<double>& samples;
    int32_t channels;
    std::size_t position = 0;
};

} // namespace render
