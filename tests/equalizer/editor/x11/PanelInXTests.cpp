// The built "Lumaro EQ.vst3" bundle's editor in a host window on the
// program's own Xvfb, driven with real pointer input through XTest, as a
// user in a DAW would drive it: what the host's component handler and plug
// frame receive, the pixels on screen (against the same panel drawn
// off-screen in this process), and the zoom kept in the user's preference
// file between openings.

#include "PanelFixture.h"
#include "X11Fixture.h"

#include "host/Module.h"
#include "host/ParameterChanges.h"
#include "host/PlugFrame.h"
#include "host/PluginInstance.h"
#include "host/PollRunLoop.h"
#include "tools/panel/OffscreenPanel.h"

#include "pluginterfaces/gui/iplugview.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <tuple>

#ifndef LUMARO_EQ_BUNDLE
#error "LUMARO_EQ_BUNDLE must name the Lumaro EQ .vst3 bundle"
#endif

namespace {

using namespace Steinberg;
using paneltest::ConfigHome;
using Kind = vst3host::HandlerCall::Kind;
namespace panel = equalizer::panel;

// One instance of the bundle's effect with its editor view, in a host made
// of the test host's pieces: a plug frame whose run loop this thread drives,
// and the recording component handler.
struct HostedPanel {
    explicit HostedPanel(vst3host::Module& module) {
        context = owned(new vst3host::HostContext);
        std::string error;
        instance = vst3host::PluginInstance::Create(module, module.Classes().front().cid, &error);
        EXPECT_TRUE(instance) << error;
        EXPECT_EQ(instance->Initialize(context->Unknown()), kResultOk);
        loop = owned(new vst3host::PollRunLoop);
        frame = owned(new vst3host::PlugFrame(loop));
        view = owned(instance->Controller()->createView(Vst::ViewType::kEditor));
        EXPECT_TRUE(view);
        view->setFrame(frame);
    }
    ~HostedPanel() {
        Detach();
        view->setFrame(nullptr);
        view = nullptr;
        instance.reset();
    }
    ViewRect Size() const {
        ViewRect size;
        view->getSize(&size);
        return size;
    }
    bool Attach(vst3host::X11HostWindow& host) {
        attached = view->attached(host.ParentHandle(), kPlatformTypeX11EmbedWindowID) == kResultOk;
        const std::vector<xcb_window_t> children = host.Children();
        window = children.empty() ? XCB_NONE : children.front();
        loop->RunFor(60);
        return attached && window != XCB_NONE;
    }
    void Detach() {
        if (attached)
            view->removed();
        attached = false;
    }
    vst3host::RecordingComponentHandler& Handler() { return instance->Handler(); }

    IPtr<vst3host::HostContext> context;
    std::unique_ptr<vst3host::PluginInstance> instance;
    IPtr<vst3host::PollRunLoop> loop;
    IPtr<vst3host::PlugFrame> frame;
    IPtr<IPlugView> view;
    xcb_window_t window = XCB_NONE;
    bool attached = false;
};

class PanelInX : public x11test::X11Fixture {
protected:
    // Loaded once and kept: see the equalizer's module tests.
    static void SetUpTestSuite() {
        if (module != nullptr)
            return;
        std::string error;
        module = vst3host::Module::Load(LUMARO_EQ_BUNDLE, &error).release();
        ASSERT_NE(module, nullptr) << error;
    }

    std::unique_ptr<HostedPanel> MakePanel() { return std::make_unique<HostedPanel>(*module); }

    // The editor window's size on the server, (0, 0) when there is none.
    std::pair<int, int> Shown(const HostedPanel& hosted) {
        int16_t x = 0, y = 0;
        uint16_t w = 0, h = 0;
        host->Sync();
        host->Geometry(hosted.window, x, y, w, h);
        return {w, h};
    }

    // Pixels of the editor's window that differ from the same panel drawn
    // off-screen here at the zoom; looked at again for a while, since the
    // editor's frames follow the server's frame notifications.
    int DifferencesFromOffscreen(HostedPanel& hosted, float zoom) {
        offscreen::OffscreenPanel reference(zoom);
        reference.Editor()->DrawAll();
        const ui::FrameBufferView frame = reference.Editor()->FrameBuffer();
        int differing = -1;
        for (int attempt = 0; attempt < 40 && differing != 0; ++attempt) {
            hosted.loop->RunFor(25);
            const std::vector<uint32_t> shown =
                host->ReadPixels(hosted.window, 0, 0, static_cast<uint16_t>(frame.width),
                                 static_cast<uint16_t>(frame.height));
            differing = shown.empty() ? -1 : 0;
            for (size_t i = 0; i < shown.size(); ++i) {
                const size_t y = i / frame.width, x = i % frame.width;
                uint32_t pixel = 0;
                std::memcpy(&pixel, frame.pixels + y * frame.stride + 4 * x, 4);
                differing += (shown[i] & 0xFFFFFF) != (pixel & 0xFFFFFF);
            }
        }
        return differing;
    }

