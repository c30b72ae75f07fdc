#pragma once

#include <cstdint>
#include <cstdlib>

namespace ui {

// X reports presses, not double clicks: a second press of the same button
// soon after the first and close to it is one. A third press starts over,
// so a triple click is a double click and a single press. [ui]
class DoubleClickDetector {
public:
    // The usual desktop defaults (GTK's and Qt's double-click time and
    // distance).
    static constexpr uint32_t kIntervalMs = 400;
    static constexpr int32_t kDistancePixels = 5;

    // True when this press (server time in ms, window pixels) completes a
    // double click.
    bool Press(uint8_t button, uint32_t timeMs, int32_t x, int32_t y) noexcept {
        const bool isDouble = armed && button == lastButton && timeMs - lastTimeMs <= kIntervalMs &&
                              std::abs(x - lastX) <= kDistancePixels &&
                              std::abs(y - lastY) <= kDistancePixels;
        armed = !isDouble;
        lastButton = button;
        lastTimeMs = timeMs;
        lastX = x;
        lastY = y;
        return isDouble;
    }
    void Reset() noexcept { armed = false; }

private:
    bool armed = false;
    uint8_t lastButton = 0;
    uint32_t lastTimeMs = 0;
    int32_t lastX = 0;
    int32_t lastY = 0;
};

} // namespace ui
