#include "ui/IControl.h"
#include "ui/IGraphicalEditorDelegate.h"

#include "tests/ui/RecordingEditor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using plugin::ByteChunk;
using plugin::ParamChangeSource;
using ui::IEditorCore;
using ui::IGraphicalEditorDelegate;

namespace {

using Log = std::vector<std::string>;

// A control that logs the values and messages the plug-in sends it.
class LoggingControl : public ui::IControl {
public:
    LoggingControl(Log* log, std::string prefix, int32_t paramIdx)
        : IControl(ui::IRectangle{}, paramIdx), log(log), prefix(std::move(prefix)) {}
    void Draw(ui::IEditorCore&) override {}
    void SetValueFromPlugin(double value, int32_t) override {
        char text[32];
        std::snprintf(text, sizeof text, " %g", value);
        log->push_back(prefix + " value " + label + text);
    }
    void OnPluginMessage(int32_t messageTag, int32_t dataSize, const void*) override {
        log->push_back(prefix + " message " + label + " " + std::to_string(messageTag) + " " +
                       std::to_string(dataSize));
    }
    std::string label;

private:
    Log* log;
    std::string prefix;
};

// An editor object that logs every call it receives into a shared log: its
// own size, window and key calls, and, through two controls (one bound to
// parameter 1, one tagged 3), the values and messages routed to controls.
class FakeEditor : public uitest::RecordingEditor {
public:
    FakeEditor(IGraphicalEditorDelegate& delegate, Log* log, int id, int32_t width, int32_t height,
               float drawScale)
        : RecordingEditor(delegate, width, height, drawScale), log(log), id(id) {
        auto bound = std::make_unique<LoggingControl>(log, Prefix() + "param", 1);
        bound->label = "1";
        AttachControl(std::move(bound));
        auto tagged = std::make_unique<LoggingControl>(log, Prefix() + "tag", -1);
        tagged->label = "3";
        AttachControl(std::move(tagged), 3);
    }
    ~FakeEditor() override { Add("destroyed"); }

    void Resize(int32_t w, int32_t h, float scale, bool needsPlatformResize) override {
        Add("resize", std::to_string(w) + " " + std::to_string(h) + " " + Num(scale) + " " +
                          (needsPlatformResize ? "platform" : "local"));
        width = w;
        height = h;
        drawScale = scale;
    }
    void SetScreenScale(float scale) override {
        Add("screen scale", Num(scale));
        screenScale = scale;
    }
    void* OpenWindow(void* parent) override {
        Add("open", parent == &parentToken ? "parent" : "other");
        return &viewToken;
    }
    void CloseWindow() override { Add("close"); }
    void PointerPosition(float& x, float& y) const override {
        x = 12.5f;
        y = 40.0f;
    }
    bool OnKeyDown(float x, float y, const ui::IKeyEvent& key) override {
        Add("key down", Num(x) + " " + Num(y) + " " + key.utf8);
        return true;
    }
    bool OnKeyUp(float x, float y, const ui::IKeyEvent& key) override {
        Add("key up", Num(x) + " " + Num(y) + " " + key.utf8);
        return false;
    }

    static inline int parentToken = 0;
    static inline int viewToken = 0;

private:
    static std::string Num(double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", v);
        return text;
    }
    std::string Prefix() const { return "editor" + std::to_string(id) + " "; }
    void Add(const char* what, const std::string& detail = "") {
        log->push_back(Prefix() + what + (detail.empty() ? "" : " " + detail));
    }

    Log* log;
    int id;
};

class TestDelegate : public IGraphicalEditorDelegate {
public:
    explicit TestDelegate(int32_t paramCount = 2) : IGraphicalEditorDelegate(paramCount) {
        SetMakeGraphicsFunction([this]() -> IEditorCore* {
            ++made;
            return new FakeEditor(*this, &log, made, 664, 215, 1.0f);
        });
    }
    // The editor logs into this object's log, so it must go before the log.
    ~TestDelegate() override { graphics.reset(); }
    void OnEditorClosed() override {
        log.push_back("delegate closed");
        if (closeAgainWhileClosing)
            CloseWindow();
    }
    void OnParamChangeForEditor(int32_t paramIdx, ParamChangeSource source) override {
        log.push_back("delegate editor " + std::to_string(paramIdx) + " " +
                      ParamChangeSourceName(source));
    }

    Log log;
    int made = 0;
    bool closeAgainWhileClosing = false;
};

ByteChunk SizeChunk(int32_t width, int32_t height, float scale) {
    ByteChunk chunk;
    chunk.PutInt32(width);
    chunk.PutInt32(height);
    chunk.PutFloat(scale);
    return chunk;
}

} // namespace

TEST(GraphicalEditorLifetime, OpenWithoutMakeFunctionOpensNothing) {
    IGraphicalEditorDelegate delegate(1);
    EXPECT_EQ(delegate.CreateGraphics(), nullptr);
    EXPECT_EQ(delegate.OpenWindow(&FakeEditor::parentToken), nullptr);
    EXPECT_EQ(delegate.Graphics(), nullptr);
    delegate.CloseWindow();
    EXPECT_EQ(delegate.SavedWidth(), 0);
}