    // A press at (x, y) of the editor's window, a move `up` pixels up (the
    // editor puts the pointer back) and the release. Returns once the
    // editor's last warp of the pointer has landed, so that the next move
    // is not undone by it.
    void DragUp(HostedPanel& hosted, int16_t x, int16_t y, int16_t up) {
        const auto pointerAt = [&] {
            int16_t px = 0, py = 0;
            return host->PointerPosition(px, py, hosted.window) && px == x && py == y;
        };
        host->MovePointer(x, y, hosted.window);
        ASSERT_TRUE(hosted.loop->RunUntil(pointerAt, kWaitMs));
        host->PressButton(1);
        // Generous waits: a sanitizer build on a busy machine is slow.
        ASSERT_TRUE(hosted.loop->RunUntil(
            [&] { return hosted.Handler().Count(Kind::BeginEdit) == 1; }, kWaitMs));
        host->MovePointer(x, static_cast<int16_t>(y - up), hosted.window);
        ASSERT_TRUE(hosted.loop->RunUntil(
            [&] { return hosted.Handler().Count(Kind::PerformEdit) > 0; }, kWaitMs));
        host->ReleaseButton(1);
        ASSERT_TRUE(hosted.loop->RunUntil(
            [&] { return hosted.Handler().Count(Kind::EndEdit) == 1; }, kWaitMs));
        ASSERT_TRUE(hosted.loop->RunUntil(pointerAt, kWaitMs));
        hosted.loop->RunFor(30);
    }

