// lumaro-window-bench: the editor window on a private Xvfb: opening the editor (images decoded,
// and again with them cached), presenting a full 1328 x 430 frame through
// shared memory, and what an idle open editor costs.
//
// The editor is the editor tests' plug-in (the equalizer's size, its panel
// and button images, a knob), opened through the VST 3 view in a host made
// of the test host's pieces.

#include "XvfbServer.h"
#include "testplugin/EditorTestPlugin.h"

#include "host/ComponentHandler.h"
#include "host/HostContext.h"
#include "host/PlugFrame.h"
#include "host/PollRunLoop.h"
#include "host/X11HostWindow.h"
#include "ui/platform/X11EmbedWindow.h"
#include "ui/platform/X11Presenter.h"

#include "base/source/fobject.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace Steinberg;

testsupport::XvfbServer* Server(benchmark::State& state) {
    std::string whyNot;
    testsupport::XvfbServer* server = testsupport::XvfbServer::Shared(whyNot);
    if (server == nullptr)
        state.SkipWithError(("no X server: " + whyNot).c_str());
    return server;
}

// One plug-in instance with its view, on a host loop and frame.
struct Hosted {
    Hosted() {
        context = owned(new vst3host::HostContext(vst3host::HostContext::Options{"Bench", false}));
        loop = owned(new vst3host::PollRunLoop);
        frame = owned(new vst3host::PlugFrame(loop));
        plugin = new editor_test::EditorTestPlugin;
        plugin->initialize(context->Unknown());
        view = owned(plugin->createView("editor"));
        view->setFrame(frame);
    }
    ~Hosted() {
        view->removed();
        view->setFrame(nullptr);
        view = nullptr;
        plugin->terminate();
        plugin->release();
    }
    bool RunUntilDrawn() {
        return loop->RunUntil(
            [&] { return plugin->Window() != nullptr && plugin->Window()->FramesDrawn() > 0; },
            2000);
    }

    IPtr<vst3host::HostContext> context;
    IPtr<vst3host::PollRunLoop> loop;
    IPtr<vst3host::PlugFrame> frame;
    editor_test::EditorTestPlugin* plugin = nullptr;
    IPtr<IPlugView> view;
};

std::unique_ptr<vst3host::X11HostWindow> Parent(testsupport::XvfbServer& server) {
    std::string whyNot;
    return vst3host::X11HostWindow::Open(server.Display(), 1400, 900, whyNot);
}

// attached() alone (the editor's own work: connection, window, shared
// memory, layout with the images, first dirty state), and separately the
// time until its first frame is on the server, which waits for the next
// frame of the display.
void OpenEditor(benchmark::State& state, bool cached) {
    testsupport::XvfbServer* server = Server(state);
    if (server == nullptr)
        return;
    auto parent = Parent(*server);
    // While another editor is open the process keeps its images decoded.
    std::unique_ptr<Hosted> keeper;
    if (cached) {
        keeper = std::make_unique<Hosted>();
        keeper->view->attached(parent->ParentHandle(), kPlatformTypeX11EmbedWindowID);
        keeper->RunUntilDrawn();
    }
    double firstFrameMs = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        auto editor = std::make_unique<Hosted>();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        editor->view->attached(parent->ParentHandle(), kPlatformTypeX11EmbedWindowID);
        state.PauseTiming();
        editor->RunUntilDrawn();
        firstFrameMs +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        editor.reset();
        state.ResumeTiming();
    }
    state.counters["first_frame_ms"] =
        benchmark::Counter(firstFrameMs / static_cast<double>(state.iterations()));
}

void BM_OpenEditorDecodingImages(benchmark::State& state) {
    OpenEditor(state, false);
}
void BM_OpenEditorFromCache(benchmark::State& state) {
    OpenEditor(state, true);
}
BENCHMARK(BM_OpenEditorDecodingImages)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_OpenEditorFromCache)->Unit(benchmark::kMillisecond)->Iterations(50);

