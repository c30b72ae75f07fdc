#include "equalizer/resources/artwork/PanelLayout.h"

#include <algorithm>

namespace artwork {

int FrameForValue(double value) {
    const int frame = static_cast<int>((kStripFrames - 1) * value + 0.5) + 1;
    return std::clamp(frame, 1, kStripFrames) - 1;
}

double FrameAngleDegrees(int frame) {
    return -kTravelDegrees / 2 + kTravelDegrees * frame / (kStripFrames - 1);
}

double StepValue(int position, int steps) {
    return static_cast<double>(static_cast<float>(position) / static_cast<float>(steps));
}

} // namespace artwork
