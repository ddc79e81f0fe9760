// Whether an engine module runs in the host's process or in an engine host
// of its own, and which engine host program runs it.
#pragma once

#include <cstdint>

#include "SharedString.h"

namespace shell {

// Kept as is: musicians set this value (a DWORD) to run engines of the
// plug-in's own architecture in a process of their own too.
inline constexpr char settingsKeyPath[] = "Software\\Korvanta\\Velmorant";
inline constexpr char engineProcessValue[] = "EngineProcess";
// The engine host programs, looked for beside the plug-in.
inline constexpr char engineHost32[] = "VelmorantEngineHost32.exe";
inline constexpr char engineHost64[] = "VelmorantEngineHost64.exe";

struct EngineProcessChoice {
    bool ownProcess = false;
    Korvanta::SharedString hostProgram;  // full path, when ownProcess
    int64_t hostBits = 0;                // 32 or 64, when ownProcess
};

// An engine built for the other architecture than the plug-in (read from
// its PE header) runs in its own process; so does every engine while the
// setting is on. An unreadable file stays in the host's process, where
// loading it fails as it always did.
EngineProcessChoice chooseEngineProcess(const Korvanta::SharedString& enginePath);

// The DWORD `engineProcessValue` under `keyPath`, from HKEY_CURRENT_USER
// when it holds one, else from HKEY_LOCAL_MACHINE; 0 when neither does (or
// holds another type).
uint32_t readEngineProcessSetting(const char* keyPath);

}  // namespace shell
