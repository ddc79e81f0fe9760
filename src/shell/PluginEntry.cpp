// The plug-in's exported entry, also exported as "main" and "main_plugin"
// (see Velmorant.def). A thin trampoline: ask the host's version, make one
// instance, hand over its effect record or null.
#include <new>

#include "shell/Velmorant.h"
#include "vst/VstAbi.h"

extern "C" EffectRecord* __cdecl VSTPluginMain(HostCallback hostCallback)
{
    // Without a callback there is no host to ask, and nothing to report to.
    if (hostCallback == nullptr)
        return nullptr;
    try {
        if (hostCallback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
            return nullptr;
        Velmorant* const instance = new (std::nothrow) Velmorant(hostCallback);
        if (instance == nullptr)
            return nullptr;
        if (!instance->hasEngine()) {
            delete instance;
            return nullptr;
        }
        return instance->getEffectRecord();
    } catch (...) {
        // No exception may unwind into the host's loader.
        return nullptr;
    }
}
