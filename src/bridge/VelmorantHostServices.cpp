// IKorvantaHost: the engine finds the other service facets by exact name.
#include <cstring>

#include "shell/Velmorant.h"
#include "trace/TraceMessage.h"

void* Velmorant::get_interface(const char* name)
{
    if (name == nullptr)
        return nullptr;
    if (std::strcmp(name, "Korvanta::MidiContext") == 0)
        return static_cast<Korvanta::MidiContext*>(this);
    if (std::strcmp(name, "Korvanta::MidiTransportNotifier") == 0)
        return static_cast<Korvanta::MidiTransportNotifier*>(this);
    if (std::strcmp(name, "IMidiOut") == 0) {
        IMidiOut* midiOut = this;
        traceMessage("get_interface(IMidiOut) --> %p\n", static_cast<void*>(midiOut));
        return midiOut;
    }
    return nullptr;
}
