// The plug-in library's entry point: records the module state at process
// attach before the host can call anything else.
#include <windows.h>

#include "foundation/ModuleState.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID)
{
    try {
        // The application name, kept as is: it names the registry root and the folders.
        Korvanta::initModule("Velmorant", module, reason, nullptr);
    } catch (...) {
        // Nothing may unwind into the loader; without its module state the
        // library cannot find its engine, so the load is refused.
        return reason == DLL_PROCESS_ATTACH ? FALSE : TRUE;
    }
    return TRUE;
}
