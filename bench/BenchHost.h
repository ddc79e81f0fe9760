// The benchmarks' host: the version, one time record for every block and a
// real-time process level; nothing else.
#pragma once

#include <cstdint>

#include "vst/VstAbi.h"

namespace bench {

// What "audioMasterGetTime" answers; the benchmark moves it on.
inline VstTimeInfo hostTime;

inline intptr_t __cdecl benchHost(EffectRecord*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        return reinterpret_cast<intptr_t>(&hostTime);
    case audioMasterGetCurrentProcessLevel:
        return kVstProcessLevelRealtime;
    default:
        return 0;
    }
}

}  // namespace bench
