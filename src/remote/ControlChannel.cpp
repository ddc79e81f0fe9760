#include "remote/ControlChannel.h"

#include <cstring>

namespace remote {

ControlChannel::ControlChannel()
{
    InitializeCriticalSection(&lock);
}

ControlChannel::~ControlChannel()
{
    DeleteCriticalSection(&lock);
}

bool ControlChannel::create(const std::string& name)
{
    if (!section.create(name.c_str(), sizeof(channel::ControlBlock)))
        return false;
    block = static_cast<channel::ControlBlock*>(section.data());
    block->magic = channel::controlMagic;
    block->version = channel::protocolVersion;
    block->blockSize = sizeof(channel::ControlBlock);
    block->windowSize = channel::controlWindowSize;
    block->pluginProcessId = GetCurrentProcessId();
    return requestEvent.create((name + ".Request").c_str()) && replyEvent.create((name + ".Reply").c_str());
}

uint32_t ControlChannel::eventsWaiting() const
{
    return block != nullptr ? block->eventsWaiting.load(std::memory_order_acquire) : 0;
}

ControlChannel::Call::Call(ControlChannel& channel) : channel(channel)
{
    EnterCriticalSection(&channel.lock);
    channel.block->request = {};
}

ControlChannel::Call::~Call()
{
    LeaveCriticalSection(&channel.lock);
}

uint32_t ControlChannel::Call::send(const void* bytes, uint32_t count)
{
    const uint32_t taken = count < channel::controlWindowSize ? count : channel::controlWindowSize;
    if (taken > 0 && bytes != nullptr)
        std::memcpy(channel.block->window, bytes, taken);
    channel.block->request.windowBytes = taken;
    return taken;
}

ControlChannel::Outcome ControlChannel::Call::run(void* process, uint32_t timeoutMs)
{
    channel::ControlBlock& block = *channel.block;
    const uint32_t sequence = ++channel.sequence;
    block.requestSeq.store(sequence, std::memory_order_release);
    channel.requestEvent.set();

    HANDLE handles[2] = {channel.replyEvent.handle(), process};
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (block.replySeq.load(std::memory_order_acquire) == sequence) {
            answer = block.reply;
            return Outcome::Answered;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return Outcome::TimedOut;
        const DWORD woken =
            MsgWaitForMultipleObjects(2, handles, FALSE, static_cast<DWORD>(deadline - now), QS_SENDMESSAGE);
        if (woken == WAIT_OBJECT_0 + 1) {
            // The answer may have come just before the end.
            if (block.replySeq.load(std::memory_order_acquire) == sequence) {
                answer = block.reply;
                return Outcome::Answered;
            }
            return Outcome::Ended;
        }
        if (woken == WAIT_OBJECT_0 + 2) {
            // Messages sent to this thread's windows (by the engine's window,
            // a child of the host's) are handled; posted ones wait for the host.
            MSG message;
            PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        } else if (woken == WAIT_FAILED) {
            return Outcome::Ended;
        }
    }
}

uint32_t ControlChannel::Call::windowBytes() const
{
    return answer.windowBytes < channel::controlWindowSize ? answer.windowBytes : channel::controlWindowSize;
}

uint32_t ControlChannel::Call::eventCount() const
{
    return answer.eventCount < channel::controlEventCapacity ? answer.eventCount : channel::controlEventCapacity;
}

}  // namespace remote
