#include "remote/AudioChannel.h"

namespace remote {

bool AudioChannel::create(const std::string& name, const channel::AudioLayout& layout)
{
    if (!section.create(name.c_str(), layout.totalSize) || !request.create((name + ".Request").c_str()) ||
        !reply.create((name + ".Reply").c_str()))
        return false;
    agreed = layout;
    blockName = name;
    channel::AudioHead& shared = head();
    shared.magic = channel::audioMagic;
    shared.version = channel::protocolVersion;
    shared.totalSize = layout.totalSize;
    shared.frameCapacity = layout.frameCapacity;
    shared.channelCount = layout.channelCount;
    shared.commandCapacity = layout.commandCapacity;
    shared.eventCapacity = layout.eventCapacity;
    shared.parameterCount = layout.parameterCount;
    return true;
}

}  // namespace remote