    static constexpr uint32_t kWaitMs = 5000;
    static vst3host::Module* module;
    ConfigHome config;
};

vst3host::Module* PanelInX::module = nullptr;

TEST_F(PanelInX, EveryKnobDraggedWithThePointerSendsItsOwnParameter) {
    auto hosted = MakePanel();
    ASSERT_TRUE(hosted->Attach(*host));
    // Gain knobs: 188 pixels cover the range. Frequency knobs: four heights
    // of 64 cover it, and three quarters of one position's travel reach the
    // next position (it snaps half-way).
    const auto oneStep = [](int32_t steps) { return static_cast<int16_t>(192 / steps); };
    const double up = 30.0 / 188.0;
    const std::tuple<panel::Knob, int16_t, double> cases[] = {
        {panel::kOutputGain, 30, 20.0 / 30.0 + up},
        {panel::kLowShelfGain, 30, 0.5 + up},
        {panel::kMid1Gain, 30, 0.5 + up},
        {panel::kMid2Gain, 30, 0.5 + up},
        {panel::kHighShelfGain, 30, 0.5 + up},
        {panel::kHighPassFrequency, oneStep(5), 1.0f / 5.0f}, // from Off
        {panel::kLowShelfFrequency, oneStep(3), 1.0f / 3.0f}, // from 35 Hz
        {panel::kMid1Frequency, oneStep(5), 3.0f / 5.0f},     // from 240 Hz
        {panel::kMid2Frequency, oneStep(6), 4.0f / 6.0f}};    // from 2500 Hz
    for (const auto& [knob, pixels, expected] : cases) {
        const auto id = static_cast<Vst::ParamID>(knob.paramIdx);
        hosted->Handler().Clear();
        ASSERT_NO_FATAL_FAILURE(DragUp(*hosted, static_cast<int16_t>(knob.rect.CentreX()),
                                       static_cast<int16_t>(knob.rect.CentreY()), pixels));
        const auto calls = hosted->Handler().Calls();
        ASSERT_GE(calls.size(), 3u) << id;
        EXPECT_EQ(calls.front().kind, Kind::BeginEdit);
        EXPECT_EQ(calls.back().kind, Kind::EndEdit);
        for (const auto& call : calls)
            EXPECT_EQ(call.id, id); // nothing of another parameter
        EXPECT_NEAR(calls[calls.size() - 2].normalized, expected, 1e-6) << id;
        EXPECT_NEAR(hosted->instance->Controller()->getParamNormalized(id), expected, 1e-6);
    }
}

TEST_F(PanelInX, TheOversamplingButtonBringsTheNewLatencyAtTheNextIdleTick) {
    auto hosted = MakePanel();
    vst3host::PluginInstance& plugin = *hosted->instance;
    ASSERT_EQ(plugin.SetupProcessing({}), kResultOk);
    ASSERT_EQ(plugin.SetActive(true), kResultOk);
    ASSERT_EQ(plugin.SetProcessing(true), kResultOk);
    ASSERT_TRUE(hosted->Attach(*host));
    host->MovePointer(static_cast<int16_t>(panel::kOversamplingSwitch.rect.CentreX()),
                      static_cast<int16_t>(panel::kOversamplingSwitch.rect.CentreY()),
                      hosted->window);
    hosted->loop->RunFor(30);
    host->PressButton(1);
    host->ReleaseButton(1);
    ASSERT_TRUE(hosted->loop->RunUntil([&] { return hosted->Handler().Count(Kind::EndEdit) == 1; },
                                       kWaitMs));
    ASSERT_EQ(hosted->Handler().Count(Kind::PerformEdit), 1u);
    EXPECT_EQ(hosted->Handler().Calls()[1].normalized, 1.0);

    // The host hands the edit to the processor with the next block; the
    // latency is reported from the idle timer, not from the audio call.
    vst3host::ParameterChanges changes;
    changes.Add(equalizer::Oversampling, 0, 1.0);
    std::vector<float> silence(512);
    float* channels[] = {silence.data(), silence.data()};
    ASSERT_EQ(plugin.Process(channels, 2, channels, 2, 512, &changes), kResultOk);
    EXPECT_EQ(hosted->Handler().RestartFlags() & Vst::kLatencyChanged, 0);
    hosted->context->RunLoop().AdvanceMs(40);
    EXPECT_NE(hosted->Handler().RestartFlags() & Vst::kLatencyChanged, 0);
    EXPECT_GT(plugin.Processor()->getLatencySamples(), 0u);
}

TEST_F(PanelInX, TheCornerZoomsStepByStepSnapsAtTheReleaseAndTheNextInstanceOpensThere) {
    {
        auto hosted = MakePanel(); // no zoom stored yet: 100 %
        EXPECT_EQ(hosted->Size().getWidth(), 664);
        ASSERT_TRUE(hosted->Attach(*host));
        EXPECT_EQ(Shown(*hosted), std::pair(664, 215));
        EXPECT_EQ(DifferencesFromOffscreen(*hosted, 1.0f), 0);
        const auto& requests = hosted->frame->ResizeRequests();
        const size_t before = requests.size();
        const int16_t x = 664 - 9, y = 215 - 9; // 8 pixels in from the corner
        host->MovePointer(x, y, hosted->window);
        hosted->loop->RunFor(30);
        host->PressButton(1);
        hosted->loop->RunFor(30);
        for (const double zoom : {1.1, 1.2, 1.3, 1.37}) {
            const size_t asked = requests.size();
            host->MovePointer(static_cast<int16_t>(std::lround(x * zoom)),
                              static_cast<int16_t>(std::lround(y * zoom)), hosted->window);
            ASSERT_TRUE(hosted->loop->RunUntil([&] { return requests.size() > asked; }, kWaitMs));
        }
        // Each step asked the host for a larger view of the panel's shape.
        ASSERT_GE(requests.size(), before + 4);
        for (size_t i = before + 1; i < requests.size(); ++i) {
            EXPECT_GT(requests[i].getWidth(), requests[i - 1].getWidth());
            EXPECT_NEAR(requests[i].getWidth() / double(requests[i].getHeight()), 664 / 215.0,
                        0.02);
        }
        EXPECT_NEAR(requests.back().getWidth(), 664 * 1.37, 2.0);
        host->ReleaseButton(1);
        hosted->loop->RunUntil([&] { return requests.back().getWidth() == 830; }, kWaitMs);
        EXPECT_EQ(requests.back().getWidth(), 830); // settled on 125 %
        EXPECT_EQ(requests.back().getHeight(), 268);
    }
    EXPECT_EQ(config.Stored(), "1.2500\n");
    auto reopened = MakePanel();                 // as after restarting the host
    EXPECT_EQ(reopened->Size().getWidth(), 830); // known before it is attached
    ASSERT_TRUE(reopened->Attach(*host));
    EXPECT_EQ(Shown(*reopened), std::pair(830, 268));
    EXPECT_EQ(DifferencesFromOffscreen(*reopened, 1.25f), 0);
}

} // namespace
