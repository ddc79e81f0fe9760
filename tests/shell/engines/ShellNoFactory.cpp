// A library that loads but exports neither factory.
#include "engines/RecordingEngine.h"

SHELL_ENGINE_EXPORT int32_t __cdecl NotAFactory()
{
    return 0;
}
