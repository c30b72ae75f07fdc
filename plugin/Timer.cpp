#include "plugin/Timer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace plugin {

// What the private thread shares with the timer. The UI thread creates it,
// and destroys it only after joining the thread.
struct Timer::ThreadTicker {
    const Timer* owner = nullptr;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopRequested = false;
    std::thread thread;
};

// Lets Stop tell a call from inside the private thread's own callback from a
// UI-thread call without reading the timer's members, which the UI thread owns.
thread_local Timer::ThreadTicker* Timer::tickingOnThisThread = nullptr;

Timer::Timer(Callback callbackToRun, int32_t period, TimerRunLoop* loop)
    : callback(std::move(callbackToRun)), periodMs(std::max(period, 1)) {
    if (loop != nullptr && loop->RegisterTimer(this, periodMs)) {
        runLoop = loop;
    } else {
        StartThread();
    }
}

Timer::~Timer() {
    Stop();
}

void Timer::Stop() {
    ThreadTicker* self = tickingOnThisThread;
    if (self != nullptr && self->owner == this) {
        // Inside our own tick on the private thread: a thread cannot join
        // itself, so it is only told to end; the UI thread joins it later.
        std::lock_guard<std::mutex> lock(self->mutex);
        self->stopRequested = true;
        running.store(false);
        return;
    }
    running.store(false);
    if (runLoop != nullptr) {
        runLoop->UnregisterTimer(this);
        runLoop = nullptr;
    }
    StopThread(); // also joins a thread that stopped itself
}

void Timer::UseRunLoop(TimerRunLoop* loop) {
    if (!running.load() || loop == runLoop) {
        return;
    }
    // The old mechanism is fully stopped before the new one starts, so the
    // callback never runs on two threads at once.
    if (runLoop != nullptr) {
        runLoop->UnregisterTimer(this);
        runLoop = nullptr;
    } else {
        StopThread();
    }
    if (loop != nullptr && loop->RegisterTimer(this, periodMs)) {
        runLoop = loop;
    } else {
        StartThread();
    }
}

void Timer::OnTimerTick() {
    if (running.load() && callback) {
        callback(*this);
    }
}

void Timer::StartThread() {
    auto state = std::make_shared<ThreadTicker>();
    state->owner = this;
    const auto period = std::chrono::milliseconds(periodMs);
    // The thread object is stored while the ticker's mutex is held, and the
    // thread takes that mutex before anything else, so it never sees a
    // half-made ticker.
    std::unique_lock<std::mutex> starting(state->mutex);
    try {
        state->thread = std::thread([this, state, period] {
            tickingOnThisThread = state.get();
            std::unique_lock<std::mutex> lock(state->mutex);
            auto next = std::chrono::steady_clock::now() + period;
            while (true) {
                if (state->wake.wait_until(lock, next, [&] { return state->stopRequested; })) {
                    return;
                }
                lock.unlock();
                if (callback) {
                    callback(*this);
                }
                lock.lock();
                // A late tick (a slow callback, a busy machine) is not made up
                // for with a burst; the rhythm restarts from now.
                next += period;
                const auto now = std::chrono::steady_clock::now();
                if (next < now) {
                    next = now + period;
                }
            }
        });
    } catch (const std::system_error&) {
        return; // no thread: the timer never fires
    }
    starting.unlock();
    ticker = std::move(state);
}

void Timer::StopThread() {
    if (!ticker) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(ticker->mutex);
        ticker->stopRequested = true;
    }
    ticker->wake.notify_all();
    if (ticker->thread.joinable()) {
        ticker->thread.join();
    }
    ticker.reset();
}

} // namespace plugin
