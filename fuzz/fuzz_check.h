#pragma once

// A property check for fuzz targets: on failure it prints what was expected
// and aborts, which libFuzzer and the corpus replay both report as a crash
// (with the input that caused it).

#include <cstdio>
#include <cstdlib>

#define PLEXOR_FUZZ_CHECK(condition)                                                                          \
    do                                                                                                         \
    {                                                                                                          \
        if (!(condition))                                                                                      \
        {                                                                                                      \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition);            \
            std::abort();                                                                                      \
        }                                                                                                      \
    } while (false)
