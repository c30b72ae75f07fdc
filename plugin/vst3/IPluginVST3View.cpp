#include "plugin/vst3/IPluginVST3View.h"

#include "plugin/HostKind.h"
#include "plugin/vst3/IPluginVST3.h"
#include "plugin/vst3/KeyTranslation.h"
#include "plugin/vst3/RunLoopTimer.h"
#include "ui/VirtualKeys.h"

#include <cstring>

namespace plugin::vst3 {

using namespace Steinberg;

namespace {

bool IsX11Embed(FIDString type) {
    return type != nullptr && std::strcmp(type, kPlatformTypeX11EmbedWindowID) == 0;
}

} // namespace

IPluginVST3View::IPluginVST3View(IPluginVST3& plugin) : owner(&plugin) {}

IPluginVST3View::~IPluginVST3View() {
    // A host that releases the view without removing it first.
    if (open)
        Close();
    owner->ViewGone(this);
}

tresult PLUGIN_API IPluginVST3View::isPlatformTypeSupported(FIDString type) {
    return owner->HasUI() && IsX11Embed(type) ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API IPluginVST3View::attached(void* parent, FIDString type) {
    if (!owner->HasUI() || !IsX11Embed(type) || parent == nullptr)
        return kResultFalse;
    // Attached again without removed: the editor moves to the new parent.
    if (!runLoop) {
        IPtr<Linux::IRunLoop> hostLoop = RunLoopTimer::FindRunLoop(plugFrame);
        if (!hostLoop)
            hostLoop = owner->HostRunLoop();
        if (!hostLoop)
            return kResultFalse; // nothing would ever paint the window
        runLoop = std::make_unique<HostEditorRunLoop>(hostLoop);
        owner->SetEditorRunLoop(runLoop.get());
        owner->OfferEditorRunLoop(hostLoop);
    }
    if (owner->OpenWindow(parent) == nullptr) {
        Close();
        return kResultFalse;
    }
    open = true;
    return CPluginView::attached(parent, type);
}

void IPluginVST3View::Close() {
    owner->CloseWindow();
    owner->WithdrawEditorRunLoop();
    owner->SetEditorRunLoop(nullptr);
    runLoop.reset();
    open = false;
}

tresult PLUGIN_API IPluginVST3View::removed() {
    if (owner->HasUI())
        Close();
    return CPluginView::removed();
}

tresult PLUGIN_API IPluginVST3View::onWheel(float) {
    return kResultFalse;
}

tresult PLUGIN_API IPluginVST3View::onFocus(TBool) {
    return kResultFalse;
}

tresult IPluginVST3View::Key(bool down, char16 key, int16 keyCode, int16 modifiers) {
    ui::IKeyEvent event;
    if (owner->IdentifiedHostKind() == HostKind::Reaper) {
        // REAPER hands every key to the plug-in first; all but the space
        // bar go straight back, so that its shortcuts work.
        if (keyCode != kVst3KeySpace)
            return kResultFalse;
        event.virtualKey = ui::kVKSpace;
        event.utf8[0] = ' ';
        const ui::IKeyEvent translated = TranslateVst3Key(key, keyCode, modifiers);
        event.shift = translated.shift;
        event.control = translated.control;
        event.alt = translated.alt;
    } else {
        event = TranslateVst3Key(key, keyCode, modifiers);
    }
    const bool handled = down ? owner->OnKeyDown(event) : owner->OnKeyUp(event);
    return handled ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API IPluginVST3View::onKeyDown(char16 key, int16 keyCode, int16 modifiers) {
    return Key(true, key, keyCode, modifiers);
}

tresult PLUGIN_API IPluginVST3View::onKeyUp(char16 key, int16 keyCode, int16 modifiers) {
    return Key(false, key, keyCode, modifiers);
}

tresult PLUGIN_API IPluginVST3View::getSize(ViewRect* size) {
    if (!owner->HasUI() || size == nullptr)
        return kResultFalse;
    *size = ViewRect(0, 0, owner->EditorWidth(), owner->EditorHeight());
    return kResultOk;
}

tresult PLUGIN_API IPluginVST3View::onSize(ViewRect* newSize) {
    if (newSize == nullptr || !owner->HasUI() || !owner->HostMayResize())
        return kResultFalse;
    setRect(*newSize);
    if (resizing && newSize->getWidth() == requested.getWidth() &&
        newSize->getHeight() == requested.getHeight())
        return kResultOk; // our own request coming back: the editor has that size
    owner->OnViewResizedByHost(newSize->getWidth(), newSize->getHeight());
    return kResultOk;
}

tresult PLUGIN_API IPluginVST3View::canResize() {
    return owner->HasUI() && owner->HostMayResize() ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API IPluginVST3View::checkSizeConstraint(ViewRect* rect) {
    if (rect == nullptr)
        return kInvalidArgument;
    int32_t width = rect->getWidth();
    int32_t height = rect->getHeight();
    if (!owner->ClampEditorSize(width, height)) {
        rect->right = rect->left + width;
        rect->bottom = rect->top + height;
    }
    return kResultOk;
}

tresult PLUGIN_API IPluginVST3View::setContentScaleFactor(ScaleFactor factor) {
    owner->SetScreenScale(factor);
    return kResultOk;
}

bool IPluginVST3View::RequestResize(int32_t width, int32_t height) {
    if (plugFrame == nullptr || resizing)
        return false;
    ViewRect rect(0, 0, width, height);
    requested = rect;
    resizing = true;
    const tresult result = plugFrame->resizeView(this, &rect);
    resizing = false;
    return result == kResultTrue || result == kResultOk;
}

} // namespace plugin::vst3
