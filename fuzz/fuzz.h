// What every fuzz target shares: its entry point, which libFuzzer calls in
// the fuzzing build and replay.cpp calls in the test suite, and the stop on
// a broken property, which both report as a crash with the input kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// A property that does not hold: the reason on standard error, then abort(),
// so that libFuzzer writes the input out as a crash and the replay fails.
#define FUZZ_ASSERT(condition, ...)                                                                 \
    do {                                                                                            \
        if (!(condition)) {                                                                         \
            std::fprintf(stderr, "%s:%d: property broken: %s\n  ", __FILE__, __LINE__, #condition); \
            std::fprintf(stderr, __VA_ARGS__);                                                      \
            std::fputc('\n', stderr);                                                               \
            std::abort();                                                                           \
        }                                                                                           \
    } while (0)

// The line a refusal names: N in "fuzz:N: cause", or -1 when it names none.
inline long long refused_line(const char* refusal) {
    if (std::strncmp(refusal, "fuzz:", 5) != 0) return -1;
    char* end = nullptr;
    const long long line = std::strtoll(refusal + 5, &end, 10);
    return end != refusal + 5 && *end == ':' ? line : -1;
}
