#include "module/EngineModule.h"

#include <windows.h>

namespace module {

LoadResult loadEngineModule(EngineLoader& loader, const char* path)
{
    loader.engine = nullptr;
    loader.module = nullptr;
    loader.hostLink = nullptr;
    if (path == nullptr)
        return LoadResult::LibraryFailed;

    HMODULE library = LoadLibraryA(path);
    loader.module = library;
    const auto createSoftSynth = findExport<CreateSoftSynthProc>(library, "CreateSoftSynth");
    const auto createPluginSoftSynth = findExport<CreatePluginSoftSynthProc>(library, "CreatePluginSoftSynth");
    if (createSoftSynth == nullptr && createPluginSoftSynth == nullptr)
        return LoadResult::LibraryFailed;

    try {
        if (createPluginSoftSynth != nullptr)
            createPluginSoftSynth(&loader);
        else
            loader.engine = createSoftSynth(static_cast<int32_t>(loader.createFlag), loader.createValue);
    } catch (...) {
        // Whatever a failing factory left in the record cannot be trusted:
        // neither the engine nor a link it may have stored is ever called.
        loader.engine = nullptr;
        loader.hostLink = nullptr;
    }
    return loader.engine != nullptr ? LoadResult::Loaded : LoadResult::FactoryFailed;
}

}  // namespace module

// Gives back what loading produced: the engine object first, then its module.
void EngineLoader::unload()
{
    if (engine != nullptr) {
        SoftSynth* const released = engine;
        engine = nullptr;
        released->release();
    }
    if (module != nullptr) {
        HMODULE const library = static_cast<HMODULE>(module);
        module = nullptr;
        FreeLibrary(library);
    }
}
