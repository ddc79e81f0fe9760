// The one source of every decision the hostile host makes: a small seeded
// generator (splitmix64) whose sequence is the same on every build, so that a
// seed replays the same calls exactly on both architectures.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace hostile_test {

class HostileRandom {
public:
    explicit HostileRandom(uint64_t seed) : state(seed) {}

    uint64_t next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in 0 .. bound - 1 (0 for a bound of 0).
    uint32_t below(uint32_t bound) { return bound == 0 ? 0 : static_cast<uint32_t>(next() % bound); }

    // Uniform in low .. high, both included.
    int32_t between(int32_t low, int32_t high)
    {
        const int64_t span = int64_t{high} - low + 1;
        return static_cast<int32_t>(low + static_cast<int64_t>(next() % static_cast<uint64_t>(span)));
    }

    bool chance(uint32_t perThousand) { return below(1000) < perThousand; }

    uint8_t byte() { return static_cast<uint8_t>(next()); }

    template <typename T, size_t N>
    const T& pick(const T (&choices)[N])
    {
        return choices[below(static_cast<uint32_t>(N))];
    }

    // The integers hosts get wrong: signs, extremes, off-by-ones around the
    // plug-in's own counts, and now and then anything at all.
    int32_t int32Boundary()
    {
        static const int32_t edges[] = {0,
                                        -1,
                                        1,
                                        2,
                                        8,
                                        9,
                                        23,
                                        24,
                                        511,
                                        512,
                                        513,
                                        1024,
                                        4096,
                                        65535,
                                        65536,
                                        std::numeric_limits<int32_t>::min(),
                                        std::numeric_limits<int32_t>::min() + 1,
                                        std::numeric_limits<int32_t>::max(),
                                        std::numeric_limits<int32_t>::max() - 1,
                                        -2,
                                        -512};
        switch (below(4)) {
        case 0:
            return static_cast<int32_t>(next());
        case 1:
            return between(-4, 64);
        default:
            return pick(edges);
        }
    }

    // Pointer-sized values add the extremes of the pointer width.
    intptr_t intptrBoundary()
    {
        if (chance(150))
            return chance(500) ? std::numeric_limits<intptr_t>::max() : std::numeric_limits<intptr_t>::min();
        return int32Boundary();
    }

    float floatBoundary()
    {
        static const float edges[] = {0.0f,
                                      -0.0f,
                                      1.0f,
                                      -1.0f,
                                      0.5f,
                                      1.5f,
                                      44100.0f,
                                      48000.0f,
                                      96000.0f,
                                      1.0e-30f,
                                      1.0e30f,
                                      -1.0e30f,
                                      std::numeric_limits<float>::infinity(),
                                      -std::numeric_limits<float>::infinity(),
                                      std::numeric_limits<float>::quiet_NaN(),
                                      std::numeric_limits<float>::denorm_min(),
                                      std::numeric_limits<float>::max(),
                                      3.9f,
                                      255.9f};
        if (chance(300))
            return static_cast<float>(below(1000001)) / 1000000.0f;
        return pick(edges);
    }

    double doubleBoundary()
    {
        static const double edges[] = {0.0,
                                       -1.0,
                                       1.0,
                                       -1.0e12,
                                       1.0e12,
                                       1.0e300,
                                       -1.0e300,
                                       4294967296.0,
                                       -2147483648.0,
                                       std::numeric_limits<double>::infinity(),
                                       -std::numeric_limits<double>::infinity(),
                                       std::numeric_limits<double>::quiet_NaN(),
                                       std::numeric_limits<double>::denorm_min()};
        if (chance(400))
            return static_cast<double>(between(-100000, 100000)) / 16.0;
        return pick(edges);
    }

private:
    uint64_t state;
};

}  // namespace hostile_test
