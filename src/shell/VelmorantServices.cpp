// The service facets the engine finds through IKorvantaHost: the MIDI
// context, the transport notifier and the MIDI out, each answered by the
// bridge's parts over this instance's transport state.
#include "bridge/MidiOut.h"
#include "bridge/ServiceDirectory.h"
#include "bridge/TickArithmetic.h"
#include "shell/Velmorant.h"
#include "trace/TraceMessage.h"

void* Velmorant::get_interface(const char* name)
{
    switch (bridge::findService(name)) {
    case bridge::Service::MidiContext:
        return static_cast<Korvanta::MidiContext*>(this);
    case bridge::Service::TransportNotifier:
        return static_cast<Korvanta::MidiTransportNotifier*>(this);
    case bridge::Service::MidiOut: {
        IMidiOut* midiOut = this;
        // Trace text kept on purpose: debug-output readers match it.
        traceMessage("get_interface(IMidiOut) --> %p\n", static_cast<void*>(midiOut));
        return midiOut;
    }
    case bridge::Service::None:
        break;
    }
    return nullptr;
}

int32_t Velmorant::getTicksPerQuarter()
{
    return bridge::ticksPerQuarter;
}

double Velmorant::getTempo()
{
    return transport.time().tempo;
}

int32_t Velmorant::getTimeSigNumerator()
{
    return transport.time().timeSigNumerator;
}

int32_t Velmorant::getTimeSigDenominator()
{
    return transport.time().timeSigDenominator;
}

int32_t Velmorant::barBeatTickToTicks(int32_t bar, int32_t beat, int32_t tick)
{
    return bridge::barBeatTickToTicks(getTimeSigNumerator(), getTimeSigDenominator(), bar, beat, tick);
}

void Velmorant::ticksToBarBeatTick(int32_t ticks, int32_t* bar, int32_t* beat, int32_t* tick)
{
    bridge::ticksToBarBeatTick(getTimeSigNumerator(), getTimeSigDenominator(), ticks, bar, beat, tick);
}

void Velmorant::addListener(Korvanta::MidiTransportListener* listener)
{
    transport.addListener(listener);
}

void Velmorant::removeListener(Korvanta::MidiTransportListener* listener)
{
    transport.removeListener(listener);
}

int32_t Velmorant::isPlaying()
{
    return transport.playing() ? 1 : 0;
}

int32_t Velmorant::isCycleActive()
{
    return transport.cycleActive() ? 1 : 0;
}

double Velmorant::getSamplePosition()
{
    return transport.time().samplePos;
}

double Velmorant::getPpqPosition()
{
    return transport.time().ppqPos;
}

double Velmorant::getCycleStart()
{
    return transport.time().cycleStartPos;
}

double Velmorant::getCycleEnd()
{
    return transport.time().cycleEndPos;
}

void Velmorant::sendMidi(const unsigned char* midi, int32_t deltaFrames)
{
    bridge::sendMidiToHost(host, midi, deltaFrames);
}
