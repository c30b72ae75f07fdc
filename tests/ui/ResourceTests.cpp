#include "tests/ui/RecordingEditor.h"
#include "ui/BitmapCache.h"
#include "ui/BitmapFrames.h"

#include <gtest/gtest.h>

#include <cmath>

using ui::IBitmapRef;
using ui::IEditorCore;
using uitest::DrawOp;
using uitest::RecordingBitmap;
using uitest::RecordingDelegate;
using uitest::RecordingEditor;

namespace {

std::vector<int32_t> Order(int32_t target) {
    const ui::ScaleSearchOrder order = ui::ScaleSearchOrderFor(target);
    return {order.begin(), order.end()};
}

const std::string& SourceOf(const IBitmapRef& bitmap) {
    return static_cast<const RecordingBitmap&>(*bitmap.api).source;
}

std::vector<DrawOp> OpsOf(const RecordingEditor& editor, DrawOp::Kind kind) {
    std::vector<DrawOp> found;
    for (const DrawOp& op : editor.ops) {
        if (op.kind == kind)
            found.push_back(op);
    }
    return found;
}

} // namespace

TEST(ScaleSearch, TriesTheTargetThenThreeThenTwoAndOne) {
    EXPECT_EQ(Order(1), (std::vector<int32_t>{1, 3, 2}));
    EXPECT_EQ(Order(2), (std::vector<int32_t>{2, 3, 1}));
    EXPECT_EQ(Order(3), (std::vector<int32_t>{3, 2, 1}));
    EXPECT_EQ(Order(4), (std::vector<int32_t>{4, 3, 2, 1}));
    EXPECT_EQ(ui::ScaledResourceName("LEQ_back.png", 2), "LEQ_back@2x.png");
    EXPECT_EQ(ui::ScaledResourceName("LEQ_back.png", 1), "LEQ_back.png");
}

TEST(BitmapLoading, PicksTheResolutionVariantOfTheBackingScale) {
    RecordingDelegate delegate;
    RecordingEditor editor(delegate, 664, 215, 1.25f);
    editor.resources = {{"knob.png", {47, 2820}}, {"knob@2x.png", {94, 5640}}};
    const int decodes = RecordingEditor::decodes;
    const IBitmapRef sharp = editor.LoadBitmap("knob.png", 60);
    EXPECT_EQ(SourceOf(sharp), "knob@2x.png");
    EXPECT_EQ(sharp.api->Scale(), 2);
    EXPECT_EQ(sharp.FrameHeight(), 47);

    editor.Resize(664, 215, 1.0f, false);
    const IBitmapRef plain = editor.BitmapForScale(sharp);
    EXPECT_EQ(SourceOf(plain), "knob.png");
    EXPECT_EQ(plain.frames, 60);
    EXPECT_EQ(RecordingEditor::decodes - decodes, 2);
}

TEST(BitmapLoading, AMissingVariantIsScaledUpOnceAndCached) {
    RecordingDelegate delegate;
    RecordingEditor editor(delegate, 664, 215, 2.0f);
    editor.resources = {{"back.png", {664, 215}}};
    const int decodes = RecordingEditor::decodes;
    const IBitmapRef back = editor.LoadBitmap("back.png");
    ASSERT_TRUE(back.IsValid());
    EXPECT_EQ(SourceOf(back), "layer");
    EXPECT_EQ(back.api->PixelWidth(), 1328);
    EXPECT_EQ(back.api->Scale(), 2);
    EXPECT_EQ(back.width, 664);
    EXPECT_EQ(RecordingEditor::decodes - decodes, 1);
    // The whole scale-1 image was drawn into the layer.
    const std::vector<DrawOp> drawn = OpsOf(editor, DrawOp::Bitmap);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].rect, ui::IRectangle(0, 0, 664, 215));
    EXPECT_EQ(editor.PixelScale(), 2.0f); // the scales are restored

    // Cached under the target; the decoded source was only the means.
    EXPECT_EQ(IEditorCore::FindCachedBitmapAt("back.png", 2), back.api);
    EXPECT_EQ(IEditorCore::FindCachedBitmapAt("back.png", 1), nullptr);
    EXPECT_EQ(editor.LoadBitmap("back.png").api, back.api);
    EXPECT_EQ(RecordingEditor::decodes - decodes, 1);
    EXPECT_EQ(OpsOf(editor, DrawOp::Bitmap).size(), 1u);

    // Found nowhere any more: served from the best cached scale.
    editor.resources.clear();
    const IBitmapRef finer = editor.LoadBitmap("back.png", 1, false, 3);
    ASSERT_TRUE(finer.IsValid());
    EXPECT_EQ(finer.api->PixelWidth(), 1992);
    EXPECT_EQ(finer.width, 664);

    const IBitmapRef unknown = editor.LoadBitmap("nothing.png", 4);
    const IBitmapRef unsupported = editor.LoadBitmap("back.jpg");
    for (const IBitmapRef& empty : {unknown, unsupported}) {
        EXPECT_FALSE(empty.IsValid());
        EXPECT_EQ(empty.width, 0);
        EXPECT_EQ(empty.frames, 0);
        EXPECT_TRUE(empty.name.empty());
    }
}

