// A plug-in factory that stores nothing.
#include "engines/RecordingEngine.h"

SHELL_ENGINE_EXPORT void __cdecl CreatePluginSoftSynth(EngineLoader*)
{
    shell_test::record(shell_test::CallPluginFactory);
}