// A whole 1328 x 430 frame (the equalizer at screen factor 2) sent to the
// window until the server has it: from the shared segment the frame was
// drawn into, and copied into a segment of the presenter's own.
void PresentFullFrame(benchmark::State& state, bool drawnIntoSegment) {
    testsupport::XvfbServer* server = Server(state);
    if (server == nullptr)
        return;
    auto parent = Parent(*server);
    constexpr int32_t kW = 1328;
    constexpr int32_t kH = 430;
    ui::x11::XcbConnection connection(server->Display());
    ui::x11::X11EmbedWindow window(connection);
    window.Create(parent->Window(), 0, 0, kW, kH);
    ui::x11::X11Presenter presenter(connection, window.Id(), window.Depth());
    const size_t bytes = static_cast<size_t>(kW) * kH * 4;
    auto segment = ui::x11::X11SharedSegment::Create(connection, bytes);
    std::vector<uint8_t> heap(bytes);
    if (!segment) {
        state.SkipWithError("no shared memory with the server");
        return;
    }
    uint8_t* pixels = drawnIntoSegment ? segment->Data() : heap.data();
    for (size_t i = 0; i < bytes; ++i)
        pixels[i] = static_cast<uint8_t>(i * 7);
    if (drawnIntoSegment)
        presenter.SetFrameSegment(segment.get());
    const ui::x11::PixelView view{pixels, kW, kH, kW * 4};
    const ui::x11::PixelRect whole{0, 0, kW, kH};
    xcb_connection_t* c = connection.Get();
    for (auto _ : state) {
        presenter.Present(view, std::span(&whole, 1));
        // Done when the server has run the request.
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        presenter.OnCompletion();
    }
    presenter.SetFrameSegment(nullptr);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}
void BM_PresentFullFrameFromSharedFrame(benchmark::State& state) {
    PresentFullFrame(state, true);
}
void BM_PresentFullFrameCopied(benchmark::State& state) {
    PresentFullFrame(state, false);
}
BENCHMARK(BM_PresentFullFrameFromSharedFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PresentFullFrameCopied)->Unit(benchmark::kMicrosecond);

double OwnCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double ProcessCpuSeconds(pid_t pid) {
    // utime and stime, fields 14 and 15 of /proc/<pid>/stat, in clock ticks.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t end = text.rfind(')');
    if (end == std::string::npos)
        return 0.0;
    unsigned long utime = 0, stime = 0;
    std::sscanf(text.c_str() + end + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu",
                &utime, &stime);
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// An open editor with nothing dirty for 10 s: CPU of this process (the
// editor and the host loop that serves it) and of the X server, as a
// percentage of one core.
void BM_IdleOpenEditor(benchmark::State& state) {
    testsupport::XvfbServer* server = Server(state);
    if (server == nullptr)
        return;
    auto parent = Parent(*server);
    Hosted editor;
    editor.view->attached(parent->ParentHandle(), kPlatformTypeX11EmbedWindowID);
    editor.RunUntilDrawn();
    editor.loop->RunFor(200);
    for (auto _ : state) {
        const uint32_t frames = editor.plugin->Window()->FramesDrawn();
        const double selfBefore = OwnCpuSeconds();
        const double serverBefore = ProcessCpuSeconds(server->Pid());
        const auto start = std::chrono::steady_clock::now();
        editor.loop->RunFor(10000);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["editor_cpu_percent"] = 100.0 * (OwnCpuSeconds() - selfBefore) / wall;
        state.counters["server_cpu_percent"] =
            100.0 * (ProcessCpuSeconds(server->Pid()) - serverBefore) / wall;
        state.counters["frames_drawn"] =
            static_cast<double>(editor.plugin->Window()->FramesDrawn() - frames);
        state.counters["timer_calls"] = static_cast<double>(editor.loop->TimerCalls());
    }
}
BENCHMARK(BM_IdleOpenEditor)->Unit(benchmark::kSecond)->Iterations(1);

// The same host loop with two timers that do nothing, at the periods of the
// editor's frame timer (15 ms) and the plug-in's idle timer (20 ms): what
// the host's waking alone costs, to be taken from the figure above.
class NothingTimer : public FObject, public Linux::ITimerHandler {
public:
    void PLUGIN_API onTimer() override {}
    OBJ_METHODS(NothingTimer, FObject)
    DEFINE_INTERFACES
    DEF_INTERFACE(Linux::ITimerHandler)
    END_DEFINE_INTERFACES(FObject)
    REFCOUNT_METHODS(FObject)
};

void BM_IdleHostLoopAlone(benchmark::State& state) {
    auto loop = owned(new vst3host::PollRunLoop);
    auto frameTimer = owned(new NothingTimer);
    auto idleTimer = owned(new NothingTimer);
    loop->registerTimer(frameTimer, 15);
    loop->registerTimer(idleTimer, 20);
    for (auto _ : state) {
        const double before = OwnCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        loop->RunFor(10000);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["host_cpu_percent"] = 100.0 * (OwnCpuSeconds() - before) / wall;
        state.counters["timer_calls"] = static_cast<double>(loop->TimerCalls());
    }
    loop->unregisterTimer(frameTimer);
    loop->unregisterTimer(idleTimer);
}
BENCHMARK(BM_IdleHostLoopAlone)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
