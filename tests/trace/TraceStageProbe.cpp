// Stands in for a plug-in DLL: an exported entry that answers a record whose
// dispatcher reports back what it received, and traces its own module path.
#include <cstdint>

#include <windows.h>

#include "vst/VstAbi.h"

namespace {

HostCallback receivedCallback = nullptr;

intptr_t __cdecl probeDispatcher(EffectRecord*, int32_t opcode, int32_t index, intptr_t value, void*, float)
{
    return opcode * 10000 + index * 100 + value;
}

EffectRecord probeRecord = [] {
    EffectRecord record{};
    record.magic = kEffectMagic;
    record.dispatcherEntry = &probeDispatcher;
    return record;
}();

}  // namespace

extern "C" __declspec(dllexport) EffectRecord* __cdecl VSTPluginMain(HostCallback callback)
{
    receivedCallback = callback;
    char path[MAX_PATH] = {};
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<const char*>(&probeDispatcher), &self);
    GetModuleFileNameA(self, path, sizeof path);
    OutputDebugStringA(path);
    if (callback != nullptr)
        callback(&probeRecord, audioMasterVersion, 0, 0, nullptr, 0.0f);
    return &probeRecord;
}