TEST(BitmapCache, IsSharedByEditorsAndEmptiedWithTheLastOne) {
    ASSERT_EQ(IEditorCore::LiveEditorCount(), 0);
    RecordingDelegate delegate;
    auto first = std::make_unique<RecordingEditor>(delegate);
    auto second = std::make_unique<RecordingEditor>(delegate);
    first->resources = second->resources = {{"knob.png", {47, 2820}}};
    EXPECT_EQ(IEditorCore::LiveEditorCount(), 2);

    const int decodes = RecordingEditor::decodes;
    std::weak_ptr<ui::APIBitmap> image = first->LoadBitmap("knob.png", 60).api;
    EXPECT_EQ(second->LoadBitmap("knob.png", 60).api, image.lock());
    EXPECT_EQ(RecordingEditor::decodes - decodes, 1);
    first.reset();
    EXPECT_EQ(IEditorCore::BitmapCacheSize(), 1u);
    second.reset();
    EXPECT_EQ(IEditorCore::LiveEditorCount(), 0);
    EXPECT_EQ(IEditorCore::BitmapCacheSize(), 0u);
    EXPECT_TRUE(image.expired());
}

TEST(BitmapFrames, FrameChoiceAndSourceOffsets) {
    RecordingDelegate delegate;
    RecordingEditor editor(delegate);
    IBitmapRef strip{
        std::make_shared<RecordingBitmap>(30, 90, 1, 1.0f, "strip"), 30, 90, 3, false, ""};
    const ui::IRectangle dest(0, 0, 30, 30);
    for (int frame : {2, 0, 9})
        editor.DrawBitmapFrame(strip, dest, frame);
    strip.framesAreHorizontal = true;
    editor.DrawBitmapFrame(strip, dest, 3);
    strip.frames = 1;
    editor.DrawBitmapFrame(strip, dest, 2);
    editor.DrawBitmapFrame(IBitmapRef{}, dest, 1); // an empty bitmap draws nothing
    std::vector<std::pair<int32_t, int32_t>> offsets;
    for (const DrawOp& op : OpsOf(editor, DrawOp::Bitmap))
        offsets.emplace_back(op.srcX, op.srcY);
    EXPECT_EQ(offsets, (std::vector<std::pair<int32_t, int32_t>>{
                           {0, 30}, {0, 0}, {0, 60}, {20, 0}, {0, 0}}));

    // Values spread evenly over the frames, each shown by the nearest.
    for (int32_t k = 0; k < 60; ++k) {
        EXPECT_EQ(ui::FrameForValue(k / 59.0, 60), k + 1);
        EXPECT_EQ(ui::FrameForValue((k + 0.49) / 59.0, 60), k + 1);
    }
    EXPECT_EQ(ui::FrameForValue(1.5, 60), 60);
    EXPECT_EQ(ui::FrameForValue(std::nan(""), 60), 1);
}

TEST(Fonts, NeedThePlatformFontAndTheBackendBeforeTheWindowKeepsThem) {
    RecordingDelegate delegate;
    RecordingEditor editor(delegate);
    EXPECT_TRUE(editor.LoadFont("Roboto-Regular", "Roboto-Regular.ttf"));
    EXPECT_FALSE(editor.LoadFont("Other", "missing.ttf"));
    editor.acceptTypefaces = false;
    EXPECT_FALSE(editor.LoadFont("Broken", "broken.ttf"));
    EXPECT_FALSE(editor.LoadFont("Empty", "", 0));
    EXPECT_EQ(editor.windowLog,
              (std::vector<std::string>{"typeface Roboto-Regular", "window font Roboto-Regular",
                                        "typeface Broken"}));
}
