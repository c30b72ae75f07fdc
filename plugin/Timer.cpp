#include "plugin/Timer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace plugin {

// Shared between the timer and its thread, so that a thread told to stop from
// inside its own callback (and therefore detached, not joined) still has
// valid state to look at on its way out.
struct Timer::ThreadTicker {
    std::mutex mutex;
    std::condition_variable wake;
    bool stopRequested = false;
    std::thread thread;
};

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
    if (!running) {
        return;
    }
    running = false;
    if (runLoop != nullptr) {
        runLoop->UnregisterTimer(this);
        runLoop = nullptr;
    } else {
        StopThread();
    }
}

void Timer::UseRunLoop(TimerRunLoop* loop) {
    if (!running || loop == runLoop) {
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
    if (running && callback) {
        callback(*this);
    }
}

void Timer::StartThread() {
    auto state = std::make_shared<ThreadTicker>();
    const auto period = std::chrono::milliseconds(periodMs);
    try {
        state->thread = std::thread([this, state, period] {
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
    if (ticker->thread.get_id() == std::this_thread::get_id()) {
        ticker->thread.detach(); // stopped from its own callback
    } else if (ticker->thread.joinable()) {
        ticker->thread.join();
    }
    ticker.reset();
}

} // namespace plugin
