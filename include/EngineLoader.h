// The record that locates and loads the engine module. The plug-in fills the
// inputs and runs load; the engine module's plug-in factory receives the
// record and writes `engine` (and optionally `hostLink`) into it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "IHostLink.h"
#include "SoftSynth.h"

struct EngineLoader {
    const char* name;    // engine name; null asks load to derive it
    uint8_t createFlag;  // handed to CreateSoftSynth, widened to 32 bits
    uint8_t reserved[3];
    int32_t createValue;  // handed to CreateSoftSynth
    SoftSynth* engine;    // written by the factory; owned by the loader
    void* module;         // module handle of the engine module
    IHostLink* hostLink;  // written by the plug-in factory only; not owned

    // Implemented by the plug-in; engines only read and write the fields.
    void load();
    void unload();
    static void showLoadError(const char* format, ...);
};

#if defined(_WIN64)
static_assert(offsetof(EngineLoader, name) == 0, "EngineLoader::name at 0");
static_assert(offsetof(EngineLoader, createFlag) == 8, "EngineLoader::createFlag at 8");
static_assert(offsetof(EngineLoader, createValue) == 12, "EngineLoader::createValue at 12");
static_assert(offsetof(EngineLoader, engine) == 16, "EngineLoader::engine at 16");
static_assert(offsetof(EngineLoader, module) == 24, "EngineLoader::module at 24");
static_assert(offsetof(EngineLoader, hostLink) == 32, "EngineLoader::hostLink at 32");
static_assert(sizeof(EngineLoader) == 40, "EngineLoader is 40 bytes");
#else
static_assert(offsetof(EngineLoader, name) == 0, "EngineLoader::name at 0");
static_assert(offsetof(EngineLoader, createFlag) == 4, "EngineLoader::createFlag at 4");
static_assert(offsetof(EngineLoader, createValue) == 8, "EngineLoader::createValue at 8");
static_assert(offsetof(EngineLoader, engine) == 12, "EngineLoader::engine at 12");
static_assert(offsetof(EngineLoader, module) == 16, "EngineLoader::module at 16");
static_assert(offsetof(EngineLoader, hostLink) == 20, "EngineLoader::hostLink at 20");
static_assert(sizeof(EngineLoader) == 24, "EngineLoader is 24 bytes");
#endif

// Factory exports of an engine module (cdecl, undecorated names).
// "CreatePluginSoftSynth" stores the engine (and optionally a host link) in the
// record; its return value is not used. "CreateSoftSynth" answers the engine.
typedef void(__cdecl* CreatePluginSoftSynthProc)(EngineLoader* loader);
typedef SoftSynth*(__cdecl* CreateSoftSynthProc)(int32_t flag, int32_t value);

// What the plug-in puts in the record's createFlag and createValue, and so
// hands to "CreateSoftSynth".
constexpr uint8_t engineCreateFlag = 0;
constexpr int32_t engineCreateValue = 128;

// Optional export "SoftSynthSampleAccurate": answers 1 when the engine renders
// the same samples whatever block sizes the host splits a run into (events at
// the same sample positions), 0 or absent when it does not promise that.
typedef int32_t(__cdecl* SoftSynthSampleAccurateProc)();
