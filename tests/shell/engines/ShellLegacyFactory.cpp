// Exports only the older factory, which receives no loader and gives no host link.
#include "engines/RecordingEngine.h"

SHELL_ENGINE_EXPORT SoftSynth* __cdecl CreateSoftSynth(int32_t flag, int32_t value)
{
    return shell_test::legacyFactory(flag, value);
}
