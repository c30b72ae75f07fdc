#include "host/PollRunLoop.h"

#include <poll.h>

#include <algorithm>

namespace vst3host {

using namespace Steinberg;
using namespace Steinberg::Linux;

PollRunLoop::PollRunLoop() : PollRunLoop(Options{}) {}

PollRunLoop::PollRunLoop(Options runLoopOptions)
    : options(runLoopOptions){FUNKNOWN_CTOR}

      PollRunLoop::~PollRunLoop(){FUNKNOWN_DTOR}

      IMPLEMENT_FUNKNOWN_METHODS(PollRunLoop, IRunLoop, IRunLoop::iid)

          void PollRunLoop::NoteCallFromInside() noexcept {
    if (handlerDepth > 0)
        ++callsFromInside;
}

tresult PLUGIN_API PollRunLoop::registerEventHandler(IEventHandler* handler, FileDescriptor fd) {
    NoteCallFromInside();
    if (handler == nullptr || fd < 0)
        return kInvalidArgument;
    const bool taken = std::any_of(eventHandlers.begin(), eventHandlers.end(),
                                   [fd](const EventHandler& entry) { return entry.fd == fd; });
    if (taken && options.refuseSecondHandlerPerDescriptor)
        return kResultFalse;
    eventHandlers.push_back(EventHandler{IPtr<IEventHandler>(handler), fd});
    return kResultOk;
}

tresult PLUGIN_API PollRunLoop::unregisterEventHandler(IEventHandler* handler) {
    NoteCallFromInside();
    auto found = std::find_if(
        eventHandlers.begin(), eventHandlers.end(),
        [handler](const EventHandler& entry) { return entry.handler.get() == handler; });
    if (found == eventHandlers.end())
        return kResultFalse;
    eventHandlers.erase(found);
    return kResultOk;
}

tresult PLUGIN_API PollRunLoop::registerTimer(ITimerHandler* handler, TimerInterval milliseconds) {
    NoteCallFromInside();
    if (handler == nullptr || milliseconds == 0)
        return kInvalidArgument;
    const auto interval =
        std::chrono::milliseconds(std::max<uint64_t>(milliseconds, options.shortestTimerMs));
    timers.push_back(Timer{IPtr<ITimerHandler>(handler), interval, Clock::now() + interval});
    return kResultOk;
}

tresult PLUGIN_API PollRunLoop::unregisterTimer(ITimerHandler* handler) {
    NoteCallFromInside();
    auto found = std::find_if(timers.begin(), timers.end(), [handler](const Timer& timer) {
        return timer.handler.get() == handler;
    });
    if (found == timers.end())
        return kResultFalse;
    timers.erase(found);
    return kResultOk;
}

void PollRunLoop::Pass(Clock::time_point limit) {
    Clock::time_point wakeAt = limit;
    for (const Timer& timer : timers)
        wakeAt = std::min(wakeAt, timer.due);

    // Snapshots: handlers may come and go while others run.
    const std::vector<EventHandler> watched = eventHandlers;
    std::vector<pollfd> fds;
    for (const EventHandler& entry : watched)
        fds.push_back(pollfd{entry.fd, POLLIN, 0});
    const auto now = Clock::now();
    // Rounded up: a wait cut short would spin until the timer is due.
    int waitMs =
        wakeAt > now
            ? static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wakeAt - now).count())
            : 0;
    if (options.signalContinuously)
        waitMs = std::min(waitMs, 1);
    if (!options.signalDescriptors || fds.empty()) {
        if (waitMs > 0)
            poll(nullptr, 0, waitMs);
    } else {
        poll(fds.data(), fds.size(), waitMs);
    }

    if (options.signalDescriptors) {
        for (size_t i = 0; i < watched.size(); ++i) {
            const bool readable = (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
            if (!readable && !options.signalContinuously)
                continue;
            ++handlerDepth;
            ++descriptorCalls;
            watched[i].handler->onFDIsSet(watched[i].fd);
            --handlerDepth;
        }
    }

    const std::vector<Timer> snapshot = timers;
    const auto afterPoll = Clock::now();
    for (const Timer& timer : snapshot) {
        if (timer.due > afterPoll)
            continue;
        auto live = std::find_if(timers.begin(), timers.end(), [&timer](const Timer& entry) {
            return entry.handler == timer.handler;
        });
        if (live == timers.end())
            continue; // an earlier handler removed it
        live->due = afterPoll + live->interval;
        ++handlerDepth;
        ++timerCalls;
        timer.handler->onTimer();
        --handlerDepth;
    }
}

void PollRunLoop::RunFor(uint32_t durationMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(durationMs);
    while (Clock::now() < end)
        Pass(end);
}

bool PollRunLoop::RunUntil(const std::function<bool()>& done, uint32_t timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (Clock::now() >= end)
            return done();
        Pass(std::min(end, Clock::now() + std::chrono::milliseconds(5)));
    }
    return true;
}

} // namespace vst3host
