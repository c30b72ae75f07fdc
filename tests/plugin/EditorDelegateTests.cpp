#include "plugin/IEditorDelegate.h"
#include "plugin/Trace.h"

#include "AllocationCounter.h"
#include "AllocationCounterSupported.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using plugin::IEditorDelegate;
using plugin::IParam;
using plugin::ParamChangeSource;

namespace {

// Records every hook in the order it is called.
class RecordingDelegate : public IEditorDelegate {
public:
    using IEditorDelegate::IEditorDelegate;
    using IEditorDelegate::OnParamChange;

    void OnParamChange(int32_t paramIdx) override { Log("change", paramIdx); }
    void OnParamChangeForEditor(int32_t paramIdx, ParamChangeSource source) override {
        Log("editor", paramIdx, ParamChangeSourceName(source));
    }
    void OnEditorOpened() override {
        Log("opened");
        IEditorDelegate::OnEditorOpened();
    }
    void OnEditorClosed() override { Log("closed"); }
    void PushParamToEditor(int32_t paramIdx, double value, bool normalized) override {
        char text[64];
        std::snprintf(text, sizeof text, "push %d %g %d", paramIdx, value, normalized ? 1 : 0);
        calls.push_back(text);
        IEditorDelegate::PushParamToEditor(paramIdx, value, normalized);
    }
    bool OnMessage(int32_t messageTag, int32_t controlTag, int32_t dataSize,
                   const void* data) override {
        char text[64];
        std::snprintf(text, sizeof text, "message %d %d %d %s", messageTag, controlTag, dataSize,
                      static_cast<const char*>(data));
        calls.push_back(text);
        return true;
    }
    void SetLimits(int32_t minW, int32_t maxW, int32_t minH, int32_t maxH) {
        minWidth = minW;
        maxWidth = maxW;
        minHeight = minH;
        maxHeight = maxH;
    }

    void Log(const char* what, int32_t index = -1, const char* source = "") {
        calls.push_back(std::string(what) + (index >= 0 ? " " + std::to_string(index) : "") +
                        (source[0] != '\0' ? std::string(" ") + source : ""));
    }

    std::vector<std::string> calls;
};

// A sink that keeps the last trace record, formatted.
struct TraceCapture {
    static inline std::string function;
    static inline std::string format;
    static inline std::string text;
    static void Sink(const char* functionName, const char* fmt, std::va_list args) {
        function = functionName;
        format = fmt;
        char buffer[256];
        std::vsnprintf(buffer, sizeof buffer, fmt, args);
        text = buffer;
    }
};

class ScopedTraceSink {
public:
    explicit ScopedTraceSink(plugin::TraceSink sink) : previous(plugin::SetTraceSink(sink)) {}
    ~ScopedTraceSink() { plugin::SetTraceSink(previous); }

private:
    plugin::TraceSink previous;
};

} // namespace

TEST(EditorDelegate, FreshDelegateHoldsFreshParametersAndDefaultLimits) {
    IEditorDelegate delegate(10);
    ASSERT_EQ(delegate.ParamCount(), 10);
    for (int32_t i = 0; i < 10; ++i) {
        const IParam* param = delegate.ParamAt(i);
        ASSERT_NE(param, nullptr);
        EXPECT_EQ(param->Kind(), IParam::KindNone);
        EXPECT_EQ(param->Max(), 1.0);
        EXPECT_EQ(param->CurrentValue(), 0.0);
    }
    EXPECT_NE(delegate.ParamAt(0), delegate.ParamAt(1));
    EXPECT_EQ(delegate.ParamAt(-1), nullptr);
    EXPECT_EQ(delegate.ParamAt(10), nullptr);
    EXPECT_EQ(delegate.EditorWidth(), 0);
    EXPECT_EQ(delegate.EditorHeight(), 0);
    EXPECT_EQ(delegate.MinWidth(), 10);
    EXPECT_EQ(delegate.MaxWidth(), 100000);
    EXPECT_EQ(delegate.MinHeight(), 10);
    EXPECT_EQ(delegate.MaxHeight(), 100000);

    IEditorDelegate none(-3);
    EXPECT_EQ(none.ParamCount(), 0);
}

TEST(EditorDelegate, SourceNamesAreTheTraceNames) {
    EXPECT_STREQ(ParamChangeSourceName(ParamChangeSource::Reset), "Reset");
    EXPECT_STREQ(ParamChangeSourceName(ParamChangeSource::Host), "Host");
    EXPECT_STREQ(ParamChangeSourceName(ParamChangeSource::Preset), "Preset");
    EXPECT_STREQ(ParamChangeSourceName(ParamChangeSource::UI), "UI");
    EXPECT_STREQ(ParamChangeSourceName(ParamChangeSource::EditorDelegate), "Editor Delegate");
    EXPECT_STREQ(ParamChangeSourceName(ParamChangeSource::Recompile), "Recompile");
    EXPECT_STREQ(ParamChangeSourceName(ParamChangeSource::Unknown), "Unknown");
    EXPECT_STREQ(ParamChangeSourceName(static_cast<ParamChangeSource>(99)), "Unknown");
    EXPECT_EQ(static_cast<int32_t>(ParamChangeSource::EditorDelegate), 4);
    EXPECT_EQ(static_cast<int32_t>(ParamChangeSource::Unknown), 6);
}

