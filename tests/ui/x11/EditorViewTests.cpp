// The VST 3 editor view without a display: names, platform types, sizes,
// keys, the host's scale and context menu, and the run-loop adapter's
// behaviour towards hosts.

#include "testplugin/EditorTestPlugin.h"

#include "../RecordingEditor.h"
#include "host/ComponentHandler.h"
#include "host/HostContext.h"
#include "host/PlugFrame.h"
#include "host/PollRunLoop.h"
#include "plugin/vst3/HostEditorRunLoop.h"
#include "plugin/vst3/KeyTranslation.h"

#include "pluginterfaces/vst/ivstcontextmenu.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

namespace {

using namespace Steinberg;
using editor_test::EditorTestPlugin;
using plugin::vst3::TranslateVst3Key;

template <typename Interface> IPtr<Interface> Query(FUnknown* object) {
    Interface* result = nullptr;
    if (object == nullptr ||
        object->queryInterface(Interface::iid, reinterpret_cast<void**>(&result)) != kResultOk)
        return nullptr;
    return owned(result);
}

// A plug-in driven through its controller interface, as a host does.
struct Instance {
    explicit Instance(editor_test::Options options = {}, std::string hostName = "Test Host",
                      bool offerRunLoop = false) {
        vst3host::HostContext::Options contextOptions;
        contextOptions.name = std::move(hostName);
        contextOptions.offerRunLoop = offerRunLoop;
        context = owned(new vst3host::HostContext(contextOptions));
        plugin = new EditorTestPlugin(options);
        controller = Query<Vst::IEditController>(static_cast<Vst::IComponent*>(plugin));
        controller->initialize(context->Unknown());
        plugin->release(); // the controller reference holds it
    }
    ~Instance() {
        view = nullptr;
        controller->terminate();
    }
    IPlugView* CreateView(const char* name = "editor") {
        view = owned(controller->createView(name));
        return view.get();
    }

    IPtr<vst3host::HostContext> context;
    EditorTestPlugin* plugin;
    IPtr<Vst::IEditController> controller;
    IPtr<IPlugView> view;
};

TEST(EditorView, OnlyTheEditorNameGivesAViewAndOnlyForX11Embedding) {
    Instance instance;
    EXPECT_EQ(instance.CreateView("Editor"), nullptr);
    EXPECT_EQ(instance.CreateView(nullptr), nullptr);
    IPlugView* view = instance.CreateView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(instance.plugin->CurrentView(), view);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultFalse);
    EXPECT_EQ(view->isPlatformTypeSupported(nullptr), kResultFalse);
    EXPECT_TRUE(Query<IPlugViewContentScaleSupport>(view));
    EXPECT_TRUE(Query<IPlugView>(view));
    // Another platform's parent is refused rather than left blank.
    int token = 0;
    EXPECT_EQ(view->attached(&token, kPlatformTypeHWND), kResultFalse);
    instance.view = nullptr;
    EXPECT_EQ(instance.plugin->CurrentView(), nullptr);

    editor_test::Options noEditor;
    noEditor.hasEditor = false;
    Instance without(noEditor);
    EXPECT_EQ(without.CreateView(), nullptr);
}

