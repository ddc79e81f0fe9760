// The engine host's processing thread: it waits for the plug-in's block,
// replays the block's commands into the engine, renders into the shared
// channels and answers, at time-critical priority. Nothing here allocates
// once the block is mapped.
#pragma once

#include <windows.h>

#include <cstdint>

#include "SoftSynth.h"
#include "bridge/ParameterEchoGuard.h"
#include "channel/ChannelLayout.h"
#include "channel/Handoff.h"
#include "channel/SharedSection.h"

namespace enginehost {

class EventOutbox;
class HostedServices;

// What the processing thread shares with the control thread.
struct EngineAccess {
    SoftSynth* engine = nullptr;
    bridge::ParameterEchoGuard guard;  // raised while a host write is inside the engine
};

class AudioServer {
public:
    AudioServer(EngineAccess& access, HostedServices& services, EventOutbox& outbox);
    ~AudioServer() { stop(); }
    AudioServer(const AudioServer&) = delete;
    AudioServer& operator=(const AudioServer&) = delete;

    // Maps the block the plug-in made under `name` (its events are the name
    // with ".Request" and ".Reply"), checks its head and starts the thread.
    // False leaves no block mapped.
    bool map(const char* name, uint32_t size);
    // Ends the thread after the block it may be in, and unmaps.
    void stop();

    // The engine's values into the shared table, all or one.
    void refreshParameters();
    void refreshParameter(int32_t index);

private:
    static DWORD WINAPI threadMain(void* self);
    void run();
    void serveBlock();
    void replay(const channel::Command& command);

    EngineAccess& access;
    HostedServices& services;
    EventOutbox& outbox;

    channel::SharedSection section;
    channel::NamedEvent requestEvent;
    channel::NamedEvent replyEvent;
    HANDLE quit = nullptr;
    HANDLE thread = nullptr;
    channel::AudioLayout layout{};
    channel::AudioHead* head = nullptr;
    float* channels[channel::maxChannels] = {};
    uint32_t refreshCursor = 0;
};

}  // namespace enginehost