TEST(GraphicalEditorLifetime, ReopeningRestoresTheLastSizeAndScale) {
    TestDelegate delegate;
    EXPECT_EQ(delegate.OpenWindow(&FakeEditor::parentToken), &FakeEditor::viewToken);
    EXPECT_EQ(delegate.log, (Log{"delegate closed", "editor1 open parent"}));
    delegate.Graphics()->Resize(1328, 430, 2.0f, false); // the user zooms

    delegate.log.clear();
    delegate.CloseWindow();
    EXPECT_EQ(delegate.log, (Log{"delegate closed", "editor1 close", "editor1 destroyed"}));
    EXPECT_EQ(delegate.Graphics(), nullptr);
    EXPECT_EQ(delegate.SavedWidth(), 1328);
    EXPECT_EQ(delegate.SavedHeight(), 430);
    EXPECT_EQ(delegate.SavedScale(), 2.0f);

    delegate.log.clear();
    delegate.OpenWindow(&FakeEditor::parentToken);
    EXPECT_EQ(delegate.log, (Log{"delegate closed", "editor2 resize 1328 430 2 platform",
                                 "editor2 open parent"}));
    EXPECT_EQ(delegate.made, 2);
}

TEST(GraphicalEditorLifetime, SecondOpenClosesTheFirstEditorFirst) {
    TestDelegate delegate;
    delegate.OpenWindow(nullptr);
    delegate.Graphics()->Resize(500, 200, 0.75f, false);
    delegate.log.clear();
    delegate.OpenWindow(nullptr);
    EXPECT_EQ(delegate.log, (Log{"delegate closed", "editor1 close", "editor1 destroyed",
                                 "editor2 resize 500 200 0.75 platform", "editor2 open other"}));
}

TEST(GraphicalEditorLifetime, CloseReenteredWhileClosingDoesNothing) {
    TestDelegate delegate;
    delegate.OpenWindow(nullptr);
    delegate.closeAgainWhileClosing = true;
    delegate.log.clear();
    delegate.CloseWindow();
    EXPECT_EQ(delegate.log, (Log{"delegate closed", "editor1 close", "editor1 destroyed"}));
    delegate.log.clear();
    delegate.CloseWindow(); // the guard was cleared: a later close runs again
    EXPECT_EQ(delegate.log, (Log{"delegate closed"}));
}

TEST(GraphicalEditorLifetime, DestroyingTheDelegateDestroysAnOpenEditor) {
    Log log;
    {
        IGraphicalEditorDelegate delegate(0);
        delegate.SetMakeGraphicsFunction(
            [&log, &delegate] { return new FakeEditor(delegate, &log, 7, 10, 10, 1.0f); });
        delegate.OpenWindow(nullptr);
    }
    EXPECT_EQ(log, (Log{"editor7 open other", "editor7 destroyed"}));
}

TEST(GraphicalEditorLifetime, LayoutRunsTheLayoutFunctionOnTheEditor) {
    TestDelegate delegate;
    IEditorCore* laidOut = nullptr;
    delegate.LayoutEditor(nullptr); // no layout function yet: nothing happens
    delegate.SetLayoutFunction([&laidOut](IEditorCore* editor) { laidOut = editor; });
    delegate.OpenWindow(nullptr);
    delegate.LayoutEditor(delegate.Graphics());
    EXPECT_EQ(laidOut, delegate.Graphics());
}

TEST(GraphicalEditorForwarding, HostResizeSetsLogicalSizeAndResetsZoom) {
    TestDelegate delegate;
    delegate.OnViewResizedByHost(996, 322); // no editor: nothing to resize
    delegate.OpenWindow(nullptr);
    delegate.SetScreenScale(2.0f);
    delegate.log.clear();
    delegate.OnViewResizedByHost(996, 322);
    EXPECT_EQ(delegate.log, (Log{"editor1 resize 498 161 1 local"}));

    delegate.SetScreenScale(0.0f); // a nonsense scale must not divide by zero
    delegate.log.clear();
    delegate.OnViewResizedByHost(800, 300);
    EXPECT_EQ(delegate.log, (Log{"editor1 resize 800 300 1 local"}));

    delegate.SetScreenScale(1e-30f);
    delegate.log.clear();
    delegate.OnViewResizedByHost(800, 300);
    EXPECT_EQ(delegate.log, (Log{"editor1 resize 2147483647 2147483647 1 local"}));
}

TEST(GraphicalEditorForwarding, KeysGoToTheEditorAtThePointer) {
    TestDelegate delegate;
    ui::IKeyEvent key;
    std::strcpy(key.utf8, "a");
    EXPECT_FALSE(delegate.OnKeyDown(key));
    EXPECT_FALSE(delegate.OnKeyUp(key));
    delegate.OpenWindow(nullptr);
    delegate.log.clear();
    EXPECT_TRUE(delegate.OnKeyDown(key));
    EXPECT_FALSE(delegate.OnKeyUp(key));
    EXPECT_EQ(delegate.log, (Log{"editor1 key down 12.5 40 a", "editor1 key up 12.5 40 a"}));
}

