#pragma once

#include <cstdint>
#include <functional>

namespace ui {

// The host's event loop as an open editor window uses it: one handler for
// the window's connection descriptor and one periodic timer, both called on
// the UI thread. A binding adapts its host's loop to this (the VST 3 binding
// over Steinberg::Linux::IRunLoop); tests drive one of their own. The window
// knows nothing of the standard behind it.
//
// Hosts differ: some call the descriptor handler almost continuously, some
// never call it, some refuse a second registration of a descriptor. A
// window therefore does its work from either callback and must be correct
// with the timer alone.
class EditorRunLoop {
public:
    using Callback = std::function<void()>;

    virtual ~EditorRunLoop() = default;

    // [ui] onReadable runs whenever fd may have data. False when the host
    // refuses; one descriptor at a time (a second call replaces the first).
    virtual bool WatchDescriptor(int fd, Callback onReadable) = 0;
    // [ui] Once this returns no call reaches the handler, also when it is
    // called from inside a callback (the host is then told later).
    virtual void StopWatchingDescriptor() = 0;
    // [ui] onTick runs about every periodMs. False when the host refuses;
    // one timer at a time (a second call replaces the first).
    virtual bool StartTimer(int32_t periodMs, Callback onTick) = 0;
    // [ui] As StopWatchingDescriptor, for the timer.
    virtual void StopTimer() = 0;
};

} // namespace ui
