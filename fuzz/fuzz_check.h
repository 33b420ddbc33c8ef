// What every fuzz target shares: a property that must hold, checked in
// every build (a failed one aborts, which libFuzzer reports as a finding).
#pragma once

#include <stdio.h>
#include <stdlib.h>

#include <string>

#define FUZZ_CHECK(condition)                                                                                  \
    do {                                                                                                       \
        if (!(condition)) {                                                                                    \
            fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);                 \
            abort();                                                                                           \
        }                                                                                                      \
    } while (0)

// The input split at its first zero byte: two texts for readers that take two.
inline void SplitInput(const uint8_t *data, size_t size, std::string &first, std::string &second)
{
    std::string all((const char *)data, size);
    size_t zero = all.find('\0');
    first = all.substr(0, zero);
    second = zero == std::string::npos ? std::string() : all.substr(zero + 1);
}
