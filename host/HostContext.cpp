#include "host/HostContext.h"

#include "plugin/vst3/FactoryStrings.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

#include <cstring>

namespace vst3host {

using namespace Steinberg;

HostContext::HostContext() : HostContext(Options{}) {}

HostContext::HostContext(Options options)
    : options(std::move(options)){FUNKNOWN_CTOR}

      HostContext::~HostContext(){FUNKNOWN_DTOR}

      IMPLEMENT_REFCOUNT(HostContext)

          tresult PLUGIN_API HostContext::queryInterface(const TUID iid, void** obj) {
    if (!obj)
        return kInvalidArgument;
    QUERY_INTERFACE(iid, obj, FUnknown::iid, Vst::IHostApplication)
    QUERY_INTERFACE(iid, obj, Vst::IHostApplication::iid, Vst::IHostApplication)
    if (options.offerRunLoop) {
        QUERY_INTERFACE(iid, obj, Linux::IRunLoop::iid, Linux::IRunLoop)
    }
    *obj = nullptr;
    return kNoInterface;
}

tresult PLUGIN_API HostContext::getName(Vst::String128 name) {
    if (!name)
        return kInvalidArgument;
    plugin::vst3::CopyUtf16Field(name, 128, options.name.c_str());
    return kResultOk;
}

tresult PLUGIN_API HostContext::createInstance(TUID cid, TUID iid, void** obj) {
    if (!obj)
        return kInvalidArgument;
    *obj = nullptr;
    const FUID classId = FUID::fromTUID(cid);
    const FUID interfaceId = FUID::fromTUID(iid);
    if (classId == Vst::IMessage::iid && interfaceId == Vst::IMessage::iid) {
        *obj = new Vst::HostMessage;
        return kResultOk;
    }
    if (classId == Vst::IAttributeList::iid && interfaceId == Vst::IAttributeList::iid) {
        *obj = new Vst::HostAttributeList;
        return kResultOk;
    }
    return kResultFalse;
}

tresult PLUGIN_API HostContext::registerEventHandler(Linux::IEventHandler* handler,
                                                     Linux::FileDescriptor fd) {
    return runLoop.RegisterEventHandler(handler, fd);
}

tresult PLUGIN_API HostContext::unregisterEventHandler(Linux::IEventHandler* handler) {
    return runLoop.UnregisterEventHandler(handler);
}

tresult PLUGIN_API HostContext::registerTimer(Linux::ITimerHandler* handler,
                                              Linux::TimerInterval milliseconds) {
    return runLoop.RegisterTimer(handler, milliseconds);
}

tresult PLUGIN_API HostContext::unregisterTimer(Linux::ITimerHandler* handler) {
    return runLoop.UnregisterTimer(handler);
}

} // namespace vst3host
