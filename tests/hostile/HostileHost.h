// A randomized VST host. It drives the plug-in only through the exported
// entry and the effect record, draws every opcode, argument, buffer, event
// list, time record and chunk from one seed, and after every call checks that
// nothing was written outside (or into) the memory it lent, that the effect
// record is unchanged, that the requests the plug-in sent back were well
// formed, and that the audio it got is sound.
//
//     HostileHost host({seed});
//     host.open(stage.entry());
//     if (!host.run(4000)) report(host.seed(), host.callIndex(), host.failure());
//     host.close();
//
// One instance is open per host; the host callback finds the live host
// through a process-wide pointer, as the callback carries no user data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include "GuardedMemory.h"
#include "HostileRandom.h"
#include "vst/VstAbi.h"

namespace hostile_test {

struct HostileOptions {
    uint64_t seed = 1;
    // Describes every call on standard output before making it.
    bool verbose = false;
    // Above 0: the magnitude no sample of a replacing render may exceed.
    float maxAmplitude = 0.0f;
    // An engine that checks what the plug-in hands it: answers how often the
    // plug-in breached the engine contract, and the first breach.
    int32_t(__cdecl* engineBreaches)(const char** first) = nullptr;
    // The engine saves what it restored: a chunk saved, restored and saved
    // again comes back the same.
    bool chunksRoundTrip = true;
};

// The plug-in's three names for its entry; hosts use any of them, so each
// seed takes one of them in turn.
inline const char* entryNameFor(uint64_t seed)
{
    static const char* const names[] = {"VSTPluginMain", "main", "main_plugin"};
    return names[seed % 3];
}

// The exports of an engine that draws its misbehaviour from a seed.
typedef void(__cdecl* SeedEngineProc)(uint64_t seed);
typedef int32_t(__cdecl* EngineBreachesProc)(const char** first);

// Keeps the engine module loaded around one session, with its seed set when
// it draws misbehaviour from one: the plug-in's own load of the module then
// finds this one. Engines without those exports are only kept loaded.
class SeededEngine {
public:
    SeededEngine(const std::string& enginePath, uint64_t seed) : module(LoadLibraryA(enginePath.c_str()))
    {
        if (auto seedEngine = reinterpret_cast<SeedEngineProc>(procedure("SeedHostileEngine")))
            seedEngine(seed);
    }
    ~SeededEngine()
    {
        if (module != nullptr)
            FreeLibrary(module);
    }
    SeededEngine(const SeededEngine&) = delete;
    SeededEngine& operator=(const SeededEngine&) = delete;

    EngineBreachesProc breaches() const
    {
        return reinterpret_cast<EngineBreachesProc>(procedure("HostileEngineBreaches"));
    }

private:
    void* procedure(const char* name) const
    {
        return module != nullptr ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
    }

    HMODULE module;
};

class HostileHost {
public:
    explicit HostileHost(const HostileOptions& options);
    ~HostileHost();

    HostileHost(const HostileHost&) = delete;
    HostileHost& operator=(const HostileHost&) = delete;

    // Asks the entry for an instance; false when it gave none.
    bool open(VstPluginMainProc entry);
    // Makes `calls` more random calls; false at the first fault, which
    // failure() and callIndex() then describe.
    bool run(int64_t calls);
    // Sends "effClose"; false unless it answered 1 without a fault.
    bool close();

    uint64_t seed() const { return options.seed; }
    // Calls made so far; after a fault, the index of the failing call.
    int64_t callIndex() const { return failedCall >= 0 ? failedCall : callsMade; }
    const std::string& failure() const { return fault; }
    const std::string& lastCall() const { return description; }
    EffectRecord* record() const { return effect; }
    // The latest chunk the plug-in handed out, as copied by the host.
    const std::vector<uint8_t>& chunk() const { return lastChunk; }

    // "seed S, call N (description): failure" for messages.
    std::string report() const;

private:
    friend struct HostileCallback;
    intptr_t answer(EffectRecord* from, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

    void step();
    void dispatcherCall();
    void processingBlock();
    void parameterCall();
    void chunkCall();
    void windowCall();
    void secondInstance();
    void readBack(EffectRecord* from, int32_t index);

    // Runs one call into the plug-in with the crash and hang reporters told
    // what it is, then checks the lent memory and the record.
    template <typename Call>
    void into(Call&& call);
    void describe(const char* format, ...);
    void check();
    void fail(const std::string& what);

    VstEvents* eventList(int32_t frames);
    VstEvent* randomEvent(size_t index, int32_t frames);
    void chooseTime(int32_t frames);
    void mutate(std::vector<uint8_t>& bytes);
    char* hostText(const char* name);
    char* textBuffer(size_t size, const char* name, GuardedBlock** block);
    void* opaqueRecord(const char* name);
    void* speakerArrangement(const char* name);
    HWND hostWindow();
    void dropHostWindow();

    HostileOptions options;
    HostileRandom random;
    HostileRandom answers;  // the host's own answers: a stream apart from the calls
    VstPluginMainProc entry = nullptr;
    EffectRecord* effect = nullptr;
    EffectRecord* otherEffect = nullptr;
    bool constructing = false;
    EffectRecord recordAtOpen{};
    GuardedArena arena;
    std::string fault;
    std::string description;
    int64_t callsMade = 0;
    int64_t failedCall = -1;
    std::string failedDescription;
    std::vector<uint8_t> lastChunk;
    VstTimeInfo timeInfo{};
    bool timeAvailable = false;
    int32_t lastFrames = 0;
    intptr_t processLevel = 0;
    HWND window = nullptr;
    bool editorOpen = false;
};

// Once per process: an unhandled exception, a hardware exception inside a
// call into the plug-in, or (64-bit only) a call that runs longer than
// hangSeconds prints the seed, call index and call of the host in progress on
// standard error; the first and the last end the process.
void installCrashReporter(unsigned hangSeconds);

// Tells the reporters which call into the plug-in is in progress. leaveCall
// answers false when a hardware exception (access violation, trap, division
// by zero) was raised inside the call, whether or not something caught it.
void enterCall(uint64_t seed, int64_t call, const char* description);
bool leaveCall();

}  // namespace hostile_test
