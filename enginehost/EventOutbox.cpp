#include "EventOutbox.h"

namespace enginehost {

EventOutbox::EventOutbox() : queue(capacity)
{
    InitializeCriticalSection(&lock);
}

EventOutbox::~EventOutbox()
{
    DeleteCriticalSection(&lock);
}

void EventOutbox::beginBlock(channel::EngineEvent* events, uint32_t eventCapacity)
{
    blockEvents = events;
    blockCapacity = eventCapacity;
    blockCount = 0;
    blockLost = 0;
    inBlock.store(true, std::memory_order_release);
}

uint32_t EventOutbox::endBlock(uint32_t& lost)
{
    inBlock.store(false, std::memory_order_release);
    // Room left in the block's reply goes to what waited meanwhile.
    if (blockCount < blockCapacity)
        blockCount += take(blockEvents + blockCount, blockCapacity - blockCount, false);
    lost = blockLost;
    return blockCount;
}

void EventOutbox::add(channel::EngineEvent event)
{
    if (inBlock.load(std::memory_order_acquire) && GetCurrentThreadId() == audioThread.load()) {
        if (blockCount < blockCapacity)
            blockEvents[blockCount++] = event;
        else
            ++blockLost;
        return;
    }
    EnterCriticalSection(&lock);
    if (count < capacity) {
        queue[(head + count) % capacity] = event;
        ++count;
    }
    publishCount();
    LeaveCriticalSection(&lock);
}

uint32_t EventOutbox::take(channel::EngineEvent* events, uint32_t room, bool mayWait)
{
    if (events == nullptr || room == 0)
        return 0;
    if (mayWait)
        EnterCriticalSection(&lock);
    else if (!TryEnterCriticalSection(&lock))
        return 0;
    const uint32_t taken = count < room ? count : room;
    for (uint32_t i = 0; i < taken; ++i)
        events[i] = queue[(head + i) % capacity];
    head = (head + taken) % capacity;
    count -= taken;
    publishCount();
    LeaveCriticalSection(&lock);
    return taken;
}

void EventOutbox::publishCount()
{
    if (waiting != nullptr)
        waiting->store(count, std::memory_order_release);
}

}  // namespace enginehost