TEST(EditorView, SizesFollowTheLimitsAndPlugInResizesReachTheFrame) {
    Instance instance;
    IPlugView* view = instance.CreateView();
    ViewRect size;
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.getWidth(), 664);
    EXPECT_EQ(size.getHeight(), 215);
    EXPECT_EQ(view->canResize(), kResultFalse);
    ViewRect asked(0, 0, 800, 300);
    EXPECT_EQ(view->onSize(&asked), kResultFalse); // the host may not resize this one
    EXPECT_EQ(view->getSize(nullptr), kResultFalse);

    struct Case {
        int32 w, h, expectW, expectH;
    } cases[] = {{100, 50, 221, 71}, {3000, 1000, 1992, 645}, {800, 300, 800, 300}};
    for (const Case& c : cases) {
        ViewRect rect(10, 20, 10 + c.w, 20 + c.h);
        EXPECT_EQ(view->checkSizeConstraint(&rect), kResultOk);
        EXPECT_EQ(rect.left, 10);
        EXPECT_EQ(rect.top, 20);
        EXPECT_EQ(rect.getWidth(), c.expectW) << c.w;
        EXPECT_EQ(rect.getHeight(), c.expectH) << c.h;
    }
    EXPECT_EQ(view->checkSizeConstraint(nullptr), kInvalidArgument);

    // The editor resizes itself through the frame even though the host may
    // not; getSize reports the new size afterwards.
    auto frame = owned(new vst3host::PlugFrame(nullptr));
    view->setFrame(frame);
    EXPECT_TRUE(instance.plugin->ResizeEditorWindow(800, 300));
    EXPECT_TRUE(instance.plugin->ResizeEditorWindow(800, 300)); // no change: not asked again
    ASSERT_EQ(frame->ResizeRequests().size(), 1u);
    EXPECT_EQ(frame->ResizeRequests()[0].getWidth(), 800);
    EXPECT_EQ(frame->ResizeRequests()[0].getHeight(), 300);
    view->getSize(&size);
    EXPECT_EQ(size.getWidth(), 800);
    EXPECT_EQ(size.getHeight(), 300);
    view->setFrame(nullptr);
}

TEST(EditorView, AResizableEditorTakesTheHostsSizeAtAnyTime) {
    editor_test::Options options;
    options.hostResize = true;
    Instance instance(options);
    IPlugView* view = instance.CreateView();
    EXPECT_EQ(view->canResize(), kResultTrue);
    // REAPER sizes the view before attaching it.
    ViewRect rect(0, 0, 700, 250);
    EXPECT_EQ(view->onSize(&rect), kResultOk);
    EXPECT_EQ(view->onSize(nullptr), kResultFalse);
}

TEST(EditorView, WithoutARunLoopAttachingFailsAndRemovingIsHarmless) {
    Instance instance; // host context without a run loop
    IPlugView* view = instance.CreateView();
    EXPECT_EQ(view->removed(), kResultOk); // never attached
    auto frame = owned(new vst3host::PlugFrame(nullptr));
    view->setFrame(frame);
    int parent = 0;
    EXPECT_EQ(view->attached(&parent, kPlatformTypeX11EmbedWindowID), kResultFalse);
    EXPECT_EQ(instance.plugin->Graphics(), nullptr);
    EXPECT_EQ(view->removed(), kResultOk);
}

TEST(EditorView, TheHostsScaleIsKeptForTheNextOpening) {
    Instance instance;
    IPlugView* view = instance.CreateView();
    auto scale = Query<IPlugViewContentScaleSupport>(view);
    EXPECT_EQ(scale->setContentScaleFactor(2.0f), kResultOk);
    EXPECT_EQ(instance.plugin->HostScreenScale(), 2.0f);
    scale->setContentScaleFactor(0.0f); // nonsense is ignored
    EXPECT_EQ(instance.plugin->HostScreenScale(), 2.0f);
}

