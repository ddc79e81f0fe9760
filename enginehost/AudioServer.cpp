#include "AudioServer.h"

#include <cstring>
#include <string>

#include "EventOutbox.h"
#include "HostedServices.h"

namespace enginehost {

namespace {

using channel::bitsOf;
using channel::floatOf;

// After each block the engine's values of this many parameters, in turn,
// reach the table the plug-in answers the host's reads from.
constexpr uint32_t refreshPerBlock = 256;

// The engine host sleeps on the next request only after looking at it for
// this long: a host rendering ahead sends it at once.
constexpr uint32_t spinMicroseconds = 60;

}  // namespace

AudioServer::AudioServer(EngineAccess& access, HostedServices& services, EventOutbox& outbox)
    : access(access), services(services), outbox(outbox)
{
}

bool AudioServer::map(const char* name, uint32_t size)
{
    stop();
    if (name == nullptr || size < sizeof(channel::AudioHead) || !section.open(name, size))
        return false;
    head = static_cast<channel::AudioHead*>(section.data());
    channel::AudioLayout agreed{};
    const bool valid = head->magic == channel::audioMagic && head->version == channel::protocolVersion &&
                       head->totalSize == size &&
                       channel::computeAudioLayout(head->frameCapacity, head->channelCount, head->commandCapacity,
                                                   head->eventCapacity, head->parameterCount, agreed) &&
                       agreed.totalSize == size;
    const std::string base(name);
    if (!valid || !requestEvent.open((base + ".Request").c_str()) || !replyEvent.open((base + ".Reply").c_str())) {
        stop();
        return false;
    }
    layout = agreed;
    uint8_t* const bytes = static_cast<uint8_t*>(section.data());
    for (uint32_t c = 0; c < layout.channelCount; ++c)
        channels[c] = reinterpret_cast<float*>(bytes + layout.audioOffset) + c * layout.frameCapacity;
    refreshCursor = 0;
    refreshParameters();

    quit = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread = quit != nullptr ? CreateThread(nullptr, 0, &AudioServer::threadMain, this, 0, nullptr) : nullptr;
    if (thread == nullptr) {
        stop();
        return false;
    }
    SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL);
    return true;
}

void AudioServer::stop()
{
    if (thread != nullptr) {
        SetEvent(quit);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        thread = nullptr;
    }
    if (quit != nullptr) {
        CloseHandle(quit);
        quit = nullptr;
    }
    requestEvent.close();
    replyEvent.close();
    section.close();
    head = nullptr;
    layout = {};
}

void AudioServer::refreshParameters()
{
    for (uint32_t i = 0; i < layout.parameterCount; ++i)
        refreshParameter(static_cast<int32_t>(i));
}

void AudioServer::refreshParameter(int32_t index)
{
    if (head == nullptr || access.engine == nullptr || index < 0 ||
        static_cast<uint32_t>(index) >= layout.parameterCount)
        return;
    float value = 0.0f;
    try {
        value = access.engine->getParameter(index);
    } catch (...) {
        return;
    }
    float* const table = reinterpret_cast<float*>(static_cast<uint8_t*>(section.data()) + layout.parametersOffset);
    reinterpret_cast<std::atomic<uint32_t>*>(table)[index].store(bitsOf(value), std::memory_order_relaxed);
}

DWORD WINAPI AudioServer::threadMain(void* self)
{
    try {
        static_cast<AudioServer*>(self)->run();
    } catch (...) {
    }
    return 0;
}

void AudioServer::run()
{
    outbox.setAudioThread(GetCurrentThreadId());
    uint32_t served = head->replySeq.load(std::memory_order_acquire);
    const channel::AwaitSettings settings{spinMicroseconds, INFINITE, quit};
    for (;;) {
        const uint32_t next = served + 1;
        if (channel::await(head->requestSeq, next, head->hostWaiting, requestEvent, settings) !=
            channel::AwaitResult::Arrived)
            return;
        serveBlock();
        served = next;
        channel::publish(head->replySeq, next, head->pluginWaiting, replyEvent);
    }
}

void AudioServer::serveBlock()
{
    uint8_t* const bytes = static_cast<uint8_t*>(section.data());
    channel::EngineEvent* const events = reinterpret_cast<channel::EngineEvent*>(bytes + layout.eventsOffset);
    const channel::Command* const commands = reinterpret_cast<const channel::Command*>(bytes + layout.commandsOffset);

    outbox.beginBlock(events, layout.eventCapacity);
    services.setTime(head->time);
    const uint32_t count = head->commandCount < layout.commandCapacity ? head->commandCount : layout.commandCapacity;
    for (uint32_t i = 0; i < count; ++i)
        replay(commands[i]);

    const auto kind = static_cast<channel::BlockKind>(head->kind);
    const int32_t frames = head->frames;
    SoftSynth* const engine = access.engine;
    if (engine != nullptr && (kind == channel::BlockKind::Replacing || kind == channel::BlockKind::Adding) &&
        frames >= 0 && static_cast<uint32_t>(frames) <= layout.frameCapacity) {
        if (kind == channel::BlockKind::Replacing) {
            for (uint32_t c = 0; c < layout.channelCount; ++c)
                std::memset(channels[c], 0, sizeof(float) * static_cast<size_t>(frames));
        }
        try {
            if (kind == channel::BlockKind::Replacing)
                engine->renderReplacing(channels, frames);
            else
                engine->renderAdding(channels, frames);
        } catch (...) {
        }
    }

    // A turn of the table, so that values the engine changed by itself reach
    // the plug-in within a few blocks even where there are many.
    const uint32_t parameters = layout.parameterCount;
    const uint32_t turn = parameters < refreshPerBlock ? parameters : refreshPerBlock;
    for (uint32_t i = 0; i < turn; ++i) {
        refreshParameter(static_cast<int32_t>(refreshCursor));
        refreshCursor = refreshCursor + 1 < parameters ? refreshCursor + 1 : 0;
    }

    uint32_t lost = 0;
    head->eventCount = outbox.endBlock(lost);
    head->lostEvents = lost;
    head->status = 0;
}

void AudioServer::replay(const channel::Command& command)
{
    SoftSynth* const engine = access.engine;
    if (engine == nullptr)
        return;
    try {
        switch (static_cast<channel::CommandKind>(command.kind)) {
        case channel::CommandKind::ReceiveMidi: {
            unsigned char message[4];
            std::memcpy(message, &command.b, sizeof message);
            engine->receiveMidi(message, command.a);
            break;
        }
        case channel::CommandKind::SetProcessMode:
            engine->setProcessMode(command.a);
            break;
        case channel::CommandKind::SetParameter: {
            bridge::ParameterEchoGuard::HostWrite write(access.guard);
            engine->setParameter(command.a, floatOf(command.b));
            refreshParameter(command.a);
            break;
        }
        case channel::CommandKind::TransportStart:
            services.listeners().onTransportStart(command.a);
            break;
        case channel::CommandKind::TransportStop:
            services.listeners().onTransportStop(command.a);
            break;
        case channel::CommandKind::Cycle:
            services.listeners().onCycle(command.a, static_cast<int32_t>(command.b));
            break;
        }
    } catch (...) {
        // An engine call that throws ends only itself, as it would have
        // ended only the host's call in the host's process.
    }
}

}  // namespace enginehost
