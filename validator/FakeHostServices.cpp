#include "FakeHostServices.h"

#include <cstring>

namespace validator {

const char* const knownServiceNames[3] = {Korvanta::midiContextService, Korvanta::midiTransportNotifierService,
                                          Korvanta::midiOutService};

void* FakeHostServices::get_interface(const char* name)
{
    ++namesAsked;
    if (name == nullptr) {
        unknownNames.push_back("(null)");
        return nullptr;
    }
    if (std::strcmp(name, knownServiceNames[0]) == 0) {
        return static_cast<Korvanta::MidiContext*>(this);
    }
    if (std::strcmp(name, knownServiceNames[1]) == 0) {
        return static_cast<Korvanta::MidiTransportNotifier*>(this);
    }
    if (std::strcmp(name, knownServiceNames[2]) == 0) {
        return static_cast<IMidiOut*>(this);
    }
    unknownNames.push_back(std::string(name, strnlen(name, 64)));
    return nullptr;
}

int32_t FakeHostServices::barBeatTickToTicks(int32_t bar, int32_t beat, int32_t tick)
{
    return tick + ((bar - 1) * 4 + (beat - 1)) * Korvanta::ticksPerQuarterNote;
}

void FakeHostServices::ticksToBarBeatTick(int32_t ticks, int32_t* bar, int32_t* beat, int32_t* tick)
{
    const int32_t barTicks = 1920;
    const int32_t barIndex = (ticks < 0 ? ticks - (barTicks - 1) : ticks) / barTicks;
    const int32_t rest = ticks - barIndex * barTicks;
    if (bar != nullptr) {
        *bar = barIndex + 1;
    }
    if (beat != nullptr) {
        *beat = rest / Korvanta::ticksPerQuarterNote + 1;
    }
    if (tick != nullptr) {
        *tick = rest % Korvanta::ticksPerQuarterNote;
    }
}

void FakeHostServices::addListener(Korvanta::MidiTransportListener* listener)
{
    ++listenersAdded;
    if (processing) {
        ++listenerChangesWhileProcessing;
    }
    listeners.push_back(listener);
}

void FakeHostServices::removeListener(Korvanta::MidiTransportListener* listener)
{
    if (processing) {
        ++listenerChangesWhileProcessing;
    }
    for (size_t i = listeners.size(); i-- > 0;) {
        if (listeners[i] == listener) {
            listeners.erase(listeners.begin() + static_cast<std::ptrdiff_t>(i));
            ++listenersRemoved;
            return;
        }
    }
    ++removalsOfUnknownListeners;
}

void FakeHostServices::sendMidi(const unsigned char*, int32_t)
{
    if (processing) {
        ++midiSentInProcessing;
    } else {
        ++midiSentOutsideProcessing;
    }
}

void FakeHostServices::startTransport()
{
    playing = true;
    const int32_t tick = static_cast<int32_t>(getPpqPosition() * Korvanta::ticksPerQuarterNote);
    for (size_t i = 0; i < listeners.size(); ++i) {
        listeners[i]->onTransportStart(tick);
    }
}

void FakeHostServices::stopTransport()
{
    playing = false;
    const int32_t tick = static_cast<int32_t>(getPpqPosition() * Korvanta::ticksPerQuarterNote);
    for (size_t i = 0; i < listeners.size(); ++i) {
        listeners[i]->onTransportStop(tick);
    }
}

}  // namespace validator
