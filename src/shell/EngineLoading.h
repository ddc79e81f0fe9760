// Loading the engine for a plug-in instance: in the host's process, or in an
// engine host of its own, which the instance must then give idle calls.
#pragma once

#include "EngineLoader.h"

namespace remote {
class RemoteEngine;
}

namespace shell {

// Fills the loader's engine, module and host link as EngineLoader::load
// does, telling the user of any failure once. Answers the remote engine when
// the engine runs in its own process (the loader then holds no module), null
// otherwise.
remote::RemoteEngine* loadEngine(EngineLoader& loader);

}  // namespace shell
