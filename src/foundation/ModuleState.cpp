#include "foundation/ModuleState.h"

namespace Korvanta {

namespace {

// Written only at process attach, which the loader serialises; read-only after.
// Constructed empty before any entry point runs, released in reverse order.
HMODULE recordedModule = nullptr;
SharedString appName;
SharedString appSubName;
SharedString appFolder;
SharedString appRegistryRoot;

// Until a handle is recorded, the module is the one this code was linked into
// (an executable, or a library whose entry point has not yet run).
HMODULE currentModule()
{
    if (recordedModule)
        return recordedModule;
    HMODULE own = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&currentModule), &own);
    return own;
}

}  // namespace

void initModule(const char* name, HMODULE module, DWORD reason, const char* subName)
{
    if (reason != DLL_PROCESS_ATTACH)
        return;

    // Everything is built before anything is recorded, so that an allocation
    // failure leaves the previous state whole.
    SharedString newName(name);
    SharedString newSubName(subName);
    // The registry root Software\Korvanta\<name>, kept as is: settings already live there.
    SharedString root("Software\\");
    root += "Korvanta\\";
    root += newName;
    if (!newSubName.isEmpty()) {
        root += '\\';
        root += newSubName;
    }
    HMODULE previous = recordedModule;
    recordedModule = module;
    SharedString folder;
    try {
        folder = moduleFolder();
    } catch (...) {
        recordedModule = previous;
        throw;
    }

    appName = newName;
    appSubName = newSubName;
    appFolder = folder;
    appRegistryRoot = root;
}

HMODULE moduleHandle()
{
    return recordedModule;
}

SharedString modulePath()
{
    HMODULE module = currentModule();
    // MAX_PATH first; a longer path is asked for again in a larger buffer
    // rather than handed out truncated.
    for (DWORD capacity = MAX_PATH; capacity <= 4 * 32768; capacity *= 4) {
        SharedString path;
        char* buffer = path.getBufferSetLength(int32_t(capacity));
        DWORD length = GetModuleFileNameA(module, buffer, capacity);
        if (length == 0)
            return SharedString();
        if (length < capacity) {
            path.releaseBuffer(int32_t(length));
            return path;
        }
    }
    return SharedString();
}

SharedString moduleFolder()
{
    SharedString path = modulePath();
    int32_t slash = path.reverseFind('\\');
    return slash < 0 ? path : path.left(slash + 1);
}

SharedString moduleFileName()
{
    SharedString path = modulePath();
    int32_t slash = path.reverseFind('\\');
    return slash < 0 ? SharedString() : path.mid(slash + 1);
}

SharedString getAppFolder()
{
    return appFolder;
}

SharedString appRelativePath()
{
    SharedString path("Korvanta");  // the folder name, kept as is
    if (!appName.isEmpty()) {
        path += '/';
        path += appName;
        if (!appSubName.isEmpty()) {
            path += '/';
            path += appSubName;
        }
    }
    path += '/';
    return path;
}

SharedString registryRoot()
{
    return appRegistryRoot;
}

}  // namespace Korvanta
