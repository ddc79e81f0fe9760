// Exports both factories; the plug-in must call only CreatePluginSoftSynth.
#include "engines/RecordingEngine.h"

SHELL_ENGINE_EXPORT void __cdecl CreatePluginSoftSynth(EngineLoader* loader)
{
    shell_test::pluginFactory(loader);
}

SHELL_ENGINE_EXPORT SoftSynth* __cdecl CreateSoftSynth(int32_t flag, int32_t value)
{
    return shell_test::legacyFactory(flag, value);
}
