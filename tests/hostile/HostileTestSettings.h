// How much the hostile suites do: a small share in CI, more when scripts/fuzz
// sets the environment.
//   VELMORANT_HOSTILE_SEEDS      seeds per engine
//   VELMORANT_HOSTILE_FIRST_SEED the first of them
//   VELMORANT_HOSTILE_CALLS      calls per seed
//   VELMORANT_HOSTILE_MUTATIONS  damaged chunks restored
//   VELMORANT_HOSTILE_SESSIONS   sessions of the memory test
//   VELMORANT_HOSTILE_SESSION_CALLS  calls per session of the memory test
#pragma once

#include <cstdint>
#include <cstdlib>

#include "../support/Emulation.h"

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

// Under emulated 32-bit Wine each call costs far more, so CI does less there.
inline int64_t defaultSeeds()
{
    return velmorant_test::emulated() ? 1 : 3;
}
inline int64_t defaultCalls()
{
    return velmorant_test::emulated() ? 1000 : 4000;
}
inline int64_t defaultMutations()
{
    return velmorant_test::emulated() ? 600 : 3000;
}
inline unsigned hangSeconds()
{
    return velmorant_test::emulated() ? 300 : 60;
}
inline int64_t defaultSessions()
{
    return velmorant_test::emulated() ? 4 : 10;
}
inline int64_t defaultSessionCalls()
{
    return velmorant_test::emulated() ? 300 : 1500;
}

inline int64_t seedCount()
{
    return setting("VELMORANT_HOSTILE_SEEDS", defaultSeeds());
}
inline uint64_t firstSeed()
{
    return static_cast<uint64_t>(setting("VELMORANT_HOSTILE_FIRST_SEED", 1));
}
inline int64_t callsPerSeed()
{
    return setting("VELMORANT_HOSTILE_CALLS", defaultCalls());
}
inline int64_t mutationCount()
{
    return setting("VELMORANT_HOSTILE_MUTATIONS", defaultMutations());
}
inline int64_t sessionCount()
{
    return setting("VELMORANT_HOSTILE_SESSIONS", defaultSessions());
}
inline int64_t callsPerSession()
{
    return setting("VELMORANT_HOSTILE_SESSION_CALLS", defaultSessionCalls());
}

}  // namespace hostile_test
