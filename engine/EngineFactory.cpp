// The engine module's exported factories (cdecl, undecorated through the
// .def file). Neither lets an exception or a failed allocation escape.
#include <new>

#include "EngineLoader.h"
#include "SynthEngine.h"

extern "C" void __cdecl CreatePluginSoftSynth(EngineLoader* loader)
{
    if (loader == nullptr) {
        return;
    }
    engine::SynthEngine* synth = new (std::nothrow) engine::SynthEngine();
    if (synth == nullptr) {
        return;
    }
    loader->engine = synth;
    loader->hostLink = synth->hostLink();
}

// The older factory: an engine without host services (no MIDI output, no
// transport); the arguments carry nothing this engine needs.
extern "C" SoftSynth* __cdecl CreateSoftSynth(int32_t, int32_t)
{
    return new (std::nothrow) engine::SynthEngine();
}

// Every piece of timed work is placed on the engine's own sample clock (see
// SynthEngine::render), so the output does not depend on the host's block sizes.
extern "C" int32_t __cdecl SoftSynthSampleAccurate()
{
    return 1;
}
