#include "ui/platform/FramePacing.h"

namespace ui {

namespace {
constexpr int32_t kFastestPeriodMs = 15;
constexpr int32_t kShortPeriodMs = 20;
} // namespace

int32_t FrameTimerPeriodMs(int32_t fps) {
    if (fps <= 0)
        return kFastestPeriodMs;
    const int32_t period = 1000 / fps;
    return period < kShortPeriodMs ? kFastestPeriodMs : period;
}

bool FrameTickGate::Admit(uint32_t n) noexcept {
    if (skipUntilFrame != 0 && skipUntilFrame > frameCounter)
        return false;
    skipUntilFrame = 0;
    return n == frameCounter;
}

void FrameTickGate::AfterPaint(uint32_t n) noexcept {
    if (frameCounter != n)
        skipUntilFrame = frameCounter + 1;
}

bool FramePacer::PacedByFrames(uint64_t nowMs) const noexcept {
    if (!available)
        return false;
    return !stalled || nowMs - stalledAtMs >= kRetryMs;
}

uint32_t FramePacer::Request(uint64_t nowMs) noexcept {
    waiting = true;
    stalled = false;
    requestedAtMs = nowMs;
    return ++serial;
}

bool FramePacer::CheckStall(uint64_t nowMs) noexcept {
    if (!waiting || nowMs - requestedAtMs <= kStallMs)
        return false;
    waiting = false;
    stalled = true;
    stalledAtMs = nowMs;
    return true;
}

bool FramePacer::Complete(uint32_t answered) noexcept {
    if (!waiting || answered != serial)
        return false;
    waiting = false;
    return true;
}

} // namespace ui
