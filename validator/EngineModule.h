// The engine module under test, loaded the way the plug-in loads it: its
// factories and its optional exports.
#pragma once

#include <string>

#include "EngineLoader.h"
#include "SoftSynth.h"

namespace validator {

class EngineModule {
public:
    // False with `error` set when the library does not load or exports no factory.
    bool load(const std::string& path, std::string& error);
    ~EngineModule();

    void* handle() const { return module; }
    const std::string& path() const { return modulePath; }
    bool hasPluginFactory() const { return createPlugin != nullptr; }
    bool hasLegacyFactory() const { return createLegacy != nullptr; }
    // The optional export "SoftSynthSampleAccurate" answered 1.
    bool declaresSampleAccurate() const;

    CreatePluginSoftSynthProc createPlugin = nullptr;
    CreateSoftSynthProc createLegacy = nullptr;

private:
    void* module = nullptr;
    std::string modulePath;
};

// The module of this child process (loaded once, before the first check).
EngineModule& engineModule();

}  // namespace validator
