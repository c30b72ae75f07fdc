#pragma once

// The test plug-in's editor in a host made of the test host's pieces: a
// parent window on the private Xvfb, a plug frame with a poll-driven run
// loop (imitating the hosts plug-ins meet) and a recording component
// handler, everything driven through the VST 3 interfaces.

#include "X11Fixture.h"
#include "testplugin/EditorTestPlugin.h"

#include "host/ComponentHandler.h"
#include "host/HostContext.h"
#include "host/PlugFrame.h"
#include "host/PollRunLoop.h"
#include "ui/platform/X11Pointer.h"

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <xcb/xcb.h>

#include <memory>
#include <vector>

namespace x11test {

using namespace Steinberg;

template <typename Interface> IPtr<Interface> QueryAs(FUnknown* object) {
    Interface* result = nullptr;
    if (object == nullptr ||
        object->queryInterface(Interface::iid, reinterpret_cast<void**>(&result)) != kResultOk)
        return nullptr;
    return owned(result);
}

struct HostedEditor {
    HostedEditor(vst3host::PollRunLoop::Options loopOptions, editor_test::Options pluginOptions,
                 vst3host::PlugFrame::ResizePolicy policy,
                 editor_test::EditorTestPlugin* made = nullptr) {
        context =
            owned(new vst3host::HostContext(vst3host::HostContext::Options{"Test Host", false}));
        loop = owned(new vst3host::PollRunLoop(loopOptions));
        frame = owned(new vst3host::PlugFrame(loop, policy));
        handler = owned(new vst3host::RecordingComponentHandler);
        plugin = made != nullptr ? made : new editor_test::EditorTestPlugin(pluginOptions);
        controller = QueryAs<Vst::IEditController>(static_cast<Vst::IComponent*>(plugin));
        plugin->release();
        controller->initialize(context->Unknown());
        controller->setComponentHandler(handler);
        view = owned(controller->createView("editor"));
        view->setFrame(frame);
    }
    ~HostedEditor() {
        if (view) {
            view->removed();
            view->setFrame(nullptr);
            view = nullptr;
        }
        controller->setComponentHandler(nullptr);
        controller->terminate();
    }

    tresult Attach(void* parent) { return view->attached(parent, kPlatformTypeX11EmbedWindowID); }
    ui::IEditorWindow* Window() const { return plugin->Window(); }
    xcb_window_t WindowId() const {
        ui::IEditorWindow* window = Window();
        return window ? static_cast<xcb_window_t>(
                            reinterpret_cast<uintptr_t>(window->GetNativeWindow()))
                      : XCB_NONE;
    }
    // Runs the host until the editor has drawn a frame after `frames`
    // frames, then a little longer so that nothing is left pending.
    bool RunUntilDrawn(uint32_t frames = 0, uint32_t timeoutMs = 2000) {
        const bool drawn = loop->RunUntil(
            [&] { return Window() != nullptr && Window()->FramesDrawn() > frames; }, timeoutMs);
        loop->RunFor(40);
        return drawn;
    }

    IPtr<vst3host::HostContext> context;
    IPtr<vst3host::PollRunLoop> loop;
    IPtr<vst3host::PlugFrame> frame;
    IPtr<vst3host::RecordingComponentHandler> handler;
    editor_test::EditorTestPlugin* plugin = nullptr;
    IPtr<Vst::IEditController> controller;
    IPtr<IPlugView> view;
};

class EditorHostFixture : public X11Fixture {
protected:
    void TearDown() override {
        // No test leaves the desktop's resources changed for the next.
        if (host)
            xcb_delete_property(host->Connection(), host->Root(), XCB_ATOM_RESOURCE_MANAGER);
        if (host)
            host->Sync();
    }

    std::unique_ptr<HostedEditor>
    MakeEditor(vst3host::PollRunLoop::Options loopOptions = {},
               editor_test::Options pluginOptions = {},
               vst3host::PlugFrame::ResizePolicy policy =
                   vst3host::PlugFrame::ResizePolicy::AcceptAndResizeView) {
        return std::make_unique<HostedEditor>(loopOptions, pluginOptions, policy);
    }

    // Pixels of the editor's window that differ from the backend's frame
    // buffer (alpha is not shown); -1 when either cannot be read. The
    // editor's requests travel on its own connection: the server may still
    // be working through them, so a difference is looked at again for a
    // while before it counts.
    int DifferencesFromFrameBuffer(HostedEditor& editor) {
        int differing = -1;
        for (int attempt = 0; attempt < 25 && differing != 0; ++attempt) {
            if (attempt > 0)
                editor.loop->RunFor(10);
            differing = DifferencesNow(editor);
        }
        return differing;
    }

    int DifferencesNow(HostedEditor& editor) {
        ui::IEditorWindow* window = editor.Window();
        if (window == nullptr)
            return -1;
        const ui::FrameBufferView frame = window->FrameBuffer();
        if (frame.pixels == nullptr)
            return -1;
        const auto shown =
            host->ReadPixels(editor.WindowId(), 0, 0, static_cast<uint16_t>(frame.width),
                             static_cast<uint16_t>(frame.height));
        if (shown.size() != static_cast<size_t>(frame.width) * frame.height)
            return -1;
        int differing = 0;
        for (int32_t y = 0; y < frame.height; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(frame.pixels + y * frame.stride);
            for (int32_t x = 0; x < frame.width; ++x)
                differing += (shown[static_cast<size_t>(y) * frame.width + x] & 0xFFFFFF) !=
                             (row[x] & 0xFFFFFF);
        }
        return differing;
    }

    // Whether the editor shows the grey level at a window pixel (soon: see
    // DifferencesFromFrameBuffer).
    testing::AssertionResult ShowsGrey(HostedEditor& editor, int16_t x, int16_t y, int32_t level) {
        const uint32_t expected = static_cast<uint32_t>(level) * 0x010101u;
        uint32_t shown = 0xFFFFFFFFu;
        for (int attempt = 0; attempt < 25 && shown != expected; ++attempt) {
            if (attempt > 0)
                editor.loop->RunFor(10);
            const auto pixel = host->ReadPixels(editor.WindowId(), x, y, 1, 1);
            shown = pixel.empty() ? 0xFFFFFFFFu : pixel[0] & 0xFFFFFF;
        }
        if (shown == expected)
            return testing::AssertionSuccess();
        return testing::AssertionFailure()
               << "shows " << std::hex << shown << " instead of " << expected;
    }

    static uint32_t Grey(int32_t level) { return static_cast<uint32_t>(level) * 0x010101u; }

    std::vector<xcb_window_t> EditorWindowsIn(xcb_window_t parent) {
        return host->Children(parent);
    }
};

} // namespace x11test
