// The guard itself: it must see what the audio-thread tests rely on it to
// see, and nothing else. Counts are read inside the armed span and compared
// after it, since a failing expectation allocates and locks itself.

#include "AllocationCounter.h"
#include "AllocationCounterSupported.h"
#include "RealtimeGuard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using testing_support::RealtimeGuard;

struct Seen {
    std::size_t allocations = 0;
    std::size_t locks = 0;
    std::string report;
};

template <typename Work> Seen Watch(Work work) {
    Seen seen;
    RealtimeGuard guard;
    work();
    seen.allocations = guard.Allocations();
    seen.locks = guard.Locks();
    seen.report = guard.Report();
    return seen;
}

} // namespace

// Out of line, with external linkage so that the report can name them, and
// through a volatile pointer, so that the compiler can elide neither the
// allocation nor the lock.
namespace guard_probe {
__attribute__((noinline)) void AllocateOnce() {
    void* volatile p = std::malloc(24);
    std::free(p);
}

__attribute__((noinline)) void LockOnce(std::mutex& mutex) {
    std::lock_guard<std::mutex> hold(mutex);
    std::atomic_signal_fence(std::memory_order_seq_cst);
}
} // namespace guard_probe

namespace {

using guard_probe::AllocateOnce;
using guard_probe::LockOnce;

TEST(RealtimeGuard, CountsEachAllocationKind) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    const Seen seen = Watch([] {
        AllocateOnce();
        auto object = std::make_unique<int>(3); // operator new
        std::vector<double> grown(100);         // container growth
        void* volatile aligned = std::aligned_alloc(64, 128);
        auto* overaligned = new (std::align_val_t{64}) double[4];
        ::operator delete[](overaligned, std::align_val_t{64});
        std::free(aligned);
    });
    EXPECT_EQ(seen.allocations, 5u) << seen.report;
    EXPECT_EQ(seen.locks, 0u) << seen.report;
}

TEST(RealtimeGuard, CountsEachLockKind) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    std::mutex mutex;
    std::shared_mutex shared;
    std::timed_mutex timed;
    const Seen seen = Watch([&] {
        LockOnce(mutex);
        { std::shared_lock<std::shared_mutex> reading(shared); }
        { std::unique_lock<std::shared_mutex> writing(shared); }
        if (timed.try_lock_for(std::chrono::milliseconds(1)))
            timed.unlock();
    });
    EXPECT_EQ(seen.locks, 4u) << seen.report;
    EXPECT_EQ(seen.allocations, 0u) << seen.report;
}

TEST(RealtimeGuard, ReportNamesTheCallerOfEachViolation) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    std::mutex mutex;
    const Seen seen = Watch([&] {
        AllocateOnce();
        LockOnce(mutex);
    });
    EXPECT_NE(seen.report.find("1 allocation(s), 1 lock(s)"), std::string::npos) << seen.report;
    EXPECT_NE(seen.report.find("AllocateOnce"), std::string::npos) << seen.report;
    EXPECT_NE(seen.report.find("pthread_mutex_lock at"), std::string::npos) << seen.report;
    EXPECT_NE(seen.report.find("LockOnce"), std::string::npos) << seen.report;
}

TEST(RealtimeGuard, WaitFreeCodeIsClean) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    std::atomic<int> counter{0};
    std::vector<double> buffer(256, 1.0);
    double sum = 0.0;
    const Seen seen = Watch([&] {
        for (double& x : buffer) {
            x *= 0.5;
            sum += x;
        }
        counter.fetch_add(1);
    });
    EXPECT_EQ(seen.allocations + seen.locks, 0u) << seen.report;
    EXPECT_EQ(sum, 128.0);
}

TEST(RealtimeGuard, WatchesOnlyItsOwnThread) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    std::mutex mutex;
    std::atomic<bool> go{false};
    std::atomic<bool> done{false};
    // Started before arming: creating a thread allocates on this thread.
    std::thread other([&] {
        while (!go.load()) {
        }
        AllocateOnce();
        LockOnce(mutex);
        done = true;
    });
    const Seen seen = Watch([&] {
        go = true;
        while (!done.load()) {
        }
    });
    other.join();
    EXPECT_EQ(seen.allocations + seen.locks, 0u) << seen.report;
}

TEST(RealtimeGuard, NestedGuardCountsItsOwnSpan) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    Seen inner;
    const Seen outer = Watch([&] {
        AllocateOnce();
        inner = Watch([] {
            AllocateOnce();
            AllocateOnce();
        });
        AllocateOnce();
    });
    EXPECT_EQ(inner.allocations, 2u) << inner.report;
    // The inner guard's own report is made while the outer one is armed.
    EXPECT_GE(outer.allocations, 4u) << outer.report;
}

TEST(RealtimeGuard, AllocationCounterStillCountsAlongside) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    std::size_t counted = 0;
    const Seen seen = Watch([&] {
        testing_support::AllocationCounter counter;
        AllocateOnce();
        counted = counter.Count();
    });
    EXPECT_EQ(counted, 1u);
    EXPECT_EQ(seen.allocations, 1u) << seen.report;
}

TEST(RealtimeGuard, NothingCountedOnceDisarmed) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    std::mutex mutex;
    Watch([] {});
    AllocateOnce();
    LockOnce(mutex);
    const Seen seen = Watch([] {});
    EXPECT_EQ(seen.allocations + seen.locks, 0u) << seen.report;
}

} // namespace
