// The remote engine's processing-thread side: commands queued into the
// audio block, one round trip per block, and the answer's audio and events.
// Nothing here allocates, locks or makes a system call other than waking the
// engine host and waiting for its answer (or ending it when it hangs).
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "remote/RemoteEngine.h"
#include "remote/RemoteTexts.h"

namespace remote {

namespace {

using channel::bitsOf;
using channel::floatOf;

// The processing thread looks at the answer for half a block's length, within
// these bounds, before it sleeps on it. Sleeping costs a second wake-up, and
// on a busy machine waking the engine host alone can take longer than 200 µs
// (measured here with both processors taken: 60 to 300).
constexpr uint32_t shortestAnswerSpinMicroseconds = 200;
constexpr uint32_t longestAnswerSpinMicroseconds = 1000;
// Missing every deadline this long means the engine hangs: it is ended.
constexpr uint32_t hangLimitMs = 2000;
// A block's deadline in real time: four block lengths, within these bounds.
constexpr uint32_t shortestDeadlineMs = 10;
constexpr uint32_t longestDeadlineMs = 50;

// Marks the processing thread inside the channel for as long as it lives.
class Busy {
public:
    explicit Busy(std::atomic<int>& flag) : flag(flag) { flag.fetch_add(1, std::memory_order_seq_cst); }
    ~Busy() { flag.fetch_sub(1, std::memory_order_release); }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    std::atomic<int>& flag;
};

// `scale` times a block's length in seconds (4000: four blocks in
// milliseconds), within [shortest, longest]; `unknown` without a rate or block.
uint32_t scaledBlockLength(int32_t frames, float sampleRate, float scale, uint32_t shortest, uint32_t longest,
                           uint32_t unknown)
{
    if (!(sampleRate > 0.0f) || frames <= 0)
        return unknown;
    const float scaled = scale * static_cast<float>(frames) / sampleRate;
    if (!(scaled < static_cast<float>(longest)))
        return longest;
    return std::max(shortest, static_cast<uint32_t>(scaled));
}

}  // namespace

// An offline render waits for every block (silence there would be a wrong
// result), up to the hang limit; a real-time one gives up on a block soon.
uint32_t RemoteEngine::deadlineMs(int32_t frames) const
{
    if (processMode.load(std::memory_order_relaxed) == SoftSynthModeOffline)
        return hangLimitMs;
    return scaledBlockLength(frames, sampleRate, 4000.0f, shortestDeadlineMs, longestDeadlineMs, longestDeadlineMs);
}

// Half a block's length in microseconds.
uint32_t RemoteEngine::answerSpinMicroseconds(int32_t frames) const
{
    return scaledBlockLength(frames, sampleRate, 500000.0f, shortestAnswerSpinMicroseconds,
                             longestAnswerSpinMicroseconds, shortestAnswerSpinMicroseconds);
}

void RemoteEngine::snapshotTime(channel::TimeSnapshot& time)
{
    if (midiContext != nullptr) {
        time.tempo = midiContext->getTempo();
        time.numerator = midiContext->getTimeSigNumerator();
        time.denominator = midiContext->getTimeSigDenominator();
    }
    if (notifier != nullptr) {
        time.playing = notifier->isPlaying();
        time.cycleActive = notifier->isCycleActive();
        time.samplePosition = notifier->getSamplePosition();
        time.ppqPosition = notifier->getPpqPosition();
        time.cycleStart = notifier->getCycleStart();
        time.cycleEnd = notifier->getCycleEnd();
    }
}

void RemoteEngine::queue(const channel::Command& command)
{
    audioThread.store(GetCurrentThreadId(), std::memory_order_relaxed);
    Busy busy(audioBusy);
    // A stopped engine host hears nothing until it is started again, which
    // restores the engine's settings instead.
    if (health.load(std::memory_order_seq_cst) != Alive || audio == nullptr)
        return;
    if (late) {
        if (heldCount < held.size())
            held[heldCount++] = command;
        return;
    }
    if (queued >= audio->layout().commandCapacity && !flushCommands()) {
        if (late && heldCount < held.size())
            held[heldCount++] = command;
        return;
    }
    audio->commands()[queued++] = command;
}

bool RemoteEngine::flushCommands()
{
    Busy busy(audioBusy);
    if (health.load(std::memory_order_seq_cst) != Alive || audio == nullptr || late)
        return false;
    return roundTrip(channel::BlockKind::CommandsOnly, nullptr, 0, 0) == Trip::Answered;
}

RemoteEngine::Trip RemoteEngine::roundTrip(channel::BlockKind kind, float** outputs, int32_t offset, int32_t frames)
{
    channel::AudioHead& head = audio->head();
    snapshotTime(head.time);
    head.kind = static_cast<uint32_t>(kind);
    head.frames = frames;
    head.commandCount = queued;
    if (kind == channel::BlockKind::Adding && outputs != nullptr) {
        const uint32_t channels = std::min<uint32_t>(static_cast<uint32_t>(outputCount), audio->layout().channelCount);
        for (uint32_t c = 0; c < channels; ++c)
            std::memcpy(audio->samples(c), outputs[c] + offset, sizeof(float) * static_cast<size_t>(frames));
    }
    queued = 0;
    const uint32_t number = ++sent;
    channel::publish(head.requestSeq, number, head.hostWaiting, audio->requestEvent());

    const channel::AwaitSettings settings{answerSpinMicroseconds(frames), deadlineMs(frames), process.handle()};
    switch (channel::await(head.replySeq, number, head.pluginWaiting, audio->replyEvent(), settings)) {
    case channel::AwaitResult::Arrived:
        lateSince = 0;
        return takeAnswer(outputs, offset, frames, kind != channel::BlockKind::CommandsOnly) ? Trip::Answered
                                                                                             : Trip::Stopped;
    case channel::AwaitResult::Signalled:
        markStopped(texts::stopEnded);
        return Trip::Stopped;
    case channel::AwaitResult::TimedOut:
        break;
    }
    late = true;
    const uint32_t now = GetTickCount();
    if (lateSince == 0)
        lateSince = now != 0 ? now : 1;
    if (now - lateSince >= hangLimitMs) {
        process.kill();
        markStopped(texts::stopNoAnswer);
        return Trip::Stopped;
    }
    return Trip::Late;
}

// A late block's answer is taken when it comes: its audio was given up, but
// the engine's MIDI out and reports still reach the host, and the commands
// held meanwhile go with the next block.
bool RemoteEngine::collectLateAnswer()
{
    channel::AudioHead& head = audio->head();
    if (head.replySeq.load(std::memory_order_acquire) != sent) {
        if (process.hasEnded()) {
            markStopped(texts::stopEnded);
        } else if (GetTickCount() - lateSince >= hangLimitMs) {
            process.kill();
            markStopped(texts::stopNoAnswer);
        }
        return false;
    }
    late = false;
    if (!takeAnswer(nullptr, 0, 0, false))
        return false;
    const uint32_t room = audio->layout().commandCapacity;
    const uint32_t moved = std::min(heldCount, room);
    std::copy(held.begin(), held.begin() + moved, audio->commands());
    queued = moved;
    heldCount = 0;
    return true;
}

bool RemoteEngine::takeAnswer(float** outputs, int32_t offset, int32_t frames, bool withAudio)
{
    const channel::AudioHead& head = audio->head();
    const channel::AudioLayout& layout = audio->layout();
    const uint32_t eventCount = head.eventCount;
    if (head.status != 0 || eventCount > layout.eventCapacity) {
        process.kill();
        markStopped(texts::stopGarbage);
        return false;
    }
    if (withAudio && outputs != nullptr && frames > 0) {
        const uint32_t channels = std::min<uint32_t>(static_cast<uint32_t>(outputCount), layout.channelCount);
        for (uint32_t c = 0; c < channels; ++c)
            std::memcpy(outputs[c] + offset, audio->samples(c), sizeof(float) * static_cast<size_t>(frames));
    }
    copyParameterTable(false);
    deliver(audio->events(), eventCount, 0);
    return true;
}

void RemoteEngine::render(channel::BlockKind kind, float** outputs, int32_t frames)
{
    audioThread.store(GetCurrentThreadId(), std::memory_order_relaxed);
    Busy busy(audioBusy);
    if (health.load(std::memory_order_seq_cst) != Alive || audio == nullptr || frames < 0)
        return;
    if (late && !collectLateAnswer())
        return;
    // A block beyond the agreed size (a host exceeding the block size it set)
    // is rendered in parts.
    const auto capacity = static_cast<int32_t>(audio->layout().frameCapacity);
    int32_t offset = 0;
    do {
        const int32_t part = std::min(frames - offset, capacity);
        if (roundTrip(kind, outputs, offset, part) != Trip::Answered)
            return;
        offset += part;
    } while (offset < frames);
}

void RemoteEngine::renderReplacing(float** outputs, int32_t frames)
{
    render(channel::BlockKind::Replacing, outputs, frames);
}

void RemoteEngine::renderAdding(float** outputs, int32_t frames)
{
    render(channel::BlockKind::Adding, outputs, frames);
}

void RemoteEngine::receiveMidi(const unsigned char* midi, int32_t deltaFrames)
{
    if (midi != nullptr)
        queue({static_cast<uint32_t>(channel::CommandKind::ReceiveMidi), deltaFrames, bitsOf(midi), 0});
}

void RemoteEngine::setProcessMode(int32_t mode)
{
    processMode.store(mode, std::memory_order_relaxed);
    queue({static_cast<uint32_t>(channel::CommandKind::SetProcessMode), mode, 0, 0});
}

void RemoteEngine::onTransportStart(int32_t tick)
{
    queue({static_cast<uint32_t>(channel::CommandKind::TransportStart), tick, 0, 0});
}

void RemoteEngine::onTransportStop(int32_t tick)
{
    queue({static_cast<uint32_t>(channel::CommandKind::TransportStop), tick, 0, 0});
}

void RemoteEngine::onCycle(int32_t startTick, int32_t endTick)
{
    queue({static_cast<uint32_t>(channel::CommandKind::Cycle), startTick, static_cast<uint32_t>(endTick), 0});
}

}  // namespace remote