TEST(EditorDelegate, AnnounceAllParamsCallsBothHooksPerParameterInOrder) {
    RecordingDelegate delegate(3);
    delegate.AnnounceAllParams(ParamChangeSource::Preset);
    const std::vector<std::string> expected = {"change 0", "editor 0 Preset",
                                               "change 1", "editor 1 Preset",
                                               "change 2", "editor 2 Preset"};
    EXPECT_EQ(delegate.calls, expected);
}

TEST(EditorDelegate, ParamChangeWithSourceTracesThenCallsThePlugin) {
    ScopedTraceSink sink(&TraceCapture::Sink);
    RecordingDelegate delegate(5);
    delegate.OnParamChange(3, ParamChangeSource::UI, -1);
    EXPECT_EQ(TraceCapture::function, "plugin::IEditorDelegate::OnParamChange");
    EXPECT_EQ(TraceCapture::format, "idx:%i src:%s\n");
    EXPECT_EQ(TraceCapture::text, "idx:3 src:UI\n");
    EXPECT_EQ(delegate.calls, std::vector<std::string>{"change 3"});
}

TEST(EditorDelegate, TracingWithoutASinkDoesNotAllocate) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    IEditorDelegate delegate(2);
    ASSERT_EQ(plugin::SetTraceSink(nullptr), nullptr);
    testing_support::AllocationCounter counter;
    plugin::Trace("f", "%d %s", 1, "x");
    delegate.OnParamChange(1, ParamChangeSource::Host, 0);
    EXPECT_EQ(counter.Count(), 0u);
}

TEST(EditorDelegate, ClampEditorSizeReportsAndClampsOutOfRangeSizes) {
    RecordingDelegate delegate(0);
    delegate.SetLimits(221, 1992, 71, 645);

    int32_t width = 100;
    int32_t height = 300;
    EXPECT_FALSE(delegate.ClampEditorSize(width, height));
    EXPECT_EQ(width, 221);
    EXPECT_EQ(height, 300);

    width = 664;
    height = 215;
    EXPECT_TRUE(delegate.ClampEditorSize(width, height));
    EXPECT_EQ(width, 664);
    EXPECT_EQ(height, 215);

    width = 5000;
    height = -4;
    EXPECT_FALSE(delegate.ClampEditorSize(width, height));
    EXPECT_EQ(width, 1992);
    EXPECT_EQ(height, 71);

    width = 1992; // the limits themselves are inside
    height = 645;
    EXPECT_TRUE(delegate.ClampEditorSize(width, height));
}

TEST(EditorDelegate, SetParamFromEditorStoresDenormalizedValueAndTellsTheEditor) {
    RecordingDelegate delegate(2);
    delegate.ParamAt(1)->ConfigureEnum("HPF", 0, 6);
    delegate.SetParamFromEditor(1, 0.5);
    EXPECT_EQ(delegate.ParamAt(1)->CurrentValue(), 3.0);
    EXPECT_EQ(delegate.calls, std::vector<std::string>{"editor 1 UI"});

    delegate.calls.clear();
    delegate.SetParamFromEditor(7, 0.5);
    delegate.SetParamFromEditor(-1, 0.5);
    EXPECT_TRUE(delegate.calls.empty());

    delegate.SetParamFromEditor(1, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(delegate.ParamAt(1)->CurrentValue(), 3.0);
}

TEST(EditorDelegate, OpeningAndStateRestorePushEveryPositionToTheEditor) {
    RecordingDelegate delegate(2);
    delegate.ParamAt(0)->ConfigureDouble("Level", 10.0, -20.0, 20.0, 0.1);
    delegate.ParamAt(1)->ConfigureEnum("HPF", 5, 6);
    const std::vector<std::string> pushes = {"push 0 0.75 1", "editor 0 Editor Delegate",
                                             "push 1 1 1", "editor 1 Editor Delegate"};

    EXPECT_EQ(delegate.OpenWindow(nullptr), nullptr);
    std::vector<std::string> expected = {"opened"};
    expected.insert(expected.end(), pushes.begin(), pushes.end());
    EXPECT_EQ(delegate.calls, expected);

    delegate.calls.clear();
    delegate.CloseWindow();
    EXPECT_EQ(delegate.calls, std::vector<std::string>{"closed"});

    delegate.calls.clear();
    delegate.OnStateRestored();
    EXPECT_EQ(delegate.calls, pushes);
}

TEST(EditorDelegate, MessagesTowardsTheEditorEndInOnMessage) {
    RecordingDelegate delegate(0);
    delegate.PushMessageToControl(12, 34, 3, "abc");
    delegate.PushMessageToEditor(56, 3, "def");
    const std::vector<std::string> expected = {"message 34 12 3 abc", "message 56 -1 3 def"};
    EXPECT_EQ(delegate.calls, expected);
}
