#include "RealtimeGuard.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <pthread.h>
#include <semaphore.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

enum class Violation { Allocation, Lock };

constexpr int kMaxFrames = 32;

struct Record {
    Violation kind = Violation::Allocation;
    const char* function = "";
    int frameCount = 0;
    int firstFrame = 0; // the first frame outside the guard and the interposer
    void* frames[kMaxFrames] = {};
};

// Per thread, so that other threads (the idle timer, a UI thread in a test)
// may lock and allocate freely while the audio thread is watched. Plain
// thread_local PODs: no constructor runs on first use, so touching them from
// inside malloc is safe.
thread_local bool armed = false;
thread_local bool recording = false;
thread_local std::size_t allocationCount = 0;
thread_local std::size_t lockCount = 0;
thread_local std::size_t recordCount = 0;
// The innermost guard's first record: stacks are kept from there on.
thread_local std::size_t recordBase = 0;
thread_local Record records[testing_support::RealtimeGuard::kMaxRecorded];

// Not inlined, so that the frames to skip are known: Note itself, then for a
// lock the interposer, for an allocation NoteAllocationForGuard and the
// allocation interposer.
__attribute__((noinline)) void Note(Violation kind, const char* function) noexcept {
    if (!armed || recording)
        return;
    recording = true; // the unwinder must not record itself
    (kind == Violation::Allocation ? allocationCount : lockCount) += 1;
    if (recordCount - recordBase < testing_support::RealtimeGuard::kMaxRecorded) {
        Record& r = records[recordCount - recordBase];
        r.kind = kind;
        r.function = function;
        r.frameCount = backtrace(r.frames, kMaxFrames);
        r.firstFrame = kind == Violation::Allocation ? 3 : 2;
    }
    ++recordCount;
    recording = false;
}

std::string Demangled(const char* line) {
    // backtrace_symbols writes "module(symbol+0xoffset) [0xaddress]".
    const char* open = std::strchr(line, '(');
    const char* plus = open != nullptr ? std::strchr(open, '+') : nullptr;
    if (open == nullptr || plus == nullptr || plus == open + 1)
        return line;
    const std::string mangled(open + 1, plus);
    int status = 0;
    char* name = abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status);
    if (status != 0 || name == nullptr)
        return line;
    std::string result = std::string(line, open + 1) + name + plus;
    std::free(name);
    return result;
}

} // namespace

namespace testing_support {

namespace detail {
__attribute__((noinline)) void NoteAllocationForGuard() noexcept {
    Note(Violation::Allocation, "allocation");
    // Keeps the call from becoming a jump, which would hide this frame.
    asm volatile("" ::: "memory");
}
} // namespace detail

RealtimeGuard::RealtimeGuard() noexcept
    : allocationStart(allocationCount), lockStart(lockCount), recordStart(recordCount),
      outerRecordBase(recordBase), wasArmed(armed) {
    // The first backtrace() loads the unwinder, which allocates: do it now,
    // before arming.
    void* warmUp[2];
    backtrace(warmUp, 2);
    recordBase = recordCount;
    armed = true;
}

RealtimeGuard::~RealtimeGuard() {
    armed = wasArmed;
    recordBase = outerRecordBase;
}

std::size_t RealtimeGuard::Allocations() const noexcept {
    return allocationCount - allocationStart;
}

std::size_t RealtimeGuard::Locks() const noexcept {
    return lockCount - lockStart;
}

std::string RealtimeGuard::Report() const {
    const bool armedBefore = armed;
    armed = false;
    // Only while this guard is the innermost are its records in place.
    const std::size_t kept = recordBase == recordStart ? recordCount - recordStart : 0;
    const std::size_t end = kept < kMaxRecorded ? kept : kMaxRecorded;
    std::string report = std::to_string(Allocations()) + " allocation(s), " +
                         std::to_string(Locks()) + " lock(s) while armed\n";
    for (std::size_t i = 0; i < end; ++i) {
        const Record& r = records[i];
        report += r.kind == Violation::Allocation ? "allocation" : r.function;
        report += " at\n";
        char** lines = backtrace_symbols(r.frames, r.frameCount);
        for (int f = r.firstFrame; lines != nullptr && f < r.frameCount; ++f)
            report += "    " + Demangled(lines[f]) + "\n";
        std::free(lines);
    }
    if (recordCount - recordStart > end)
        report += "(further stacks not kept)\n";
    armed = armedBefore;
    return report;
}

} // namespace testing_support

#if !defined(LUMARO_SANITIZED)
// The lock functions are interposed like the allocation functions: the test
// binary's definitions win over libc's for every caller in the process,
// including modules loaded with dlopen. Each forwards to the next definition
// (libc's), looked up during static initialisation; a call that comes even
// earlier looks it up itself.
namespace {

template <typename F> F Next(F& cached, const char* name) {
    if (cached == nullptr)
        cached = reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
    return cached;
}

using MutexLock = int (*)(pthread_mutex_t*);
using MutexTimedLock = int (*)(pthread_mutex_t*, const struct timespec*);
using MutexClockLock = int (*)(pthread_mutex_t*, clockid_t, const struct timespec*);
using RwLock = int (*)(pthread_rwlock_t*);
using SemWait = int (*)(sem_t*);

MutexLock realMutexLock = nullptr;
MutexTimedLock realMutexTimedLock = nullptr;
MutexClockLock realMutexClockLock = nullptr;
RwLock realRdLock = nullptr;
RwLock realWrLock = nullptr;
SemWait realSemWait = nullptr;

[[maybe_unused]] const bool resolvedEarly = [] {
    Next(realMutexLock, "pthread_mutex_lock");
    Next(realMutexTimedLock, "pthread_mutex_timedlock");
    Next(realMutexClockLock, "pthread_mutex_clocklock");
    Next(realRdLock, "pthread_rwlock_rdlock");
    Next(realWrLock, "pthread_rwlock_wrlock");
    Next(realSemWait, "sem_wait");
    return true;
}();

} // namespace

extern "C" {
int pthread_mutex_lock(pthread_mutex_t* mutex) {
    Note(Violation::Lock, "pthread_mutex_lock");
    return Next(realMutexLock, "pthread_mutex_lock")(mutex);
}
int pthread_mutex_timedlock(pthread_mutex_t* mutex, const struct timespec* until) {
    Note(Violation::Lock, "pthread_mutex_timedlock");
    return Next(realMutexTimedLock, "pthread_mutex_timedlock")(mutex, until);
}
int pthread_mutex_clocklock(pthread_mutex_t* mutex, clockid_t clock, const struct timespec* until) {
    Note(Violation::Lock, "pthread_mutex_clocklock");
    return Next(realMutexClockLock, "pthread_mutex_clocklock")(mutex, clock, until);
}
int pthread_rwlock_rdlock(pthread_rwlock_t* lock) {
    Note(Violation::Lock, "pthread_rwlock_rdlock");
    return Next(realRdLock, "pthread_rwlock_rdlock")(lock);
}
int pthread_rwlock_wrlock(pthread_rwlock_t* lock) {
    Note(Violation::Lock, "pthread_rwlock_wrlock");
    return Next(realWrLock, "pthread_rwlock_wrlock")(lock);
}
int sem_wait(sem_t* semaphore) {
    Note(Violation::Lock, "sem_wait");
    return Next(realSemWait, "sem_wait")(semaphore);
}
}
#endif
