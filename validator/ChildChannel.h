// Shared memory between the validator and its child: the check running, the
// last engine call made ("last call" breadcrumbs), a crash's exception code,
// and the results the child has finished. Survives the child's crash, so the
// parent can say what the engine was doing when it died.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Verdict.h"

namespace validator {

class ChildChannel {
public:
    // Parent: a new block whose handle the child inherits.
    static ChildChannel* create();
    // Child: the block behind an inherited handle; null when it cannot be mapped.
    static ChildChannel* open(uintptr_t handle);
    ~ChildChannel();

    uintptr_t handle() const { return reinterpret_cast<uintptr_t>(mapping); }

    // Parent, before starting a child.
    void reset();

    // Child side.
    void beginCheck(int32_t index);
    void addResult(const Verdict& verdict);
    void setLastCall(const char* text);
    // `where`: the module and offset of the faulting address, when known.
    void setCrash(uint32_t code, uintptr_t address, const char* where = "");

    // Parent side.
    int32_t currentCheck() const;
    uint32_t startedChecks() const;
    // Engine calls begun so far: a child that keeps making them is not hung.
    uint32_t engineCalls() const;
    std::string lastCall() const;
    uint32_t crashCode() const;
    uintptr_t crashAddress() const;
    std::string crashWhere() const;
    std::vector<Verdict> results() const;

private:
    struct Block;
    ChildChannel(void* mapping, Block* block) : mapping(mapping), block(block) {}
    void* mapping;
    Block* block;
};

// The channel of this child process, or null outside a child.
ChildChannel* activeChannel();
void setActiveChannel(ChildChannel* channel);

// Records the engine call about to be made, printf-style; cheap and
// allocation-free, so it may sit on the audio path.
void lastCall(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace validator
