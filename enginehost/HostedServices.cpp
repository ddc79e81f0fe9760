#include "HostedServices.h"

#include "EventOutbox.h"
#include "bridge/ServiceDirectory.h"
#include "bridge/TickArithmetic.h"

namespace enginehost {

namespace {

channel::EngineEvent serviceAsked(channel::ServiceKind kind)
{
    return {static_cast<uint32_t>(channel::EventKind::ServiceAsked), static_cast<int32_t>(kind), 0, 0};
}

}  // namespace

void* HostedServices::get_interface(const char* name)
{
    switch (bridge::findService(name)) {
    case bridge::Service::MidiContext:
        outbox.add(serviceAsked(channel::ServiceKind::MidiContext));
        return static_cast<Korvanta::MidiContext*>(this);
    case bridge::Service::TransportNotifier:
        outbox.add(serviceAsked(channel::ServiceKind::TransportNotifier));
        return static_cast<Korvanta::MidiTransportNotifier*>(this);
    case bridge::Service::MidiOut:
        outbox.add(serviceAsked(channel::ServiceKind::MidiOut));
        return static_cast<IMidiOut*>(this);
    case bridge::Service::None:
        break;
    }
    return nullptr;
}

int32_t HostedServices::getTicksPerQuarter()
{
    return bridge::ticksPerQuarter;
}

int32_t HostedServices::barBeatTickToTicks(int32_t bar, int32_t beat, int32_t tick)
{
    return bridge::barBeatTickToTicks(getTimeSigNumerator(), getTimeSigDenominator(), bar, beat, tick);
}

void HostedServices::ticksToBarBeatTick(int32_t ticks, int32_t* bar, int32_t* beat, int32_t* tick)
{
    bridge::ticksToBarBeatTick(getTimeSigNumerator(), getTimeSigDenominator(), ticks, bar, beat, tick);
}

void HostedServices::sendMidi(const unsigned char* midi, int32_t deltaFrames)
{
    if (midi == nullptr)
        return;
    outbox.add({static_cast<uint32_t>(channel::EventKind::MidiOut), deltaFrames, channel::bitsOf(midi), 0});
}

}  // namespace enginehost
