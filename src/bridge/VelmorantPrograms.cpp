// Programs are bare numbers the plug-in names itself; the engine keeps its
// whole state in the chunk, so it is not told of program changes.
#include <cstdio>

#include "shell/Velmorant.h"
#include "trace/TraceMessage.h"

namespace {

constexpr int32_t programCount = 512;
constexpr size_t programNameSize = 24;  // the host's buffer, terminator included

}  // namespace

void Velmorant::setProgram(int32_t program)
{
    curProgram = program;
    traceMessage("setProgram: %d\n", static_cast<int>(program));
}

void Velmorant::getProgramName(char* name)
{
    getProgramNameIndexed(0, getProgram(), name);
}

// Answers true when it wrote "Prg <index>"; an index outside 0 to 511 (or no
// buffer) leaves the host's buffer untouched. The category is not used.
bool Velmorant::getProgramNameIndexed(int32_t /*category*/, int32_t index, char* text)
{
    if (static_cast<uint32_t>(index) >= static_cast<uint32_t>(programCount) || text == nullptr)
        return false;
    std::snprintf(text, programNameSize, "Prg %d", static_cast<int>(index));
    return true;
}

// The plug-in offers no MIDI program names: the records stay as the host gave them.
int32_t Velmorant::getMidiProgramName(int32_t /*channel*/, MidiProgramName* /*midiProgramName*/)
{
    return 0;
}

int32_t Velmorant::getCurrentMidiProgram(int32_t /*channel*/, MidiProgramName* /*currentProgram*/)
{
    return -1;
}

int32_t Velmorant::getMidiProgramCategory(int32_t /*channel*/, MidiProgramCategory* /*category*/)
{
    return 0;
}

bool Velmorant::hasMidiProgramsChanged(int32_t /*channel*/)
{
    return false;
}

bool Velmorant::getMidiKeyName(int32_t /*channel*/, MidiKeyName* /*keyName*/)
{
    return false;
}
