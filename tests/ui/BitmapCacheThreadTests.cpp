// Editors of different plug-in instances may live on different threads of a
// host; the bitmap cache and the live-editor count are what they share.

#include "tests/ui/RecordingEditor.h"

#include <gtest/gtest.h>

#include <barrier>
#include <thread>

using ui::IEditorCore;
using uitest::RecordingDelegate;
using uitest::RecordingEditor;

namespace {

constexpr int kNames = 40;

std::string NameOf(int i) {
    return "image" + std::to_string(i) + ".png";
}

void AddResources(RecordingEditor& editor) {
    for (int i = 0; i < kNames; ++i)
        editor.resources[NameOf(i)] = {10 + i, 20};
}

} // namespace

TEST(BitmapCacheThreads, ConcurrentLoadsOfOneImageDecodeItOnce) {
    RecordingDelegate delegate;
    RecordingEditor first(delegate);
    RecordingEditor second(delegate);
    AddResources(first);
    AddResources(second);
    std::vector<std::shared_ptr<ui::APIBitmap>> loaded[2];
    std::barrier start(2);
    const int decodes = RecordingEditor::decodes;
    auto load = [&](RecordingEditor& editor, std::vector<std::shared_ptr<ui::APIBitmap>>& into) {
        start.arrive_and_wait();
        for (int i = 0; i < kNames; ++i)
            into.push_back(editor.LoadBitmap(NameOf(i)).api);
    };
    std::thread a(load, std::ref(first), std::ref(loaded[0]));
    std::thread b(load, std::ref(second), std::ref(loaded[1]));
    a.join();
    b.join();
    EXPECT_EQ(RecordingEditor::decodes - decodes, kNames);
    EXPECT_EQ(loaded[0], loaded[1]);
    EXPECT_EQ(IEditorCore::BitmapCacheSize(), static_cast<size_t>(kNames));
}

TEST(BitmapCacheThreads, EditorsComingAndGoingOnTwoThreadsLeaveNothingBehind) {
    RecordingDelegate delegates[2];
    auto churn = [](RecordingDelegate& delegate) {
        for (int round = 0; round < 200; ++round) {
            RecordingEditor editor(delegate);
            AddResources(editor);
            for (int i = round % 4; i < kNames; i += 8)
                ASSERT_TRUE(editor.LoadBitmap(NameOf(i)).IsValid());
        }
    };
    std::thread a(churn, std::ref(delegates[0]));
    std::thread b(churn, std::ref(delegates[1]));
    a.join();
    b.join();
    EXPECT_EQ(IEditorCore::LiveEditorCount(), 0);
    EXPECT_EQ(IEditorCore::BitmapCacheSize(), 0u);
}
