#include "bridge/ProgramNames.h"

#include <cstddef>
#include <cstdio>

namespace bridge {

namespace {

constexpr size_t programNameSize = 24;  // the host's buffer, terminator included

}  // namespace

bool writeProgramName(int32_t index, char* text)
{
    if (static_cast<uint32_t>(index) >= static_cast<uint32_t>(programCount) || text == nullptr)
        return false;
    std::snprintf(text, programNameSize, "Prg %d", static_cast<int>(index));
    return true;
}

}  // namespace bridge
