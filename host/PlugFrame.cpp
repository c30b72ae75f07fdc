#include "host/PlugFrame.h"

namespace vst3host {

using namespace Steinberg;

PlugFrame::PlugFrame(PollRunLoop* loop, ResizePolicy policy)
    : runLoop(loop), resizePolicy(policy) {}

PlugFrame::~PlugFrame() = default;

tresult PLUGIN_API PlugFrame::resizeView(IPlugView* view, ViewRect* newSize) {
    if (view == nullptr || newSize == nullptr)
        return kInvalidArgument;
    requests.push_back(*newSize);
    if (resizePolicy == ResizePolicy::Refuse)
        return kResultFalse;
    if (onAcceptedResize)
        onAcceptedResize(newSize->getWidth(), newSize->getHeight());
    if (resizePolicy == ResizePolicy::AcceptAndResizeView) {
        ViewRect rect = *newSize;
        view->onSize(&rect);
    }
    return kResultTrue;
}

tresult PLUGIN_API PlugFrame::queryInterface(const TUID iid, void** obj) {
    if (obj == nullptr)
        return kInvalidArgument;
    if (FUnknownPrivate::iidEqual(iid, IPlugFrame::iid) ||
        FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
        addRef();
        *obj = static_cast<IPlugFrame*>(this);
        return kResultOk;
    }
    if (runLoop && FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid)) {
        runLoop->addRef();
        *obj = static_cast<Linux::IRunLoop*>(runLoop.get());
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

uint32 PLUGIN_API PlugFrame::addRef() {
    return static_cast<uint32>(++refCount);
}

uint32 PLUGIN_API PlugFrame::release() {
    const int32 left = --refCount;
    if (left == 0)
        delete this;
    return static_cast<uint32>(left);
}

} // namespace vst3host
