// Which processor a module file is built for, read from its PE header
// without loading it: an engine of the other architecture than the plug-in
// cannot be loaded into the host's process and runs in a process of its own.
#pragma once

#include <cstdint>

namespace module {

enum class Machine {
    Unknown,  // not readable, not a PE image, or another processor
    X86,      // IMAGE_FILE_MACHINE_I386
    X64,      // IMAGE_FILE_MACHINE_AMD64
};

Machine readModuleMachine(const char* path);

// The architecture this code is compiled for.
constexpr Machine ownMachine()
{
#if defined(_WIN64)
    return Machine::X64;
#else
    return Machine::X86;
#endif
}

}  // namespace module
