// The generated editor images, read back from the files the build wrote.

#include "ArtworkPixels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <unistd.h>

using namespace artwork_test;

namespace {

constexpr int kFrames = 271, kColumns = 16, kRows = 17;

// The editor's frame for a normalized value: nearest, a half going up.
int EditorFrame(double value) {
    return std::clamp(static_cast<int>((kFrames - 1) * value + 0.5) + 1, 1, kFrames) - 1;
}
// A stepped knob's value for position k, in single precision as the editor has it.
double StepValue(int k, int steps) {
    return static_cast<double>(static_cast<float>(k) / static_cast<float>(steps));
}

struct Strip {
    const char* name;
    int framePixels;
    double scale;
};
const Strip kStrips[] = {{"smallknob.png", 47, 1.0},
                         {"smallknob@2x.png", 94, 2.0},
                         {"x271_frame_stack_fixed_again.png", 64, 1.0},
                         {"x271_frame_stack_fixed_again@2x.png", 118, 2.0}};

Point CellCentre(const Strip& strip, int frame) {
    return {strip.framePixels * (frame % kColumns + 0.5),
            strip.framePixels * (frame / kColumns + 0.5)};
}

// The pointer's direction in one frame, from its pixels.
double PointerDegrees(const Image& image, const Strip& strip, int frame) {
    const double half = strip.framePixels / 2.0;
    return BrightestRayDegrees(image, CellCentre(strip, frame), 0.22 * half, 0.65 * half);
}

// The editor's controls (top-left corner and frame size in units), where the
// printed scales must be.
struct SteppedKnob {
    Point topLeft;
    int steps;
};
const SteppedKnob kSteppedKnobs[] = {
    {{158, 50}, 5}, {{261, 29}, 3}, {{367, 29}, 5}, {{471, 29}, 6}};
struct GainKnob {
    Point topLeft;
    double minDb, maxDb;
};
const GainKnob kGainKnobs[] = {{{53, 92}, -20, 10},
                               {{270, 139}, -20, 20},
                               {{376, 139}, -20, 20},
                               {{482, 139}, -20, 20},
                               {{581, 80}, -20, 20}};

// A mark printed on the panel along a ray: the ray is clearly brighter there
// than a few degrees to either side, where the bare panel is.
void ExpectMarkAlong(const Image& panel, double scale, Point centre, double degrees, double inner,
                     double outer, const std::string& what) {
    const Point c{centre.x * scale, centre.y * scale};
    const double on = PeakAlongRay(panel, c, degrees, inner * scale, outer * scale);
    const double beside =
        std::max(PeakAlongRay(panel, c, degrees - 8, inner * scale, outer * scale),
                 PeakAlongRay(panel, c, degrees + 8, inner * scale, outer * scale));
    EXPECT_GT(on, beside + 60) << what << " at " << degrees << " degrees, scale " << scale;
}

} // namespace

TEST(ArtworkImages, EachDecodesAtItsSizeAndFormat) {
    struct Expected {
        const char* name;
        int width, height;
        bool alpha;
    };
    const Expected images[] = {{"LEQ_back.png", 664, 215, false},
                               {"LEQ_back@2x.png", 1328, 430, false},
                               {"smallknob.png", 752, 799, true},
                               {"smallknob@2x.png", 1504, 1598, true},
                               {"x271_frame_stack_fixed_again.png", 1024, 1088, true},
                               {"x271_frame_stack_fixed_again@2x.png", 1888, 2006, true},
                               {"LEQ_OS.png", 29, 58, false},
                               {"LEQ_OS@2x.png", 58, 116, false}};
    for (const Expected& e : images) {
        const PngHeader header = ReadPngHeader(ArtworkPath(e.name));
        EXPECT_EQ(header.bitDepth, 8) << e.name;
        EXPECT_EQ(header.colourType, e.alpha ? 6 : 2) << e.name;
        const Image image = Decode(ArtworkPath(e.name));
        EXPECT_EQ(image.width, e.width) << e.name;
        EXPECT_EQ(image.height, e.height) << e.name;
    }
}

