#include "host/FakeRunLoop.h"

#include "pluginterfaces/base/smartpointer.h"

#include <algorithm>

namespace vst3host {

using namespace Steinberg;
using namespace Steinberg::Linux;

FakeRunLoop::~FakeRunLoop() {
    for (const Timer& timer : timers)
        timer.handler->release();
    for (const EventHandler& entry : eventHandlers)
        entry.handler->release();
}

FakeRunLoop::Timer* FakeRunLoop::FindTimer(ITimerHandler* handler) {
    auto found = std::find_if(timers.begin(), timers.end(),
                              [handler](const Timer& timer) { return timer.handler == handler; });
    return found == timers.end() ? nullptr : &*found;
}

tresult FakeRunLoop::RegisterTimer(ITimerHandler* handler, TimerInterval intervalMs) {
    if (!handler || intervalMs == 0)
        return kInvalidArgument;
    if (FindTimer(handler))
        return kResultFalse;
    handler->addRef();
    timers.push_back(Timer{handler, intervalMs, nowMs + intervalMs});
    return kResultOk;
}

tresult FakeRunLoop::UnregisterTimer(ITimerHandler* handler) {
    auto found = std::find_if(timers.begin(), timers.end(),
                              [handler](const Timer& timer) { return timer.handler == handler; });
    if (found == timers.end())
        return kResultFalse;
    ITimerHandler* removed = found->handler;
    timers.erase(found);
    removed->release();
    return kResultOk;
}

tresult FakeRunLoop::RegisterEventHandler(IEventHandler* handler, FileDescriptor fd) {
    if (!handler)
        return kInvalidArgument;
    handler->addRef();
    eventHandlers.push_back(EventHandler{handler, fd});
    return kResultOk;
}

tresult FakeRunLoop::UnregisterEventHandler(IEventHandler* handler) {
    auto found =
        std::find_if(eventHandlers.begin(), eventHandlers.end(),
                     [handler](const EventHandler& entry) { return entry.handler == handler; });
    if (found == eventHandlers.end())
        return kResultFalse;
    IEventHandler* removed = found->handler;
    eventHandlers.erase(found);
    removed->release();
    return kResultOk;
}

TimerInterval FakeRunLoop::TimerIntervalMs(std::size_t index) const {
    return index < timers.size() ? timers[index].intervalMs : 0;
}

void FakeRunLoop::Fire(ITimerHandler* handler) {
    // The handler may unregister itself (dropping our reference) while it
    // runs, so it is kept alive for the call.
    IPtr<ITimerHandler> keep(handler);
    handler->onTimer();
}

std::size_t FakeRunLoop::AdvanceMs(std::uint64_t elapsedMs) {
    const std::uint64_t endMs = nowMs + elapsedMs;
    std::size_t calls = 0;
    for (;;) {
        // The earliest due timer within the advance; registration order
        // breaks ties so that the firing order is reproducible.
        Timer* next = nullptr;
        for (Timer& timer : timers)
            if (timer.dueMs <= endMs && (!next || timer.dueMs < next->dueMs))
                next = &timer;
        if (!next)
            break;
        nowMs = next->dueMs;
        next->dueMs += next->intervalMs;
        Fire(next->handler);
        ++calls;
    }
    nowMs = endMs;
    return calls;
}

std::size_t FakeRunLoop::FireAllOnce() {
    std::vector<ITimerHandler*> snapshot;
    for (const Timer& timer : timers)
        snapshot.push_back(timer.handler);
    std::size_t calls = 0;
    for (ITimerHandler* handler : snapshot) {
        // Skip handlers that an earlier callback unregistered.
        if (FindTimer(handler)) {
            Fire(handler);
            ++calls;
        }
    }
    return calls;
}

std::size_t FakeRunLoop::SignalFileDescriptor(FileDescriptor fd) {
    std::vector<IEventHandler*> snapshot;
    for (const EventHandler& entry : eventHandlers)
        if (entry.fd == fd)
            snapshot.push_back(entry.handler);
    std::size_t calls = 0;
    for (IEventHandler* handler : snapshot) {
        const bool stillRegistered =
            std::any_of(eventHandlers.begin(), eventHandlers.end(),
                        [handler](const EventHandler& entry) { return entry.handler == handler; });
        if (!stillRegistered)
            continue;
        IPtr<IEventHandler> keep(handler);
        handler->onFDIsSet(fd);
        ++calls;
    }
    return calls;
}

} // namespace vst3host
