#pragma once

#include <cstdio>
#include <cstdlib>

// A broken property is a finding: print what broke and abort, so that
// libFuzzer stores the input as a crash file and reports the stack.
#define FUZZ_CHECK(condition, ...)                                                                 \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property failed: %s\n  ", __FILE__, __LINE__,             \
                         #condition);                                                              \
            std::fprintf(stderr, __VA_ARGS__);                                                     \
            std::fputc('\n', stderr);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
