#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace plugin {

// Receives the ticks of a run loop.
class TimerClient {
public:
    // [the run loop's thread]
    virtual void OnTimerTick() = 0;

protected:
    ~TimerClient() = default;
};

// A periodic-callback service supplied by a binding, for instance the VST 3
// host's run loop, which calls back on the host's UI thread. The framework
// core knows nothing of the standard behind it. A run loop must outlive the
// timers registered with it, or move them off first (UseRunLoop(nullptr)).
class TimerRunLoop {
public:
    virtual ~TimerRunLoop() = default;
    // [ui] Starts ticking client every periodMs; false when the run loop
    // refuses (the host answered "not implemented", for instance).
    virtual bool RegisterTimer(TimerClient* client, int32_t periodMs) = 0;
    // [ui] After this returns, client receives no further ticks.
    virtual void UnregisterTimer(TimerClient* client) = 0;
};

// A periodic callback that starts at construction and can be stopped before
// its owner is destroyed; stopping twice is harmless, and once Stop returns
// no tick is running or will run.
//
// Two mechanisms stand behind it. On a run loop (UseRunLoop) the ticks arrive
// on the run loop's thread, which for a host run loop is the UI thread.
// Without one, a private thread ticks every period, and the callback then
// runs on that private thread, NOT on the UI thread: a callback that touches
// UI-thread state must be prepared for that while no run loop is in use.
//
// A callback may Stop its own timer but must not destroy it.
class Timer final : private TimerClient {
public:
    using Callback = std::function<void(Timer&)>;

    // The editor service period of the plug-in's idle timer.
    static constexpr int32_t kIdlePeriodMs = 20;

    // [ui] Starts ticking: on runLoop when one is given and accepts the
    // timer, otherwise on the private thread. If that thread cannot be
    // started the timer exists but never fires.
    Timer(Callback callback, int32_t periodMs, TimerRunLoop* runLoop = nullptr);
    // [ui] Stops first.
    ~Timer();

    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // [ui] Idempotent. Also allowed from inside the callback on the private
    // thread: the thread then ends after the callback returns, and is joined
    // by the next Stop or the destructor on the UI thread.
    void Stop();
    // [ui] Moves a running timer onto runLoop (stopping the private thread
    // first), or back to the private thread for nullptr. When the run loop
    // refuses, the private thread carries on. Does nothing once stopped.
    void UseRunLoop(TimerRunLoop* runLoop);

    bool IsRunning() const { return running; }              // [ui]
    bool IsOnRunLoop() const { return runLoop != nullptr; } // [ui]
    // [ui] The run loop it ticks on, or null (its own thread, or stopped).
    const TimerRunLoop* CurrentRunLoop() const { return runLoop; }
    int32_t PeriodMs() const { return periodMs; } // [any]

private:
    struct ThreadTicker;
    // The ticker whose callback is running on this thread, if any.
    static thread_local ThreadTicker* tickingOnThisThread;

    void OnTimerTick() override;
    void StartThread();
    void StopThread();

    Callback callback;
    int32_t periodMs;
    std::atomic<bool> running{true};
    TimerRunLoop* runLoop = nullptr;
    std::shared_ptr<ThreadTicker> ticker;
};

} // namespace plugin