TEST(ArtworkFilmStrips, EveryFrameIsDrawnInsideItsCellAndTheCellAfterTheLastIsEmpty) {
    for (const Strip& strip : kStrips) {
        const Image image = Decode(ArtworkPath(strip.name));
        ASSERT_EQ(image.width, strip.framePixels * kColumns) << strip.name;
        ASSERT_EQ(image.height, strip.framePixels * kRows) << strip.name;
        const int n = strip.framePixels;
        for (int frame = 0; frame <= kFrames; ++frame) {
            const int left = n * (frame % kColumns), top = n * (frame / kColumns);
            int opaque = 0, edge = 0, any = 0;
            for (int y = top; y < top + n; ++y)
                for (int x = left; x < left + n; ++x) {
                    const int a = image.Alpha(x, y);
                    opaque += a > 200;
                    any += a > 0;
                    const bool border =
                        x == left || y == top || x == left + n - 1 || y == top + n - 1;
                    edge += border && a > 0;
                }
            if (frame == kFrames) {
                EXPECT_EQ(any, 0) << strip.name << ": the unused last cell";
                continue;
            }
            // A knob (the gain knob is a ring round an open centre) covers a
            // good part of its cell, and nothing reaches the cell's edge (it
            // would be cut off there, or show in a neighbour).
            EXPECT_GT(opaque, n * n / 6) << strip.name << " frame " << frame;
            EXPECT_EQ(edge, 0) << strip.name << " frame " << frame;
        }
    }
}

TEST(ArtworkFilmStrips, PointerTurnsFromOneEndStopThroughTheTopToTheOther) {
    for (const Strip& strip : kStrips) {
        const Image image = Decode(ArtworkPath(strip.name));
        EXPECT_NEAR(PointerDegrees(image, strip, 0), -135.0, 1.5) << strip.name;
        EXPECT_NEAR(PointerDegrees(image, strip, 135), 0.0, 1.5) << strip.name;
        EXPECT_NEAR(PointerDegrees(image, strip, 270), 135.0, 1.5) << strip.name;
        // One degree a frame, clockwise, all the way.
        for (int frame = 0; frame < kFrames; frame += 27)
            EXPECT_LT(AngleDistance(PointerDegrees(image, strip, frame), -135.0 + frame), 1.5)
                << strip.name << " frame " << frame;
    }
}

TEST(ArtworkFilmStrips, KnobsAreAsLargeOnScreenAtBothScales) {
    // The outermost opaque pixel of frame 0, in logical units from the centre.
    auto outerRadius = [](const Strip& strip) {
        const Image image = Decode(ArtworkPath(strip.name));
        const Point c = CellCentre(strip, 0);
        double radius = 0.0;
        for (int y = 0; y < strip.framePixels; ++y)
            for (int x = 0; x < strip.framePixels; ++x)
                if (image.Alpha(x, y) > 128)
                    radius = std::max(radius, std::hypot(x + 0.5 - c.x, y + 0.5 - c.y));
        return radius / strip.scale;
    };
    EXPECT_NEAR(outerRadius(kStrips[0]), outerRadius(kStrips[1]), 0.75);
    EXPECT_NEAR(outerRadius(kStrips[2]), outerRadius(kStrips[3]), 0.75);
    // The frequency knob's scale-2 frame is 59 units, drawn centred in the
    // knob's 64-unit rectangle: its knob must fit that smaller frame.
    EXPECT_LT(outerRadius(kStrips[3]), 59.0 / 2 - 1.0);
}

TEST(ArtworkPanel, ScalesArePrintedWhereTheKnobsPoint) {
    const Strip* frequencyStrips[] = {&kStrips[2], &kStrips[3]};
    const Strip* gainStrips[] = {&kStrips[0], &kStrips[1]};
    const char* panels[] = {"LEQ_back.png", "LEQ_back@2x.png"};
    for (int s = 0; s < 2; ++s) {
        const double scale = s + 1.0;
        const Image panel = Decode(ArtworkPath(panels[s]));
        const Image frequency = Decode(ArtworkPath(frequencyStrips[s]->name));
        const Image gain = Decode(ArtworkPath(gainStrips[s]->name));
        for (const SteppedKnob& knob : kSteppedKnobs) {
            const Point centre{knob.topLeft.x + 32, knob.topLeft.y + 32};
            for (int k = 0; k <= knob.steps; ++k) {
                const int frame = EditorFrame(StepValue(k, knob.steps));
                const double pointing = PointerDegrees(frequency, *frequencyStrips[s], frame);
                ExpectMarkAlong(panel, scale, centre, pointing, 27.5, 33.5,
                                "frequency knob at " + std::to_string(knob.topLeft.x) +
                                    ", position " + std::to_string(k));
            }
        }
        for (const GainKnob& knob : kGainKnobs) {
            const Point centre{knob.topLeft.x + 23.5, knob.topLeft.y + 23.5};
            for (double db : {knob.minDb, 0.0, knob.maxDb, knob.maxDb - 10}) {
                const int frame = EditorFrame((db - knob.minDb) / (knob.maxDb - knob.minDb));
                const double pointing = PointerDegrees(gain, *gainStrips[s], frame);
                ExpectMarkAlong(panel, scale, centre, pointing, 19.0, 23.5,
                                "gain knob at " + std::to_string(knob.topLeft.x) + ", " +
                                    std::to_string(db) + " dB");
            }
        }
    }
}

