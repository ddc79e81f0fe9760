// How much the hostile suites do: a small share in CI (on i686 everything runs
// in one emulated process), more when scripts/fuzz sets the environment.
//   VELMORANT_HOSTILE_SEEDS      seeds per engine
//   VELMORANT_HOSTILE_FIRST_SEED the first of them
//   VELMORANT_HOSTILE_CALLS      calls per seed
//   VELMORANT_HOSTILE_MUTATIONS  damaged chunks restored
#pragma once

#include <cstdint>
#include <cstdlib>

namespace hostile_test {

inline int64_t setting(const char* name, int64_t fallback)
{
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0')
        return fallback;
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    return end != text && value >= 0 ? value : fallback;
}

#if defined(_WIN64)
constexpr int64_t defaultSeeds = 3;
constexpr int64_t defaultCalls = 4000;
constexpr int64_t defaultMutations = 3000;
constexpr unsigned hangSeconds = 60;
#else
constexpr int64_t defaultSeeds = 1;
constexpr int64_t defaultCalls = 1000;
constexpr int64_t defaultMutations = 600;
constexpr unsigned hangSeconds = 300;
#endif

inline int64_t seedCount() { return setting("VELMORANT_HOSTILE_SEEDS", defaultSeeds); }
inline uint64_t firstSeed() { return static_cast<uint64_t>(setting("VELMORANT_HOSTILE_FIRST_SEED", 1)); }
inline int64_t callsPerSeed() { return setting("VELMORANT_HOSTILE_CALLS", defaultCalls); }
inline int64_t mutationCount() { return setting("VELMORANT_HOSTILE_MUTATIONS", defaultMutations); }

}  // namespace hostile_test
