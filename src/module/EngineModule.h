// Loading an engine module and asking its factory for the engine object, the
// same way wherever the engine runs: in the host's process (the plug-in's
// loader) or in an engine host process of its own.
#pragma once

#include <cstdint>

#include "EngineLoader.h"
#include "module/ExportLookup.h"

namespace module {

enum class LoadResult {
    Loaded,         // the factory made an engine (loader.engine set)
    LibraryFailed,  // the library did not load, or exports neither factory
    FactoryFailed,  // the factory threw or made no engine
};

// Loads the library at `path` into loader.module, looks up both factories and
// calls exactly one inside a handler: "CreatePluginSoftSynth" with the record
// when exported, else "CreateSoftSynth" with the record's create flag and
// value. Resets engine, module and hostLink first; a library without either
// factory stays loaded for unload to free. A throwing factory leaves neither
// engine nor host link. Never throws.
LoadResult loadEngineModule(EngineLoader& loader, const char* path);

}  // namespace module
