#pragma once

// When the editor window repaints. Pure logic, no X: the window feeds in
// the clock, its frame requests and their completions.

#include <cstdint>

namespace ui {

// [any] The redraw timer's period for a frame rate: floor(1000 / fps) ms,
// and 15 ms when that is under 20 (so 60 fps gives 15 ms, 50 gives 20, 30
// gives 33, 100 gives 15). Nonsense rates give 15 ms.
int32_t FrameTimerPeriodMs(int32_t fps);

// Tick coalescing: frames are numbered as they are posted; only the newest
// posted frame repaints, and the frames that piled up while a paint ran are
// skipped. [ui]
class FrameTickGate {
public:
    // Numbers a new frame (the frame counter moves on) and returns it.
    uint32_t Post() noexcept { return ++frameCounter; }
    // Whether frame n may repaint now.
    bool Admit(uint32_t n) noexcept;
    // After frame n painted: frames posted meanwhile are skipped.
    void AfterPaint(uint32_t n) noexcept;

    uint32_t FrameCounter() const noexcept { return frameCounter; }
    uint32_t SkipUntilFrame() const noexcept { return skipUntilFrame; }

private:
    uint32_t frameCounter = 0;
    uint32_t skipUntilFrame = 0; // 0: nothing skipped
};

// Who paces the repaints: the server's frame notifications while they work,
// the run-loop timer otherwise. One request is outstanding at a time; one
// that is not answered within kStallMs (off-screen windows on real servers
// drop to one frame a second) hands pacing to the timer, and notifications
// are tried again kRetryMs later. [ui]
class FramePacer {
public:
    static constexpr uint64_t kStallMs = 100;
    static constexpr uint64_t kRetryMs = 1000;

    explicit FramePacer(bool notificationsAvailable) : available(notificationsAvailable) {}

    // Whether repaints wait for a frame notification now.
    bool PacedByFrames(uint64_t nowMs) const noexcept;
    bool Waiting() const noexcept { return waiting; }
    // Records a request sent now and returns its serial.
    uint32_t Request(uint64_t nowMs) noexcept;
    // True when the outstanding request has gone unanswered for longer than
    // kStallMs: it is abandoned and the timer paces until the retry.
    bool CheckStall(uint64_t nowMs) noexcept;
    // True when serial answers the outstanding request (late answers to
    // abandoned ones are false).
    bool Complete(uint32_t serial) noexcept;

private:
    bool available;
    bool waiting = false;
    uint32_t serial = 0;
    uint64_t requestedAtMs = 0;
    bool stalled = false;
    uint64_t stalledAtMs = 0;
};

} // namespace ui
