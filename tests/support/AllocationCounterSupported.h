#pragma once

// The allocation counter replaces the global allocation functions only in
// builds without a sanitizer (the sanitizers interpose allocation themselves).
#define LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER()                                                   \
    do {                                                                                           \
        if (kAllocationCounterDisabled)                                                            \
            GTEST_SKIP() << "allocation counting is off in sanitizer builds";                      \
    } while (0)

#if defined(LUMARO_SANITIZED)
inline constexpr bool kAllocationCounterDisabled = true;
#else
inline constexpr bool kAllocationCounterDisabled = false;
#endif
