#pragma once

#include "plugin/Timer.h"

#include "base/source/fobject.h"
#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace plugin::vst3 {

// The framework's timer run loop over a Linux host's IRunLoop, so that the
// idle timer ticks on the host's UI thread. Each registered client gets its
// own ITimerHandler object; the host holds references to those, so a
// handler is detached from its client when unregistered and a host that
// calls it late reaches nothing.
//
// Everything here runs on the host's UI thread. The run loop is held with a
// reference until destruction, which unregisters every timer still
// registered: the owner destroys this before the host's context goes away.
class RunLoopTimer final : public TimerRunLoop {
public:
    // [ui] runLoop must not be null.
    explicit RunLoopTimer(Steinberg::Linux::IRunLoop* runLoop);
    // [ui]
    ~RunLoopTimer() override;
    RunLoopTimer(const RunLoopTimer&) = delete;
    RunLoopTimer& operator=(const RunLoopTimer&) = delete;

    // [ui] False when the host refuses the timer (anything but kResultOk) or
    // the client is already registered.
    bool RegisterTimer(TimerClient* client, int32_t periodMs) override;
    // [ui] Unknown clients are ignored.
    void UnregisterTimer(TimerClient* client) override;
    // [ui]
    void UnregisterAll();

    // [ui]
    std::size_t RegisteredCount() const noexcept { return handlers.size(); }
    // [ui]
    Steinberg::Linux::IRunLoop* RunLoop() const noexcept { return runLoop.get(); }

    // [ui] The IRunLoop a host context offers, or null (also for null).
    static Steinberg::IPtr<Steinberg::Linux::IRunLoop> FindRunLoop(Steinberg::FUnknown* context);

private:
    class Handler;

    Steinberg::IPtr<Steinberg::Linux::IRunLoop> runLoop;
    std::vector<std::pair<TimerClient*, Steinberg::IPtr<Handler>>> handlers;
};

} // namespace plugin::vst3