TEST(EditorKeys, Vst3KeysBecomeVirtualKeysAndText) {
    const auto a = TranslateVst3Key(0, 145, 0); // ASCII key code: 145 - 80 = 'A'
    EXPECT_STREQ(a.utf8, "A");
    EXPECT_EQ(a.virtualKey, 65);
    const auto space = TranslateVst3Key(0, 7, plugin::vst3::kVst3ShiftKey);
    EXPECT_STREQ(space.utf8, " ");
    EXPECT_EQ(space.virtualKey, 32);
    EXPECT_TRUE(space.shift);
    EXPECT_FALSE(space.control);
    const auto controlAlt =
        TranslateVst3Key(u'x', 0, plugin::vst3::kVst3CommandKey | plugin::vst3::kVst3AlternateKey);
    EXPECT_TRUE(controlAlt.control);
    EXPECT_TRUE(controlAlt.alt);
    EXPECT_EQ(controlAlt.virtualKey, 'X');
    EXPECT_EQ(TranslateVst3Key(u'A', 0, 0).virtualKey, 0x141); // the key scan keeps Shift
    EXPECT_EQ(TranslateVst3Key(u'=', 57, 0).virtualKey, 0xBB);
    EXPECT_EQ(TranslateVst3Key(u'\u00e9', 0, 0).virtualKey, -1);
    EXPECT_STREQ(TranslateVst3Key(u'\u00e9', 0, 0).utf8, "\xc3\xa9");
    EXPECT_STREQ(TranslateVst3Key(0, 4, 0).utf8, ""); // return has no text

    const struct {
        int16 code;
        int32_t key;
    } table[] = {{1, 8},    {4, 13},   {6, 27},   {8, 34},   {10, 36},  {11, 37},  {14, 40},
                 {15, 33},  {16, 34},  {19, 13},  {20, 44},  {22, 46},  {24, 96},  {33, 105},
                 {34, 106}, {39, 111}, {40, 112}, {51, 123}, {52, 144}, {53, 145}, {54, 16},
                 {55, 17},  {56, 18},  {58, 0},   {127, 0}};
    for (const auto& entry : table)
        EXPECT_EQ(plugin::vst3::VirtualKeyForVst3Code(entry.code, ""), entry.key) << entry.code;
}

// Records the keys that reach the editor delegate.
class KeyRecordingPlugin : public EditorTestPlugin {
public:
    bool OnKeyDown(const ui::IKeyEvent& key) override {
        keys.push_back(key);
        return true;
    }
    std::vector<ui::IKeyEvent> keys;
};

TEST(EditorKeys, ReaperKeepsEveryKeyButTheSpaceBar) {
    for (const char* host : {"REAPER", "Bitwig Studio"}) {
        auto context =
            owned(new vst3host::HostContext(vst3host::HostContext::Options{host, false}));
        auto* plugin = new KeyRecordingPlugin;
        auto controller = Query<Vst::IEditController>(static_cast<Vst::IComponent*>(plugin));
        plugin->release();
        controller->initialize(context->Unknown());
        auto view = owned(controller->createView("editor"));
        const bool reaper = std::string(host) == "REAPER";
        EXPECT_EQ(view->onKeyDown(u'a', 0, 0), reaper ? kResultFalse : kResultTrue) << host;
        EXPECT_EQ(view->onKeyDown(0, 7, plugin::vst3::kVst3ShiftKey), kResultTrue) << host;
        ASSERT_EQ(plugin->keys.size(), reaper ? 1u : 2u) << host;
        EXPECT_EQ(plugin->keys.back().virtualKey, 32);
        EXPECT_STREQ(plugin->keys.back().utf8, " ");
        EXPECT_TRUE(plugin->keys.back().shift);
        view = nullptr;
        controller->terminate();
    }
}

// A component handler that also offers the host's parameter menus.
class MenuHandler : public vst3host::RecordingComponentHandler, public Vst::IComponentHandler3 {
public:
    Vst::IContextMenu* PLUGIN_API createContextMenu(IPlugView* view,
                                                    const Vst::ParamID* id) override {
        askedView = view;
        askedId = id != nullptr ? static_cast<int64_t>(*id) : -1;
        menu.addRef();
        return &menu;
    }
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (FUnknownPrivate::iidEqual(iid, Vst::IComponentHandler3::iid)) {
            addRef();
            *obj = static_cast<Vst::IComponentHandler3*>(this);
            return kResultOk;
        }
        return RecordingComponentHandler::queryInterface(iid, obj);
    }
    uint32 PLUGIN_API addRef() override { return RecordingComponentHandler::addRef(); }
    uint32 PLUGIN_API release() override { return RecordingComponentHandler::release(); }

    uitest::FakeHostMenu menu;
    IPlugView* askedView = nullptr;
    int64_t askedId = -1;
};

