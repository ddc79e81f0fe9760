// Locates the engine module (registry value, else beside the plug-in), loads
// it and asks its factory for the engine object. Every failure is told to the
// user once and leaves `engine` null; nothing here throws to the caller.
#include "EngineLoader.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "SharedString.h"
#include "foundation/ModuleState.h"
#include "foundation/RegistryAccess.h"
#include "foundation/RegistryException.h"
#include "module/EngineModule.h"
#include "remote/RemoteEngine.h"
#include "shell/EngineLoadTexts.h"
#include "shell/EngineLoading.h"
#include "shell/EngineProcessChoice.h"

using Korvanta::SharedString;

namespace {

using shell::defaultEngineName;
using shell::engineKeyPath;
using shell::engineSuffix;
using shell::factoryFailedFormat;
using shell::libraryFailedFormat;
using shell::loadErrorCaption;

// The engine path stored under the root, or the empty text. Anything going
// wrong in the read (missing key or value, another value type, an exception
// of any kind) counts as no value.
SharedString readEnginePath(const char* valueName, bool currentUser)
{
    try {
        return Korvanta::readRegistryString(engineKeyPath, valueName, "", currentUser);
    } catch (Korvanta::registry_exception* error) {
        delete error;
    } catch (...) {
    }
    return SharedString();
}

// The plug-in module's file name without its four-character extension; a
// name too short to carry one gives the empty text.
SharedString derivedEngineName()
{
    SharedString fileName = Korvanta::moduleFileName();
    const int32_t length = fileName.getLength();
    return length < 4 ? SharedString() : fileName.left(length - 4);
}

// What the factory produced when the engine runs in an engine host of its own.
remote::RemoteEngine* launchRemote(EngineLoader& loader, const SharedString& path,
                                   const shell::EngineProcessChoice& choice, const char* givenName)
{
    remote::LaunchSettings settings;
    settings.hostProgram = choice.hostProgram.c_str();
    settings.enginePath = path.c_str();
    settings.engineName = loader.name != nullptr ? loader.name : "";
    settings.createFlag = loader.createFlag;
    settings.createValue = loader.createValue;
    settings.hostBits = choice.hostBits;
    settings.caption = loadErrorCaption;
    remote::LaunchFailure failure = remote::LaunchFailure::FactoryFailed;
    remote::RemoteEngine* const engine = remote::RemoteEngine::launch(settings, failure);
    loader.name = givenName;
    switch (failure) {
    case remote::LaunchFailure::None:
        loader.engine = engine;
        loader.hostLink = engine->hostLink();
        return engine;
    case remote::LaunchFailure::HostProgramFailed:
        EngineLoader::showLoadError(libraryFailedFormat, choice.hostProgram.c_str());
        return nullptr;
    case remote::LaunchFailure::LibraryFailed:
        EngineLoader::showLoadError(libraryFailedFormat, path.c_str());
        return nullptr;
    case remote::LaunchFailure::FactoryFailed:
        break;
    }
    EngineLoader::showLoadError(factoryFailedFormat, givenName != nullptr ? givenName : defaultEngineName);
    return nullptr;
}

}  // namespace

void EngineLoader::load()
{
    shell::loadEngine(*this);
}

remote::RemoteEngine* shell::loadEngine(EngineLoader& loader)
{
    loader.engine = nullptr;
    loader.module = nullptr;
    loader.hostLink = nullptr;
    const char* const givenName = loader.name;

    try {
        // The derived name lives only for this call: the factory may read it,
        // and `name` is given back as the caller set it, so it never dangles.
        SharedString derivedName;
        if (loader.name == nullptr) {
            derivedName = derivedEngineName();
            loader.name = derivedName.c_str();
        }

        SharedString path = readEnginePath(loader.name, true);
        if (path.isEmpty())
            path = readEnginePath(loader.name, false);
        if (path.isEmpty())
            path = Korvanta::moduleFolder() + loader.name + engineSuffix;

        // An engine of the other architecture, or any engine when the
        // musician asks for it, runs in an engine host of its own.
        const EngineProcessChoice choice = chooseEngineProcess(path);
        if (choice.ownProcess)
            return launchRemote(loader, path, choice, givenName);

        if (module::loadEngineModule(loader, path.c_str()) == module::LoadResult::LibraryFailed) {
            loader.name = givenName;
            EngineLoader::showLoadError(libraryFailedFormat, path.c_str());
            return nullptr;
        }
        loader.name = givenName;
    } catch (...) {
        // Out of memory while building the name or the path: nothing usable
        // was produced beyond the module, which unload frees.
        loader.name = givenName;
        loader.engine = nullptr;
        loader.hostLink = nullptr;
    }

    if (loader.engine == nullptr)
        EngineLoader::showLoadError(factoryFailedFormat, givenName != nullptr ? givenName : defaultEngineName);
    return nullptr;
}

void EngineLoader::showLoadError(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    try {
        SharedString text;
        text.formatV(format, arguments);
        MessageBoxA(nullptr, text.c_str(), loadErrorCaption, MB_ICONERROR | MB_OK);
    } catch (...) {
        // No memory for the message: the caption alone still tells the user
        // which plug-in failed.
        MessageBoxA(nullptr, "", loadErrorCaption, MB_ICONERROR | MB_OK);
    }
    va_end(arguments);
}
