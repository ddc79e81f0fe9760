// Counts the heap and blocking calls a module makes, by pointing its import
// address table entries for them at counting hooks that forward to the real
// functions. Counting is off until armed, so only the calls made while the
// engine renders or takes MIDI are seen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace validator {

enum class CallKind { Allocation, Blocking };

struct CallCount {
    const char* function;
    CallKind kind;
    uint32_t count;
};

class ImportPatcher {
public:
    // Patches every import of `module` that has a hook (any imported DLL:
    // msvcrt, libstdc++-6 or the kernel). Restores them on destruction.
    explicit ImportPatcher(void* module);
    ~ImportPatcher();
    ImportPatcher(const ImportPatcher&) = delete;
    ImportPatcher& operator=(const ImportPatcher&) = delete;

    // Names of the imports patched, for reporting what could be watched.
    const std::vector<std::string>& patched() const { return patchedNames; }

    static void arm(bool on);
    static void resetCounts();
    // Functions called at least once while armed.
    static std::vector<CallCount> counts();
    static uint32_t total(CallKind kind);

private:
    struct Patch {
        void** slot;
        void* original;
    };
    std::vector<Patch> patches;
    std::vector<std::string> patchedNames;
};

}  // namespace validator
