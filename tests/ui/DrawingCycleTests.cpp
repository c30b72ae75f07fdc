#include "tests/ui/RecordingEditor.h"
#include "ui/DirtyRegions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using ui::IRectangle;
using uitest::ProbeControl;
using uitest::RecordingDelegate;
using uitest::RecordingEditor;
using Rects = std::vector<IRectangle>;

namespace {

// How many of the rectangles cover each cell of a grid of half units; the
// rectangles' edges lie on that grid, so a cell's centre is never on an edge.
constexpr int kCells = 40;
std::vector<int> CoverCounts(const Rects& rects) {
    std::vector<int> counts(kCells * kCells, 0);
    for (const IRectangle& r : rects) {
        for (int y = 0; y < kCells; ++y) {
            for (int x = 0; x < kCells; ++x) {
                const float cx = (static_cast<float>(x) + 0.5f) * 0.5f;
                const float cy = (static_cast<float>(y) + 0.5f) * 0.5f;
                if (cx > r.L && cx < r.R && cy > r.T && cy < r.B)
                    ++counts[static_cast<size_t>(y * kCells + x)];
            }
        }
    }
    return counts;
}

ProbeControl* AttachProbe(RecordingEditor& editor, IRectangle rect) {
    return static_cast<ProbeControl*>(editor.AttachControl(std::make_unique<ProbeControl>(rect)));
}

} // namespace

TEST(MergeDirtyRects, CoversExactlyTheInputPixelsWithoutOverlap) {
    // Coordinates from a small range, so that shared edges, containment and
    // every kind of overlap occur often.
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> corner(0, 30);
    std::uniform_int_distribution<int> extent(1, 16);
    std::uniform_int_distribution<int> howMany(1, 10);
    for (int set = 0; set < 2500; ++set) {
        Rects rects;
        for (int n = howMany(random); n > 0; --n) {
            const int l = corner(random);
            const int t = corner(random);
            rects.push_back({l * 0.5f, t * 0.5f, std::min(l + extent(random), kCells) * 0.5f,
                             std::min(t + extent(random), kCells) * 0.5f});
        }
        Rects merged = rects;
        ui::MergeDirtyRects(merged);
        const std::vector<int> before = CoverCounts(rects);
        const std::vector<int> after = CoverCounts(merged);
        for (size_t cell = 0; cell < before.size(); ++cell) {
            ASSERT_EQ(before[cell] > 0, after[cell] > 0) << "set " << set << " cell " << cell;
            ASSERT_LE(after[cell], 1) << "set " << set << " cell " << cell;
        }
    }
}

TEST(DrawingCycle, DirtyControlRepaintsItsGrownRectangleAlignedToPixels) {
    RecordingDelegate delegate;
    RecordingEditor editor(delegate);
    ProbeControl* background = AttachProbe(editor, {0, 0, 664, 215});
    ProbeControl* control = AttachProbe(editor, {10, 10, 20, 20});
    editor.MarkAllControlsClean();
    Rects rects;
    EXPECT_FALSE(editor.IsDirty(rects));

    control->SetDirty(false);
    ASSERT_TRUE(editor.IsDirty(rects));
    EXPECT_EQ(rects, Rects{IRectangle(9.25f, 9.25f, 20.75f, 20.75f)});
    editor.Draw(rects);
    const IRectangle region(9, 9, 21, 21);
    EXPECT_EQ(editor.Clips(), (Rects{region, region})); // background first
    EXPECT_EQ(background->calls.size(), 1u);
    EXPECT_EQ(control->calls.size(), 1u);
    EXPECT_EQ(editor.frames, 1);
    editor.Draw({});
    EXPECT_EQ(editor.frames, 1);
}

TEST(DrawingCycle, ControlsAreClippedToTheRegionsTheyTouchAndHiddenOnesSkipped) {
    RecordingDelegate delegate;
    RecordingEditor editor(delegate);
    ProbeControl* background = AttachProbe(editor, {0, 0, 664, 215});
    ProbeControl* near = AttachProbe(editor, {100, 100, 140, 140});
    ProbeControl* far = AttachProbe(editor, {400, 100, 440, 140});
    ProbeControl* hidden = AttachProbe(editor, {110, 110, 120, 120});
    hidden->Hide(true);
    background->Hide(true); // the background is drawn all the same

    editor.Draw({IRectangle(130, 130, 200, 200)});
    EXPECT_EQ(editor.Clips(), (Rects{{130, 130, 200, 200}, {130, 130, 141, 141}}));
    EXPECT_EQ(background->calls.size(), 1u);
    EXPECT_EQ(near->calls.size(), 1u);
    EXPECT_TRUE(far->calls.empty());
    EXPECT_TRUE(hidden->calls.empty());
}

TEST(DrawingCycle, RegionsAlignToWholeBackingPixelsAtFractionalScales) {
    for (float scale : {1.5f, 1.25f, 0.75f}) {
        RecordingDelegate delegate;
        RecordingEditor editor(delegate, 664, 215, scale);
        AttachProbe(editor, {10.3f, 10.3f, 20.1f, 20.1f});
        Rects rects;
        ASSERT_TRUE(editor.IsDirty(rects));
        editor.Draw(rects);
        const IRectangle grown = rects[0];
        const IRectangle clip = editor.Clips().at(0);
        for (float edge : {clip.L, clip.T, clip.R, clip.B})
            EXPECT_NEAR(edge * scale, std::round(edge * scale), 1e-4) << scale;
        EXPECT_TRUE(clip.Contains(grown)) << scale;
        EXPECT_LT(grown.L - clip.L, 1.0f / scale);
        EXPECT_LT(clip.R - grown.R, 1.0f / scale);
    }
}
