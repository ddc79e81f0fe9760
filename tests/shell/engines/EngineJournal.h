// What the shell tests' engines are told to be and what they record, shared
// between the test executable and the engine DLLs it has the plug-in load.
//
// The journal lives in the test executable, which exports ShellEngineJournal:
// an engine finds it through the process's main module, so the record survives
// the engine module being unloaded.
#pragma once

#include <cstdint>

#include "SoftSynth.h"

namespace shell_test {

enum EngineCall : int32_t {
    CallPluginFactory = 1,
    CallLegacyFactory,
    CallGetOutputCount,
    CallGetParameterCount,
    CallGetUniqueId,
    CallSuspend,
    CallResume,
    CallRelease,
    CallSetSampleRate,
    CallSetBlockSize,
    CallGetEditorSize,
    CallOpenEditor,
    CallCloseEditor,
    CallAttachHost,
    CallDetachHost,
};

struct JournalEntry {
    int32_t call;
    int32_t number;  // int32 argument (output hint, block size, factory value)
    float rate;      // sample rate
    void* pointer;   // window handle, host interface, callback context
};

struct EngineJournal {
    // Set by the test before the plug-in is instantiated.
    int32_t outputCount;
    int32_t parameterCount;
    int32_t uniqueId;
    int32_t editorWidth;
    int32_t editorHeight;
    bool editorWritesSize;
    bool throwInGetOutputCount;
    bool throwInGetEditorSize;
    bool throwInRelease;

    // Written by the engines.
    int32_t entryCount;
    JournalEntry entries[128];
    char factoryName[64];  // the loader's name as the plug-in factory saw it
    bool factoryNameWasNull;
    int32_t legacyFlag;
    int32_t legacyValue;
    SoftSynthCallback callbackAtSuspend;  // the engine's words at its first suspend
    void* contextAtSuspend;
    SoftSynthCallback callbackAtRelease;
    void* contextAtRelease;
};

typedef EngineJournal*(__cdecl* EngineJournalProc)();
constexpr const char* engineJournalExport = "ShellEngineJournal";

}  // namespace shell_test