TEST(GraphicalEditorForwarding, ValuesReachControlsOnlyWithAnOpenEditor) {
    TestDelegate delegate;
    delegate.ParamAt(1)->ConfigureDouble("Level", 0.0, -20.0, 20.0, 0.1);

    delegate.PushParamToEditor(1, 10.0, false);
    delegate.PushValueToControl(3, 0.5);
    delegate.PushMessageToControl(3, 9, 4, "abc");
    EXPECT_EQ(delegate.log, (Log{"delegate editor 1 Editor Delegate"}));

    delegate.OpenWindow(nullptr);
    delegate.log.clear();
    delegate.PushParamToEditor(1, 10.0, false); // a real value is normalized first
    delegate.PushParamToEditor(1, 0.1, true);
    delegate.PushParamToEditor(9, 0.1, true); // unknown index: no control touched
    delegate.PushValueToControl(3, 0.5);
    delegate.PushMessageToControl(3, 9, 4, "abc");
    EXPECT_EQ(delegate.log, (Log{"editor1 param value 1 0.75", "delegate editor 1 Editor Delegate",
                                 "editor1 param value 1 0.1", "delegate editor 1 Editor Delegate",
                                 "delegate editor 9 Editor Delegate", "editor1 tag value 3 0.5",
                                 "editor1 tag message 3 9 4"}));
}

TEST(GraphicalEditorSize, WrittenAsLittleEndianWidthHeightAndScale) {
    TestDelegate delegate;
    delegate.OpenWindow(nullptr);
    delegate.Graphics()->Resize(664, 215, 2.0f, false);
    ByteChunk chunk;
    ASSERT_TRUE(delegate.WriteEditorSize(chunk));
    // 664 = 0x298, 215 = 0xD7, 2.0f = 0x40000000.
    const std::vector<uint8_t> expected = {0x98, 0x02, 0, 0, 0xD7, 0, 0, 0, 0, 0, 0, 0x40};
    EXPECT_EQ(std::vector<uint8_t>(chunk.Data(), chunk.Data() + chunk.Size()), expected);

    delegate.Graphics()->Resize(300, 100, 0.5f, false);
    delegate.CloseWindow(); // a closed editor writes the saved values
    ByteChunk saved;
    ASSERT_TRUE(delegate.WriteEditorSize(saved));
    EXPECT_EQ(saved, SizeChunk(300, 100, 0.5f));

    ByteChunk tooSmall(8);
    EXPECT_FALSE(delegate.WriteEditorSize(tooSmall));
}

TEST(GraphicalEditorSize, ReadIsKeptForTheNextOpeningOrAppliedToAnOpenEditor) {
    TestDelegate delegate;
    ByteChunk chunk;
    chunk.PutInt32(-77); // data before the size
    ByteChunk size = SizeChunk(996, 322, 1.5f);
    chunk.PutBytes(size.Data(), size.Size());
    EXPECT_EQ(delegate.ReadEditorSize(chunk, 4), 16);
    EXPECT_EQ(delegate.SavedWidth(), 996);
    EXPECT_EQ(delegate.SavedHeight(), 322);
    EXPECT_EQ(delegate.SavedScale(), 1.5f);

    delegate.OpenWindow(nullptr);
    EXPECT_EQ(delegate.log, (Log{"delegate closed", "editor1 resize 996 322 1.5 platform",
                                 "editor1 open other"}));
    delegate.log.clear();
    EXPECT_EQ(delegate.ReadEditorSize(SizeChunk(400, 130, 0.75f), 0), 12);
    EXPECT_EQ(delegate.log, (Log{"editor1 resize 400 130 0.75 platform"}));
}

TEST(GraphicalEditorSize, ShortOrNonsenseDataChangesNothing) {
    TestDelegate delegate;
    const ByteChunk good = SizeChunk(996, 322, 1.5f);
    ByteChunk shortChunk;
    shortChunk.PutBytes(good.Data(), 11);
    EXPECT_EQ(delegate.ReadEditorSize(shortChunk, 0), -1);
    EXPECT_EQ(delegate.ReadEditorSize(good, -4), -1);
    EXPECT_EQ(delegate.ReadEditorSize(good, 4), -1);
    EXPECT_EQ(delegate.SavedWidth(), 0);
    EXPECT_EQ(delegate.SavedScale(), 0.0f);

    // Unusable values are read past but leave no saved size behind, so the
    // next editor opens at its own size.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(delegate.ReadEditorSize(SizeChunk(996, 322, nan), 0), 12);
    EXPECT_EQ(delegate.ReadEditorSize(SizeChunk(-5, 322, 1.0f), 0), 12);
    EXPECT_EQ(delegate.SavedWidth(), 0);
    delegate.OpenWindow(nullptr);
    EXPECT_EQ(delegate.log, (Log{"delegate closed", "editor1 open other"}));

    delegate.log.clear();
    EXPECT_EQ(delegate.ReadEditorSize(SizeChunk(0, 322, 1.0f), 0), 12);
    EXPECT_TRUE(delegate.log.empty());
}
