#pragma once

#include <cstddef>
#include <string>

namespace testing_support {

// Proves a stretch of code real-time safe: while a guard is armed on a
// thread, every heap allocation (malloc, calloc, realloc, aligned and C++
// new, which the test binaries interpose) and every lock taken through
// pthread_mutex_lock, pthread_mutex_timedlock, pthread_mutex_clocklock,
// pthread_rwlock_rdlock,
// pthread_rwlock_wrlock or sem_wait on that thread is counted, and the call
// stacks of the first kMaxRecorded are kept for the report. This covers
// std::mutex, std::shared_mutex, std::condition_variable and the SDK's and C
// libraries' locks; glibc's internal locks are not seen.
//
//   RealtimeGuard guard;                       // arms on this thread
//   processor->process(data);
//   EXPECT_TRUE(guard.Clean()) << guard.Report();
//
// Recording allocates nothing and takes no lock. Guards nest; the inner one
// counts only what happened during its own life, and while it lives the
// stacks go to it. Sanitizer builds interpose
// these functions themselves: there the guard sees nothing and the tests
// that need it skip through LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER().
class RealtimeGuard {
public:
    static constexpr std::size_t kMaxRecorded = 8;

    RealtimeGuard() noexcept;
    ~RealtimeGuard();
    RealtimeGuard(const RealtimeGuard&) = delete;
    RealtimeGuard& operator=(const RealtimeGuard&) = delete;

    std::size_t Allocations() const noexcept;
    std::size_t Locks() const noexcept;
    bool Clean() const noexcept { return Allocations() == 0 && Locks() == 0; }

    // Each recorded violation with its symbolized call stack. Disarms while
    // it runs (symbolizing allocates).
    std::string Report() const;

private:
    std::size_t allocationStart;
    std::size_t lockStart;
    std::size_t recordStart;
    std::size_t outerRecordBase;
    bool wasArmed;
};

namespace detail {
// Called by the allocation interposer for every allocation on this thread.
void NoteAllocationForGuard() noexcept;
} // namespace detail

} // namespace testing_support
