// The plug-in's side of an audio block: made by the plug-in, mapped by the
// engine host, and reached by the processing thread alone. The layout is the
// plug-in's own copy, never read back from the shared head.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "channel/ChannelLayout.h"
#include "channel/Handoff.h"
#include "channel/SharedSection.h"

namespace remote {

class AudioChannel {
public:
    AudioChannel() = default;
    AudioChannel(const AudioChannel&) = delete;
    AudioChannel& operator=(const AudioChannel&) = delete;

    // Makes the block under `name` (its events: the name with ".Request" and ".Reply").
    bool create(const std::string& name, const channel::AudioLayout& layout);

    const channel::AudioLayout& layout() const { return agreed; }
    const std::string& name() const { return blockName; }
    channel::AudioHead& head() const { return *static_cast<channel::AudioHead*>(section.data()); }
    channel::Command* commands() const { return at<channel::Command>(agreed.commandsOffset); }
    const channel::EngineEvent* events() const { return at<channel::EngineEvent>(agreed.eventsOffset); }
    float* samples(uint32_t channelIndex) const
    {
        return at<float>(agreed.audioOffset) + static_cast<size_t>(channelIndex) * agreed.frameCapacity;
    }
    const std::atomic<uint32_t>* parameterBits() const { return at<std::atomic<uint32_t>>(agreed.parametersOffset); }

    const channel::NamedEvent& requestEvent() const { return request; }
    const channel::NamedEvent& replyEvent() const { return reply; }

private:
    template <typename T>
    T* at(uint32_t offset) const
    {
        return reinterpret_cast<T*>(static_cast<uint8_t*>(section.data()) + offset);
    }

    channel::SharedSection section;
    channel::NamedEvent request;
    channel::NamedEvent reply;
    channel::AudioLayout agreed{};
    std::string blockName;
};

}  // namespace remote
