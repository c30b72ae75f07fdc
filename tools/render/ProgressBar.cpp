#include "tools/render/ProgressBar.h"

#include <algorithm>

namespace render {

namespace {
constexpr int kBarWidth = 40;
}

void ProgressBar::Update(int64_t done) noexcept {
    if (!enabled)
        return;
    const int percent = static_cast<int>(std::clamp<int64_t>(done * 100 / total, 0, 100));
    if (percent == lastPercent)
        return;
    lastPercent = percent;
    char bar[kBarWidth + 1];
    const int filled = percent * kBarWidth / 100;
    for (int i = 0; i < kBarWidth; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[kBarWidth] = '\0';
    std::fprintf(stream, "\r[%s] %3d%%", bar, percent);
    std::fflush(stream);
}

void ProgressBar::Finish() noexcept {
    if (!enabled || lastPercent < 0)
        return;
    std::fprintf(stream, "\r%*s\r", kBarWidth + 8, "");
    std::fflush(stream);
    lastPercent = -1;
}

} // namespace render
