#pragma once
// A broken check in a fuzz target: says which and why, then aborts so that
// libFuzzer keeps the input.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                                  \
    do {                                                                            \
        if (!(condition)) {                                                         \
            std::fprintf(stderr, "fuzz: %s failed: ", #condition);                  \
            std::fprintf(stderr, __VA_ARGS__);                                      \
            std::fputc('\n', stderr);                                               \
            std::abort();                                                           \
        }                                                                           \
    } while (0)
