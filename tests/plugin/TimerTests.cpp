#include "plugin/Timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;
using plugin::Timer;
using plugin::TimerClient;
using plugin::TimerRunLoop;

// Counts ticks and lets the test wait for a number of them.
struct TickCounter {
    void Tick() {
        std::lock_guard<std::mutex> lock(mutex);
        ++count;
        lastThread = std::this_thread::get_id();
        changed.notify_all();
    }
    bool WaitFor(int ticks, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, limit, [&] { return count >= ticks; });
    }
    int Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return count;
    }
    std::thread::id LastThread() {
        std::lock_guard<std::mutex> lock(mutex);
        return lastThread;
    }

    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
    std::thread::id lastThread;
};

// Stands in for a host run loop: ticks only when the test fires it.
class FakeRunLoop : public TimerRunLoop {
public:
    explicit FakeRunLoop(bool accept = true) : accept(accept) {}
    bool RegisterTimer(TimerClient* timer, int32_t periodMs) override {
        ++registrations;
        lastPeriodMs = periodMs;
        if (accept) {
            client = timer;
        }
        return accept;
    }
    void UnregisterTimer(TimerClient* timer) override {
        ++unregistrations;
        if (timer == client) {
            client = nullptr;
        }
    }
    void Fire() {
        if (client != nullptr) {
            client->OnTimerTick();
        }
    }

    bool accept;
    TimerClient* client = nullptr;
    int registrations = 0;
    int unregistrations = 0;
    int32_t lastPeriodMs = 0;
};

TEST(TimerThreaded, FallbackThreadTicksAtTheRequestedPeriodOffTheCallingThread) {
    TickCounter ticks;
    const auto start = std::chrono::steady_clock::now();
    Timer timer([&](Timer&) { ticks.Tick(); }, Timer::kIdlePeriodMs);
    ASSERT_TRUE(ticks.WaitFor(5, 5s));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    timer.Stop();

    // Five 20 ms periods cannot pass in less than 100 ms (upper bounds are
    // left alone: a loaded machine may be slow).
    EXPECT_GE(elapsed, 100ms);
    EXPECT_NE(ticks.LastThread(), std::this_thread::get_id());
    EXPECT_EQ(timer.PeriodMs(), 20);
    EXPECT_FALSE(timer.IsOnRunLoop());
}

TEST(TimerThreaded, NoTickRunsOrStartsAfterStopReturnsAndStoppingTwiceIsHarmless) {
    std::atomic<int> count{0};
    std::atomic<bool> insideCallback{false};
    Timer timer(
        [&](Timer&) {
            insideCallback.store(true);
            std::this_thread::sleep_for(15ms); // widen the window for Stop to meet a tick
            count.fetch_add(1);
            insideCallback.store(false);
        },
        1);
    while (count.load() < 2) {
        std::this_thread::sleep_for(1ms);
    }
    timer.Stop();
    EXPECT_FALSE(insideCallback.load());
    const int atStop = count.load();
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(count.load(), atStop);
    EXPECT_FALSE(timer.IsRunning());

    timer.Stop();
    EXPECT_FALSE(timer.IsRunning());
    EXPECT_EQ(count.load(), atStop);
}

TEST(TimerThreaded, CallbackMayStopItsOwnTimer) {
    std::atomic<int> count{0};
    Timer timer(
        [&](Timer& self) {
            count.fetch_add(1);
            self.Stop();
        },
        1);
    for (int i = 0; i < 500 && count.load() == 0; ++i) {
        std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(count.load(), 1);
    timer.Stop();
}

TEST(TimerThreaded, MovesOntoARunLoopAndBackToItsThread) {
    TickCounter ticks;
    FakeRunLoop loop;
    Timer timer([&](Timer&) { ticks.Tick(); }, Timer::kIdlePeriodMs);
    ASSERT_TRUE(ticks.WaitFor(1, 5s));

    timer.UseRunLoop(&loop);
    ASSERT_TRUE(timer.IsOnRunLoop());
    EXPECT_EQ(loop.registrations, 1);
    EXPECT_EQ(loop.lastPeriodMs, 20);
    // The private thread is gone: without firing the loop nothing ticks.
    const int onSwitch = ticks.Count();
    std::this_thread::sleep_for(80ms);
    EXPECT_EQ(ticks.Count(), onSwitch);
    loop.Fire();
    loop.Fire();
    EXPECT_EQ(ticks.Count(), onSwitch + 2);
    EXPECT_EQ(ticks.LastThread(), std::this_thread::get_id());

    timer.UseRunLoop(&loop); // same loop: nothing to do
    EXPECT_EQ(loop.registrations, 1);

    timer.UseRunLoop(nullptr);
    EXPECT_FALSE(timer.IsOnRunLoop());
    EXPECT_EQ(loop.unregistrations, 1);
    EXPECT_EQ(loop.client, nullptr);
    ASSERT_TRUE(ticks.WaitFor(onSwitch + 4, 5s));
    EXPECT_NE(ticks.LastThread(), std::this_thread::get_id());
}

TEST(TimerThreaded, RefusingRunLoopLeavesTheThreadTicking) {
    TickCounter ticks;
    FakeRunLoop refusing(false);
    Timer timer([&](Timer&) { ticks.Tick(); }, 5, &refusing);
    EXPECT_EQ(refusing.registrations, 1);
    EXPECT_FALSE(timer.IsOnRunLoop());
    ASSERT_TRUE(ticks.WaitFor(2, 5s));

    timer.UseRunLoop(&refusing);
    EXPECT_EQ(refusing.registrations, 2);
    EXPECT_FALSE(timer.IsOnRunLoop());
    const int before = ticks.Count();
    EXPECT_TRUE(ticks.WaitFor(before + 2, 5s));
}

TEST(TimerThreaded, StoppingOrDestroyingOnARunLoopUnregisters) {
    FakeRunLoop loop;
    int count = 0;
    {
        Timer timer([&](Timer&) { ++count; }, 20, &loop);
        EXPECT_TRUE(timer.IsOnRunLoop());
        loop.Fire();
        EXPECT_EQ(count, 1);
    }
    EXPECT_EQ(loop.unregistrations, 1);
    EXPECT_EQ(loop.client, nullptr);

    Timer stopped([&](Timer&) { ++count; }, 20, &loop);
    stopped.Stop();
    stopped.Stop();
    EXPECT_EQ(loop.unregistrations, 2);
    // A stopped timer does not come back to life on another mechanism.
    stopped.UseRunLoop(nullptr);
    stopped.UseRunLoop(&loop);
    EXPECT_EQ(loop.registrations, 2);
    EXPECT_FALSE(stopped.IsRunning());
}

} // namespace
