#include "plugin/vst3/HostEditorRunLoop.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace plugin::vst3 {

using namespace Steinberg;

namespace {

// Depth of handler calls on this (the UI) thread.
thread_local int callbackDepth = 0;

struct CallbackScope {
    CallbackScope() { ++callbackDepth; }
    ~CallbackScope() { --callbackDepth; }
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;
};

} // namespace

// One registration with the host: a descriptor handler or a timer. The
// callback is shared so that a stop from inside it cannot destroy the
// function while it runs.
class HostEditorRunLoop::Handler : public FObject,
                                   public Linux::IEventHandler,
                                   public Linux::ITimerHandler {
public:
    Handler(bool isTimer, Callback callback)
        : isTimer(isTimer), callback(std::make_shared<Callback>(std::move(callback))) {}

    void Detach() noexcept { callback.reset(); }
    bool IsTimer() const noexcept { return isTimer; }

    void PLUGIN_API onFDIsSet(Linux::FileDescriptor) override { Run(); }
    void PLUGIN_API onTimer() override { Run(); }

    OBJ_METHODS(HostEditorRunLoop::Handler, FObject)
    DEFINE_INTERFACES
    DEF_INTERFACE(Linux::IEventHandler)
    DEF_INTERFACE(Linux::ITimerHandler)
    END_DEFINE_INTERFACES(FObject)
    REFCOUNT_METHODS(FObject)

private:
    void Run() {
        const std::shared_ptr<Callback> keep = callback;
        if (!keep || !*keep)
            return;
        CallbackScope scope;
        (*keep)();
    }

    bool isTimer;
    std::shared_ptr<Callback> callback;
};

thread_local std::vector<HostEditorRunLoop::Deferred> HostEditorRunLoop::orphans;

HostEditorRunLoop::HostEditorRunLoop(Linux::IRunLoop* loop) : hostLoop(loop) {
    FlushDeferred();
}

HostEditorRunLoop::~HostEditorRunLoop() {
    StopWatchingDescriptor();
    StopTimer();
    if (InsideCallback()) {
        orphans.insert(orphans.end(), deferred.begin(), deferred.end());
        deferred.clear();
        return;
    }
    FlushDeferred();
}

bool HostEditorRunLoop::InsideCallback() noexcept {
    return callbackDepth > 0;
}

bool HostEditorRunLoop::WatchDescriptor(int fd, Callback onReadable) {
    StopWatchingDescriptor();
    if (fd < 0 || !hostLoop)
        return false;
    auto handler = owned(new Handler(false, std::move(onReadable)));
    if (hostLoop->registerEventHandler(handler, fd) != kResultOk) {
        handler->Detach();
        return false;
    }
    descriptorHandler = handler;
    return true;
}

void HostEditorRunLoop::StopWatchingDescriptor() {
    Release(descriptorHandler);
}

bool HostEditorRunLoop::StartTimer(int32_t periodMs, Callback onTick) {
    StopTimer();
    if (!hostLoop)
        return false;
    auto handler = owned(new Handler(true, std::move(onTick)));
    const auto interval = static_cast<Linux::TimerInterval>(std::max<int32_t>(periodMs, 1));
    if (hostLoop->registerTimer(handler, interval) != kResultOk) {
        handler->Detach();
        return false;
    }
    timerHandler = handler;
    return true;
}

void HostEditorRunLoop::StopTimer() {
    Release(timerHandler);
}

void HostEditorRunLoop::Release(IPtr<Handler>& handler) {
    if (!handler) {
        FlushDeferred();
        return;
    }
    handler->Detach();
    deferred.push_back(Deferred{hostLoop, handler});
    handler = nullptr;
    FlushDeferred();
}

void HostEditorRunLoop::Unregister(const Deferred& entry) {
    if (entry.handler->IsTimer())
        entry.loop->unregisterTimer(entry.handler);
    else
        entry.loop->unregisterEventHandler(entry.handler);
}

void HostEditorRunLoop::FlushDeferred() {
    if (InsideCallback())
        return;
    // Moved out first: a host may call back into a handler while it is
    // being unregistered.
    std::vector<Deferred> pending = std::move(deferred);
    deferred.clear();
    for (const Deferred& entry : pending)
        Unregister(entry);
    std::vector<Deferred> leftovers = std::move(orphans);
    orphans.clear();
    for (const Deferred& entry : leftovers)
        Unregister(entry);
}

} // namespace plugin::vst3
