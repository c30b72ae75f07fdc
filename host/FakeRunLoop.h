#pragma once

#include "pluginterfaces/gui/iplugview.h"

#include <cstdint>
#include <vector>

namespace vst3host {

// The Linux run loop as a test sees it: plug-ins register timers and file
// descriptor handlers, and nothing fires until the test says so. Time is
// fake and advances only through AdvanceMs. Single-threaded, like the UI
// thread it stands in for. Registered handlers are held with a reference.
class FakeRunLoop {
public:
    FakeRunLoop() = default;
    ~FakeRunLoop();
    FakeRunLoop(const FakeRunLoop&) = delete;
    FakeRunLoop& operator=(const FakeRunLoop&) = delete;

    // kInvalidArgument for a null handler or a zero interval; kResultFalse
    // when the handler is already registered.
    Steinberg::tresult RegisterTimer(Steinberg::Linux::ITimerHandler* handler,
                                     Steinberg::Linux::TimerInterval intervalMs);
    // kResultFalse when the handler is not registered.
    Steinberg::tresult UnregisterTimer(Steinberg::Linux::ITimerHandler* handler);
    Steinberg::tresult RegisterEventHandler(Steinberg::Linux::IEventHandler* handler,
                                            Steinberg::Linux::FileDescriptor fd);
    Steinberg::tresult UnregisterEventHandler(Steinberg::Linux::IEventHandler* handler);

    std::size_t TimerCount() const noexcept { return timers.size(); }
    // Interval of the timer registered index-th among those still registered.
    Steinberg::Linux::TimerInterval TimerIntervalMs(std::size_t index) const;
    std::size_t EventHandlerCount() const noexcept { return eventHandlers.size(); }

    // Moves fake time on by elapsedMs and fires, in time order, every timer
    // period that ends within it (a 20 ms timer fires five times in 100 ms).
    // A timer registered during the advance starts counting from the moment
    // of its registration. Returns the number of onTimer calls.
    std::size_t AdvanceMs(std::uint64_t elapsedMs);

    // Fires every registered timer once, in registration order, without
    // moving time. Returns the number of onTimer calls.
    std::size_t FireAllOnce();

    // Calls onFDIsSet of every handler registered for fd.
    std::size_t SignalFileDescriptor(Steinberg::Linux::FileDescriptor fd);

    std::uint64_t NowMs() const noexcept { return nowMs; }

private:
    struct Timer {
        Steinberg::Linux::ITimerHandler* handler;
        Steinberg::Linux::TimerInterval intervalMs;
        std::uint64_t dueMs;
    };
    struct EventHandler {
        Steinberg::Linux::IEventHandler* handler;
        Steinberg::Linux::FileDescriptor fd;
    };

    Timer* FindTimer(Steinberg::Linux::ITimerHandler* handler);
    void Fire(Steinberg::Linux::ITimerHandler* handler);

    std::vector<Timer> timers;
    std::vector<EventHandler> eventHandlers;
    std::uint64_t nowMs = 0;
};

} // namespace vst3host
