#pragma once

#include "ui/EditorRunLoop.h"

#include "base/source/fobject.h"
#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"

#include <cstdint>
#include <vector>

namespace plugin::vst3 {

// The editor window's run loop over a Linux host's IRunLoop: one event
// handler for the window's connection descriptor and one timer, each an
// object of its own that the host holds references to.
//
// Hosts iterate their handler lists while they call them, so nothing is
// unregistered from inside a callback: a stop requested there detaches the
// handler at once (no further call reaches the window) and tells the host
// at the next call made outside any callback, or when this object goes. An
// object destroyed inside a callback leaves its handlers to the next such
// moment of any other object on the thread.
//
// Everything runs on the host's UI thread.
class HostEditorRunLoop final : public ui::EditorRunLoop {
public:
    // [ui] hostLoop must not be null.
    explicit HostEditorRunLoop(Steinberg::Linux::IRunLoop* hostLoop);
    // [ui] Stops the handler and the timer.
    ~HostEditorRunLoop() override;
    HostEditorRunLoop(const HostEditorRunLoop&) = delete;
    HostEditorRunLoop& operator=(const HostEditorRunLoop&) = delete;

    bool WatchDescriptor(int fd, Callback onReadable) override;  // [ui]
    void StopWatchingDescriptor() override;                      // [ui]
    bool StartTimer(int32_t periodMs, Callback onTick) override; // [ui]
    void StopTimer() override;                                   // [ui]

    // [ui]
    Steinberg::Linux::IRunLoop* HostLoop() const noexcept { return hostLoop.get(); }
    // [ui] True while one of this thread's handlers is running.
    static bool InsideCallback() noexcept;
    // [ui] Host unregistrations still waiting for a moment outside callbacks.
    std::size_t DeferredCount() const noexcept { return deferred.size(); }

private:
    class Handler;
    struct Deferred {
        Steinberg::IPtr<Steinberg::Linux::IRunLoop> loop;
        Steinberg::IPtr<Handler> handler;
    };

    void Release(Steinberg::IPtr<Handler>& handler);
    void FlushDeferred();
    static void Unregister(const Deferred& entry);

    Steinberg::IPtr<Steinberg::Linux::IRunLoop> hostLoop;
    Steinberg::IPtr<Handler> descriptorHandler;
    Steinberg::IPtr<Handler> timerHandler;
    std::vector<Deferred> deferred;
    // Left by objects destroyed inside a callback; UI thread only.
    static thread_local std::vector<Deferred> orphans;
};

} // namespace plugin::vst3
