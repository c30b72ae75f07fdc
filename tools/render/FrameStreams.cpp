#include "tools/render/FrameStreams.h"

#include <algorithm>

namespace render {

int64_t MemorySource::Read(double* interleaved, int64_t frames) {
    const std::size_t wanted =
        static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels);
    const std::size_t count = std::min(wanted, samples.size() - position);
    std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(position), count, interleaved);
    position += count;
    return static_cast<int64_t>(count / static_cast<std::size_t>(channels));
}

} // namespace render
