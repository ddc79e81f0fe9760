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
#include "shell/EngineLoadTexts.h"

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

template <typename Proc>
Proc findExport(HMODULE module, const char* name)
{
    // FARPROC goes through the generic function type so that the cast to the
    // real signature is explicit about discarding FARPROC's own.
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

void EngineLoader::load()
{
    engine = nullptr;
    module = nullptr;
    hostLink = nullptr;
    const char* const givenName = name;

    try {
        // The derived name lives only for this call: the factory may read it,
        // and `name` is given back as the caller set it, so it never dangles.
        SharedString derivedName;
        if (name == nullptr) {
            derivedName = derivedEngineName();
            name = derivedName.c_str();
        }

        SharedString path = readEnginePath(name, true);
        if (path.isEmpty())
            path = readEnginePath(name, false);
        if (path.isEmpty())
            path = Korvanta::moduleFolder() + name + engineSuffix;

        HMODULE library = LoadLibraryA(path.c_str());
        module = library;
        CreateSoftSynthProc createSoftSynth = nullptr;
        CreatePluginSoftSynthProc createPluginSoftSynth = nullptr;
        if (library != nullptr) {
            createSoftSynth = findExport<CreateSoftSynthProc>(library, "CreateSoftSynth");
            createPluginSoftSynth = findExport<CreatePluginSoftSynthProc>(library, "CreatePluginSoftSynth");
        }
        if (createSoftSynth == nullptr && createPluginSoftSynth == nullptr) {
            name = givenName;
            showLoadError(libraryFailedFormat, path.c_str());
            return;
        }

        try {
            if (createPluginSoftSynth != nullptr)
                createPluginSoftSynth(this);
            else
                engine = createSoftSynth(static_cast<int32_t>(createFlag), createValue);
        } catch (...) {
            // Whatever a failing factory left in the record cannot be trusted:
            // neither the engine nor a link it may have stored is ever called.
            engine = nullptr;
            hostLink = nullptr;
        }
        name = givenName;
    } catch (...) {
        // Out of memory while building the name or the path: nothing usable
        // was produced beyond the module, which unload frees.
        name = givenName;
        engine = nullptr;
        hostLink = nullptr;
    }

    if (engine == nullptr)
        showLoadError(factoryFailedFormat, givenName != nullptr ? givenName : defaultEngineName);
}

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
