// Identity of the loaded module: its handle, file name and folder, and the
// application name with the registry root derived from it. Recorded once at
// process attach (LibraryEntry.cpp in the plug-in; tests call initModule
// themselves) and read-only afterwards.
#pragma once

#include <windows.h>

#include "SharedString.h"

namespace Korvanta {

// Acts only for DLL_PROCESS_ATTACH (reason 1); every other reason changes
// nothing. A null name counts as empty; a null or empty sub-name means none.
void initModule(const char* appName, HMODULE module, DWORD reason, const char* subName = nullptr);

HMODULE moduleHandle();

// Full path of the module file; empty when the system cannot report it.
SharedString modulePath();
// The module's folder with its final "\"; empty when the path is unknown.
SharedString moduleFolder();
// File name with extension (the part after the last "\"); empty when unknown.
SharedString moduleFileName();

// The folder recorded at attach, with its final "\".
SharedString getAppFolder();
// "Korvanta/<appName>/[<subName>/]" in "/" form.
SharedString appRelativePath();
// "Software\Korvanta\<appName>[\<subName>]", below HKCU or HKLM.
SharedString registryRoot();

}  // namespace Korvanta
