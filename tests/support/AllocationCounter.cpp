#include "AllocationCounter.h"
#include "RealtimeGuard.h"

#include <cstdlib>

// The test binaries interpose the C allocation functions themselves, so that
// allocations made by C libraries (the resampler, the SDK) and by a plug-in
// module loaded with dlopen are counted too, not only C++ operator new (which
// glibc's libstdc++ routes through malloc). glibc exports its implementation
// under __libc_* names for exactly this purpose.
//
// Sanitizer builds interpose allocation themselves; there the counter stays at
// zero and the allocation tests skip themselves.

namespace {
thread_local bool armed = false;
thread_local std::size_t allocations = 0;

// Always inlined: the guard's reports skip a known number of frames.
__attribute__((always_inline)) inline void Note() {
    if (armed) {
        ++allocations;
    }
    testing_support::detail::NoteAllocationForGuard();
}
} // namespace

namespace testing_support {

AllocationCounter::AllocationCounter() noexcept : start(allocations), wasArmed(armed) {
    armed = true;
}

AllocationCounter::~AllocationCounter() {
    armed = wasArmed;
}

std::size_t AllocationCounter::Count() const noexcept {
    return allocations - start;
}

} // namespace testing_support

#if !defined(LUMARO_SANITIZED)
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);

void* malloc(std::size_t size) {
    Note();
    return __libc_malloc(size);
}
void* calloc(std::size_t n, std::size_t size) {
    Note();
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t size) {
    Note();
    return __libc_realloc(p, size);
}
void free(void* p) {
    __libc_free(p);
}
void* memalign(std::size_t alignment, std::size_t size) {
    Note();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
    Note();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    Note();
    void* p = __libc_memalign(alignment, size);
    if (p == nullptr) {
        return 12; // ENOMEM
    }
    *out = p;
    return 0;
}
}
#endif
