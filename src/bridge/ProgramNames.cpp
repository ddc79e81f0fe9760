#include "bridge/ProgramNames.h"

#include <cstddef>
#include <cstdio>

#include "vst/VstAbi.h"

namespace bridge {

namespace {

constexpr size_t programNameSize = kVstProgramNameSize;  // the host's buffer, terminator included

}  // namespace

bool writeProgramName(int32_t index, char* text)
{
    if (static_cast<uint32_t>(index) >= static_cast<uint32_t>(programCount) || text == nullptr)
        return false;
    // The name format is kept as is: hosts and saved projects show these names.
    std::snprintf(text, programNameSize, "Prg %d", static_cast<int>(index));
    return true;
}

}  // namespace bridge