TEST(EditorView, TheHostsParameterMenuComesFromComponentHandler3) {
    Instance instance;
    EXPECT_EQ(instance.plugin->CreateHostContextMenu(0), nullptr); // no handler yet
    auto handler = owned(new MenuHandler);
    instance.controller->setComponentHandler(static_cast<Vst::IComponentHandler*>(handler.get()));
    IPlugView* view = instance.CreateView();
    Vst::IContextMenu* menu = instance.plugin->CreateHostContextMenu(editor_test::kSwitch);
    EXPECT_EQ(menu, &handler->menu);
    EXPECT_EQ(handler->askedView, view);
    EXPECT_EQ(handler->askedId, editor_test::kSwitch);
    menu->release();
    EXPECT_EQ(instance.plugin->CreateHostContextMenu(99), nullptr); // no such parameter
    instance.controller->setComponentHandler(nullptr);
}

// ---- The run-loop adapter ----

TEST(HostEditorRunLoop, StopsInsideCallbacksReachTheHostOnlyAfterwards) {
    auto loop = owned(new vst3host::PollRunLoop);
    plugin::vst3::HostEditorRunLoop adapter(loop);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int timerTicks = 0;
    int readableCalls = 0;
    ASSERT_TRUE(adapter.StartTimer(5, [&] {
        ++timerTicks;
        adapter.StopTimer(); // from inside its own callback
        adapter.StopWatchingDescriptor();
    }));
    ASSERT_TRUE(adapter.WatchDescriptor(fds[0], [&] { ++readableCalls; }));
    EXPECT_EQ(loop->TimerCount(), 1u);
    loop->RunUntil([&] { return timerTicks > 0; }, 1000);
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    loop->RunFor(30);
    EXPECT_EQ(timerTicks, 1);
    EXPECT_EQ(readableCalls, 0); // detached at once
    EXPECT_EQ(loop->CallsFromInsideHandlers(), 0u);
    EXPECT_EQ(adapter.DeferredCount(), 2u);
    // The next call from outside any callback tells the host.
    adapter.StopTimer();
    EXPECT_EQ(adapter.DeferredCount(), 0u);
    EXPECT_EQ(loop->TimerCount(), 0u);
    EXPECT_EQ(loop->EventHandlerCount(), 0u);
    close(fds[0]);
    close(fds[1]);
}

TEST(HostEditorRunLoop, AnAdapterDestroyedInsideACallbackLeavesNothingRegistered) {
    vst3host::PollRunLoop::Options ardour;
    ardour.refuseSecondHandlerPerDescriptor = true;
    auto loop = owned(new vst3host::PollRunLoop(ardour));
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    auto adapter = std::make_unique<plugin::vst3::HostEditorRunLoop>(loop);
    bool ticked = false;
    adapter->WatchDescriptor(fds[0], [] {});
    adapter->StartTimer(5, [&] {
        ticked = true;
        adapter.reset(); // the view goes while its timer runs
    });
    loop->RunUntil([&] { return ticked; }, 1000);
    EXPECT_EQ(loop->CallsFromInsideHandlers(), 0u);
    // A host that refuses a second handler for a descriptor: refused while
    // the first is still registered, and the timer still serves.
    plugin::vst3::HostEditorRunLoop next(loop);
    EXPECT_EQ(loop->EventHandlerCount(), 0u); // the orphans went first
    EXPECT_TRUE(next.WatchDescriptor(fds[0], [] {}));
    plugin::vst3::HostEditorRunLoop third(loop);
    EXPECT_FALSE(third.WatchDescriptor(fds[0], [] {}));
    EXPECT_TRUE(third.StartTimer(20, [] {}));
    close(fds[0]);
    close(fds[1]);
}

} // namespace
