// The engine host's main thread: it maps the plug-in's control block, loads
// the engine as the plug-in would, and answers one request at a time while
// it pumps the window messages of the engine's editor. It ends the process
// when the plug-in releases the engine or the plug-in's process ends.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "AudioServer.h"
#include "EngineLoader.h"
#include "EventOutbox.h"
#include "HostedServices.h"
#include "bridge/BridgeHost.h"
#include "channel/ChannelLayout.h"
#include "channel/Handoff.h"
#include "channel/SharedSection.h"

namespace Korvanta {
class StreamBuffer;
}

namespace enginehost {

class ControlServer final : private bridge::BridgeHost {
public:
    ControlServer();
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Maps the control block named `channelName` and watches the process
    // `parentId`; false when either cannot be reached.
    bool open(const char* channelName, DWORD parentId);
    // Serves requests until the engine is released; answers the exit code.
    int run();

private:
    void serve();
    void answer(const channel::ControlRequest& request, channel::ControlReply& reply);
    void load(const channel::ControlRequest& request, channel::ControlReply& reply);
    void engineText(const channel::ControlRequest& request, channel::ControlReply& reply);
    void parameterText(const channel::ControlRequest& request, channel::ControlReply& reply);
    void saveState(channel::ControlReply& reply);
    void saveStatePart(const channel::ControlRequest& request, channel::ControlReply& reply);
    void loadStatePart(const channel::ControlRequest& request, channel::ControlReply& reply);
    void loadStateDone(const channel::ControlRequest& request);
    void mapAudio(const channel::ControlRequest& request, channel::ControlReply& reply);
    void release();
    uint32_t copyOut(const void* bytes, uint32_t count);

    // The engine's report of a parameter change: outside a host write its
    // value is written back and the report goes to the plug-in.
    static void __cdecl engineCallback(int32_t index, int32_t request, void* context);
    // BridgeHost: only automate is used, by the echo guard.
    const VstTimeInfo* requestTimeInfo(int32_t) override { return nullptr; }
    int32_t requestProcessLevel() override { return 0; }
    void automate(int32_t index, float value) override;
    intptr_t sendEvents(VstEvents*) override { return 0; }

    channel::SharedSection section;
    channel::ControlBlock* block = nullptr;
    channel::NamedEvent requestEvent;
    channel::NamedEvent replyEvent;
    HANDLE parent = nullptr;
    uint32_t served = 0;
    bool released = false;

    EngineLoader loader{};
    EngineAccess access;
    EventOutbox outbox;
    HostedServices services;
    AudioServer audio;
    Korvanta::StreamBuffer* savedState = nullptr;
    std::vector<uint8_t> incomingState;
};

}  // namespace enginehost
