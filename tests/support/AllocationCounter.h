#pragma once

#include <cstddef>

namespace testing_support {

// Counts heap allocations made on the current thread while armed. The test
// binaries replace the global allocation functions (AllocationCounter.cpp), so
// every new, new[], malloc-backed container growth and aligned new is seen.
//
//   AllocationCounter counter;          // arms on this thread
//   processor.RenderBlock(...);
//   EXPECT_EQ(counter.Count(), 0u);
class AllocationCounter {
public:
    AllocationCounter() noexcept;
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    std::size_t Count() const noexcept;

private:
    std::size_t start;
    bool wasArmed;
};

} // namespace testing_support
