// The plug-in's side of the control block: one request at a time from any of
// the host's non-audio threads, answered while the waiting thread still
// handles the window messages sent to it (the engine's editor window is a
// child of the host's, so the two processes' window threads talk), and
// abandoned when the engine host's process ends or does not answer in time.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "channel/ChannelLayout.h"
#include "channel/Handoff.h"
#include "channel/SharedSection.h"

namespace remote {

class ControlChannel {
public:
    ControlChannel();
    ~ControlChannel();
    ControlChannel(const ControlChannel&) = delete;
    ControlChannel& operator=(const ControlChannel&) = delete;

    // Makes the block and its events under `name`.
    bool create(const std::string& name);

    enum class Outcome { Answered, Ended, TimedOut };

    // One request and its answer, holding the channel for its lifetime so
    // that the answer's window and events stay this caller's to read.
    class Call {
    public:
        explicit Call(ControlChannel& channel);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

        channel::ControlRequest& request() { return channel.block->request; }
        // Copies `count` bytes into the window (cut to its size); answers the count taken.
        uint32_t send(const void* bytes, uint32_t count);
        Outcome run(void* process, uint32_t timeoutMs);

        const channel::ControlReply& reply() const { return answer; }
        // The reply's window bytes, checked against the window's size.
        const uint8_t* window() const { return channel.block->window; }
        uint32_t windowBytes() const;
        // The reply's events, at most the block's capacity.
        const channel::EngineEvent* events() const { return channel.block->events; }
        uint32_t eventCount() const;

    private:
        ControlChannel& channel;
        channel::ControlReply answer{};
    };

    // Events the engine host holds for the next reply (made outside a request).
    uint32_t eventsWaiting() const;

private:
    channel::SharedSection section;
    channel::ControlBlock* block = nullptr;
    channel::NamedEvent requestEvent;
    channel::NamedEvent replyEvent;
    CRITICAL_SECTION lock;
    uint32_t sequence = 0;
};

}  // namespace remote
