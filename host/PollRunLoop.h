#pragma once

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace vst3host {

// A Linux run loop on real descriptors and real time, driven by the test's
// own thread (which plays the host's UI thread): RunFor and RunUntil poll
// the registered descriptors and fire due timers. Options imitate the
// hosts plug-ins meet. Registered handlers are held with a reference.
//
// Reference counted; create with new and hold through IPtr.
class PollRunLoop : public Steinberg::Linux::IRunLoop {
public:
    struct Options {
        // false: descriptor handlers are never called (a host reported to
        // leave them silent; the plug-in's timer must do).
        bool signalDescriptors = true;
        // true: handlers are called on every pass whether or not their
        // descriptor is readable (Steinberg's editorhost, nearly so).
        bool signalContinuously = false;
        // true: a second registration for a descriptor that already has a
        // handler is refused (as Ardour does).
        bool refuseSecondHandlerPerDescriptor = false;
        // Timers never fire more often than this (REAPER caps them near
        // 40 per second); 0 for no cap.
        uint32_t shortestTimerMs = 0;
    };

    PollRunLoop();
    explicit PollRunLoop(Options options);
    PollRunLoop(const PollRunLoop&) = delete;
    PollRunLoop& operator=(const PollRunLoop&) = delete;

    // Runs for durationMs of real time.
    void RunFor(uint32_t durationMs);
    // Runs until done() is true (checked after every pass) or timeoutMs
    // passed; returns done().
    bool RunUntil(const std::function<bool()>& done, uint32_t timeoutMs);

    std::size_t EventHandlerCount() const noexcept { return eventHandlers.size(); }
    std::size_t TimerCount() const noexcept { return timers.size(); }
    // Calls made so far.
    std::size_t DescriptorCalls() const noexcept { return descriptorCalls; }
    std::size_t TimerCalls() const noexcept { return timerCalls; }
    // Registrations or unregistrations made from inside a handler: a host
    // iterating its lists would break on them.
    std::size_t CallsFromInsideHandlers() const noexcept { return callsFromInside; }

    Steinberg::tresult PLUGIN_API registerEventHandler(
        Steinberg::Linux::IEventHandler* handler, Steinberg::Linux::FileDescriptor fd) override;
    Steinberg::tresult PLUGIN_API
    unregisterEventHandler(Steinberg::Linux::IEventHandler* handler) override;
    Steinberg::tresult PLUGIN_API
    registerTimer(Steinberg::Linux::ITimerHandler* handler,
                  Steinberg::Linux::TimerInterval milliseconds) override;
    Steinberg::tresult PLUGIN_API
    unregisterTimer(Steinberg::Linux::ITimerHandler* handler) override;

    DECLARE_FUNKNOWN_METHODS

private:
    using Clock = std::chrono::steady_clock;
    struct EventHandler {
        Steinberg::IPtr<Steinberg::Linux::IEventHandler> handler;
        int fd;
    };
    struct Timer {
        Steinberg::IPtr<Steinberg::Linux::ITimerHandler> handler;
        std::chrono::milliseconds interval;
        Clock::time_point due;
    };

    virtual ~PollRunLoop();
    void Pass(Clock::time_point limit);
    void NoteCallFromInside() noexcept;

    Options options;
    std::vector<EventHandler> eventHandlers;
    std::vector<Timer> timers;
    std::size_t descriptorCalls = 0;
    std::size_t timerCalls = 0;
    std::size_t callsFromInside = 0;
    int handlerDepth = 0;
};

} // namespace vst3host
