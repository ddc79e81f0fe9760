// Where the engine's MIDI out, parameter reports and service lookups go. Made
// on the audio thread during a block, they travel with that block's reply;
// made on any other thread (a control request, the engine's own window or
// threads), they wait here, in order, for the next reply of either channel.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "channel/ChannelLayout.h"

namespace enginehost {

class EventOutbox {
public:
    static constexpr uint32_t capacity = 8192;

    EventOutbox();
    ~EventOutbox();
    EventOutbox(const EventOutbox&) = delete;
    EventOutbox& operator=(const EventOutbox&) = delete;

    // The audio thread opens a block's reply list and closes it with the
    // number of events it took; events that did not fit are counted lost.
    void beginBlock(channel::EngineEvent* events, uint32_t eventCapacity);
    uint32_t endBlock(uint32_t& lost);

    void add(channel::EngineEvent event);

    // Moves waiting events, oldest first, into `events`. The audio thread
    // passes mayWait false and takes nothing while another thread holds the queue.
    uint32_t take(channel::EngineEvent* events, uint32_t room, bool mayWait);

    void setAudioThread(DWORD id) { audioThread.store(id); }
    // Where the plug-in reads how many events wait here.
    void setWaitingCounter(std::atomic<uint32_t>* counter) { waiting = counter; }

private:
    void publishCount();

    std::atomic<uint32_t>* waiting = nullptr;
    std::atomic<DWORD> audioThread{0};
    // The open block: only the audio thread touches these.
    channel::EngineEvent* blockEvents = nullptr;
    uint32_t blockCapacity = 0;
    uint32_t blockCount = 0;
    uint32_t blockLost = 0;
    std::atomic<bool> inBlock{false};

    CRITICAL_SECTION lock;
    std::vector<channel::EngineEvent> queue;  // a ring of `capacity`
    uint32_t head = 0;
    uint32_t count = 0;
};

}  // namespace enginehost
