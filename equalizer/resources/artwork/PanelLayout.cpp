#include "equalizer/resources/artwork/PanelLayout.h"

#include "equalizer/editor/GridFilmStrip.h"

namespace artwork {

int FrameForValue(double value) {
    return equalizer::GridFrameForValue(value, kStripFrames);
}

double FrameAngleDegrees(int frame) {
    return -kTravelDegrees / 2 + kTravelDegrees * frame / (kStripFrames - 1);
}

double StepValue(int position, int steps) {
    return equalizer::DetentValue(position, steps);
}

} // namespace artwork
