// A plug-in factory that stores an engine and a link, then throws.
#include "engines/RecordingEngine.h"

SHELL_ENGINE_EXPORT void __cdecl CreatePluginSoftSynth(EngineLoader* loader)
{
    shell_test::pluginFactory(loader);
    throw std::runtime_error("engine initialisation failed");
}