TEST(ArtworkPanel, VersionBoxAndResizeCornerStayDarkAndQuiet) {
    for (const auto& [name, scale] :
         {std::pair{"LEQ_back.png", 1}, std::pair{"LEQ_back@2x.png", 2}}) {
        const Image panel = Decode(ArtworkPath(name));
        // The editor writes light grey (230) text in the box and draws a
        // translucent black triangle in the corner.
        const RegionStats version =
            LumaStats(panel, 576 * scale, 195 * scale, 656 * scale, 215 * scale);
        const RegionStats corner =
            LumaStats(panel, 644 * scale, 195 * scale, 664 * scale, 215 * scale);
        for (const RegionStats& region : {version, corner}) {
            EXPECT_LT(region.mean, 60.0) << name;
            EXPECT_LT(region.deviation, 5.0) << name;
        }
    }
}

TEST(ArtworkSwitch, LitFrameIsBrighterAndBothMeetThePanelWithoutASeam) {
    for (const auto& [name, panelName, scale] :
         {std::tuple{"LEQ_OS.png", "LEQ_back.png", 1},
          std::tuple{"LEQ_OS@2x.png", "LEQ_back@2x.png", 2}}) {
        const Image button = Decode(ArtworkPath(name));
        const Image panel = Decode(ArtworkPath(panelName));
        const int side = 29 * scale;
        const int inset = 9 * scale;
        const RegionStats off = LumaStats(button, inset, inset, side - inset, side - inset);
        const RegionStats on =
            LumaStats(button, inset, side + inset, side - inset, 2 * side - inset);
        EXPECT_GT(on.mean, off.mean + 80) << name;
        // The frame's border pixels are the panel's own pixels under the button.
        for (int frame = 0; frame < 2; ++frame)
            for (int y = 0; y < side; ++y)
                for (int x = 0; x < side; ++x) {
                    if (x != 0 && y != 0 && x != side - 1 && y != side - 1)
                        continue;
                    const uint32_t mine = button.At(x, frame * side + y);
                    const uint32_t under = panel.At(173 * scale + x, 157 * scale + y);
                    for (int shift = 0; shift <= 16; shift += 8)
                        ASSERT_LE(std::abs(static_cast<int>((mine >> shift) & 0xFF) -
                                           static_cast<int>((under >> shift) & 0xFF)),
                                  1)
                            << name << " frame " << frame << " at " << x << "," << y;
                }
    }
}

namespace {
std::vector<char> FileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}
int RunArtworkProgram(const std::string& fontDirectory, const std::filesystem::path& output) {
    const std::string command = std::string("'") + LUMARO_ARTWORK_PROGRAM + "' '" + fontDirectory +
                                "' '" + output.string() + "' 2>/dev/null";
    return std::system(command.c_str());
}
} // namespace

TEST(ArtworkProgram, DrawsTheSameBytesOnEveryRunAndFailsCleanlyWithoutItsFonts) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("lumaro-artwork-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (const char* name : {"LEQ_back.png", "LEQ_OS@2x.png"}) {
        ASSERT_EQ(RunArtworkProgram(LUMARO_ROBOTO_DIR, dir / name), 0) << name;
        EXPECT_EQ(FileBytes(dir / name), FileBytes(ArtworkPath(name))) << name;
    }
    const std::filesystem::path missing = dir / "LEQ_back@2x.png";
    EXPECT_NE(RunArtworkProgram((dir / "no-fonts-here").string(), missing), 0);
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_NE(RunArtworkProgram(LUMARO_ROBOTO_DIR, dir / "unknown.png"), 0);
    std::filesystem::remove_all(dir);
}
