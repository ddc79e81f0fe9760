// The benchmarks' clock: the performance counter, and the best of several
// timed runs, so that one noisy run does not decide a ratio.
#pragma once

#include <windows.h>

#include <algorithm>

namespace bench {

inline double now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER ticks;
    QueryPerformanceCounter(&ticks);
    return static_cast<double>(ticks.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Nanoseconds per repetition, the best of several runs.
template <typename Work>
double bestNanoseconds(int repetitions, Work work, int runs = 7)
{
    double best = 1e30;
    for (int run = 0; run < runs; ++run) {
        const double start = now();
        for (int i = 0; i < repetitions; ++i)
            work(i);
        best = std::min(best, (now() - start) * 1e9 / repetitions);
    }
    return best;
}

}  // namespace bench
