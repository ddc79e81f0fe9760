#include "EngineModule.h"

#include <windows.h>

#include "ChildChannel.h"
#include "module/ExportLookup.h"

namespace validator {

using module::findExport;

bool EngineModule::load(const std::string& path, std::string& error)
{
    modulePath = path;
    lastCall("LoadLibrary(\"%s\")", path.c_str());
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    module = LoadLibraryA(path.c_str());
    const DWORD loadError = GetLastError();
    SetErrorMode(previousMode);
    if (module == nullptr) {
        error = "the library does not load (error " + std::to_string(loadError) + ")";
        return false;
    }
    createPlugin = findExport<CreatePluginSoftSynthProc>(module, "CreatePluginSoftSynth");
    createLegacy = findExport<CreateSoftSynthProc>(module, "CreateSoftSynth");
    if (createPlugin == nullptr && createLegacy == nullptr) {
        error = "the library exports neither CreatePluginSoftSynth nor CreateSoftSynth";
        return false;
    }
    return true;
}

EngineModule::~EngineModule()
{
    if (module != nullptr) {
        FreeLibrary(static_cast<HMODULE>(module));
    }
}

bool EngineModule::declaresSampleAccurate() const
{
    SoftSynthSampleAccurateProc answer = findExport<SoftSynthSampleAccurateProc>(module, "SoftSynthSampleAccurate");
    if (answer == nullptr) {
        return false;
    }
    lastCall("SoftSynthSampleAccurate()");
    return answer() == 1;
}

EngineModule& engineModule()
{
    static EngineModule module;
    return module;
}

}  // namespace validator
