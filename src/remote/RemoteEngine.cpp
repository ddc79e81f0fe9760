// The remote engine's main-thread side: starting the engine host, the
// requests every non-processing slot makes, and starting it again after a stop.
#include "remote/RemoteEngine.h"

#include <windows.h>

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <limits>
#include <new>

#include "remote/RemoteTexts.h"
#include "trace/TraceMessage.h"

namespace remote {

namespace {

using channel::bitsOf;
using channel::floatOf;

using channel::Request;

// An engine host has this long to answer an ordinary request, and longer for
// a state (an engine may load samples in loadState).
constexpr uint32_t requestTimeoutMs = 10000;
constexpr uint32_t stateTimeoutMs = 120000;
// Starting a process and loading an engine may take much longer where 32-bit
// programs are emulated (a minute per process start, two and a half under load).
constexpr uint32_t startTimeoutMs = 300000;
constexpr int startAttempts = 3;
// Stops within this window count toward giving up.
constexpr uint32_t stopWindowMs = 60000;
constexpr size_t stopsBeforeGivingUp = 3;
// Audio blocks hold at least this many frames, more when the host's block size asks.
constexpr uint32_t defaultFrameCapacity = 4096;
constexpr uint32_t commandCapacity = 4096;
constexpr uint32_t eventCapacity = 4096;

// A value the engine host sent as a double, as the float the engine gave:
// one out of the float's range (never an engine's) is not converted blindly.
float narrowed(double value)
{
    if (!(value >= -FLT_MAX && value <= FLT_MAX))
        return value != value ? std::numeric_limits<float>::quiet_NaN() : 0.0f;
    return static_cast<float>(value);
}

// Holds a flag raised for as long as it lives.
class RaisedFlag {
public:
    explicit RaisedFlag(bool& flag) : flag(flag) { flag = true; }
    ~RaisedFlag() { flag = false; }
    RaisedFlag(const RaisedFlag&) = delete;
    RaisedFlag& operator=(const RaisedFlag&) = delete;

private:
    bool& flag;
};

// A name no other instance, process or earlier engine host uses.
std::string freshChannelName()
{
    static std::atomic<uint32_t> serial{0};
    return "Local\\Velmorant." + std::to_string(GetCurrentProcessId()) + "." + std::to_string(++serial) + "." +
           std::to_string(GetTickCount());
}

int64_t windowHandleValue(void* window)
{
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(window));
}

}  // namespace

RemoteEngine::RemoteEngine(const LaunchSettings& settings) : settings(settings), held(commandCapacity) {}

RemoteEngine::~RemoteEngine()
{
    stopEngineHost();
}

RemoteEngine* RemoteEngine::launch(const LaunchSettings& settings, LaunchFailure& failure)
{
    failure = LaunchFailure::FactoryFailed;
    RemoteEngine* engine = new (std::nothrow) RemoteEngine(settings);
    if (engine == nullptr)
        return nullptr;
    try {
        failure = engine->start();
    } catch (...) {
        failure = LaunchFailure::FactoryFailed;
    }
    if (failure != LaunchFailure::None) {
        delete engine;
        return nullptr;
    }
    return engine;
}

LaunchFailure RemoteEngine::start()
{
    const RaisedFlag raised(launching);

    // A process that ends before it answers at all never reached the engine:
    // the system may fail to start one now and then (Wine has been seen to,
    // mapping its shared page), so it is started again, up to three times.
    Answer hello;
    for (int attempt = 0; attempt < startAttempts && !hello.answered; ++attempt) {
        stopEngineHost();
        channelName = freshChannelName();
        control.reset(new ControlChannel());
        if (!control->create(channelName))
            return LaunchFailure::FactoryFailed;
        if (!process.start(settings.hostProgram, channelName))
            return LaunchFailure::HostProgramFailed;
        health.store(Alive);
        hello = request(Request::Hello, 0, 0, 0, 0.0, nullptr, 0, nullptr, 0, startTimeoutMs);
        if (!hello.answered && !hello.ended)
            break;
    }

    // An engine host of another version, or one answering garbage, is a failed engine.
    if (!hello.answered || hello.reply.results[0] != channel::protocolVersion ||
        hello.reply.results[1] != settings.hostBits) {
        stopEngineHost();
        return LaunchFailure::FactoryFailed;
    }

    std::string names = settings.enginePath;
    names += '\0';
    names += settings.engineName;
    names += '\0';
    const Answer loaded = request(Request::Load, settings.createFlag, settings.createValue, 0, 0.0, names.data(),
                                  static_cast<uint32_t>(names.size()), nullptr, 0, startTimeoutMs);
    if (!loaded.answered) {
        stopEngineHost();
        return LaunchFailure::FactoryFailed;
    }
    switch (static_cast<channel::LoadStatus>(loaded.reply.status)) {
    case channel::LoadStatus::Loaded:
        break;
    case channel::LoadStatus::LibraryFailed:
        stopEngineHost();
        return LaunchFailure::LibraryFailed;
    default:
        stopEngineHost();
        return LaunchFailure::FactoryFailed;
    }
    engineHasLink = loaded.reply.results[0] == 1;
    return LaunchFailure::None;
}

void RemoteEngine::stopEngineHost()
{
    // A polite end first: the engine is released and its module freed.
    if (control != nullptr && !process.hasEnded() && health.load() == Alive && !launching) {
        ControlChannel::Call call(*control);
        call.request().code = static_cast<uint32_t>(Request::Release);
        call.send(nullptr, 0);
        if (call.run(process.handle(), 5000) == ControlChannel::Outcome::Answered)
            process.waitForEnd(5000);
    }
    process.end();
    audio.reset();
    control.reset();
}

RemoteEngine::Answer RemoteEngine::request(Request code, int64_t arg0, int64_t arg1, int64_t arg2, double real,
                                           const void* in, uint32_t inBytes, void* out, uint32_t outRoom,
                                           uint32_t timeoutMs)
{
    Answer answer;
    if (control == nullptr || (health.load() != Alive && !launching))
        return answer;
    // A host that renders and asks on one thread: what it queued goes first.
    if (queued > 0 && audioThread.load() == GetCurrentThreadId())
        flushCommands();

    channel::EngineEvent events[channel::controlEventCapacity];
    uint32_t eventCount = 0;
    ControlChannel::Outcome outcome;
    {
        ControlChannel::Call call(*control);
        channel::ControlRequest& sent = call.request();
        sent.code = static_cast<uint32_t>(code);
        sent.args[0] = arg0;
        sent.args[1] = arg1;
        sent.args[2] = arg2;
        sent.real = real;
        call.send(in, inBytes);
        outcome = call.run(process.handle(), timeoutMs != 0 ? timeoutMs : requestTimeoutMs);
        if (outcome == ControlChannel::Outcome::Answered) {
            answer.answered = true;
            answer.reply = call.reply();
            if (out != nullptr) {
                answer.outBytes = std::min(call.windowBytes(), outRoom);
                std::memcpy(out, call.window(), answer.outBytes);
            }
            eventCount = call.eventCount();
            std::memcpy(events, call.events(), sizeof(channel::EngineEvent) * eventCount);
        }
    }
    if (outcome == ControlChannel::Outcome::Ended) {
        answer.ended = true;
        markStopped(texts::stopEnded);
    } else if (outcome == ControlChannel::Outcome::TimedOut) {
        process.kill();
        markStopped(texts::stopNoAnswer);
    }
    deliver(events, eventCount, 1);
    return answer;
}

// Main-thread requests find the engine host running, or start it again first;
// false leaves the caller to answer what is known.
bool RemoteEngine::usable()
{
    if (health.load() == Stopped && !restarting && !launching)
        recover();
    return alive();
}

// Without starting a stopped engine host again: for what a restart would
// undo anyway (closing, detaching, suspending).
bool RemoteEngine::alive() const
{
    return health.load() == Alive && control != nullptr;
}

void RemoteEngine::markStopped(const char* why)
{
    int expected = Alive;
    if (!health.compare_exchange_strong(expected, Stopped))
        return;
    stoppedAt.store(GetTickCount());
    if (!launching)
        traceMessage(texts::stopTrace, why, static_cast<unsigned long>(process.exitCode()));
}

void RemoteEngine::tell(const char* text) const
{
    MessageBoxA(nullptr, text, settings.caption, MB_ICONWARNING | MB_OK);
}

void RemoteEngine::recover()
{
    const RaisedFlag raised(restarting);

    const uint32_t now = GetTickCount();
    stopTimes.erase(
        std::remove_if(stopTimes.begin(), stopTimes.end(), [now](uint32_t at) { return now - at >= stopWindowMs; }),
        stopTimes.end());
    stopTimes.push_back(stoppedAt.load());
    if (stopTimes.size() >= stopsBeforeGivingUp) {
        health.store(GivenUp);
        stopEngineHost();
        traceMessage(texts::givenUpTrace, static_cast<int>(stopTimes.size()));
        tell(texts::givenUpMessage);
        return;
    }

    // The processing thread sees the stop before it touches the channel, so
    // it is out within the block it may be in.
    while (audioBusy.load() != 0)
        Sleep(0);
    stopEngineHost();
    late = false;
    lateSince = 0;
    queued = 0;
    heldCount = 0;
    if (start() != LaunchFailure::None || !restore()) {
        stopEngineHost();
        health.store(Stopped);
        stoppedAt.store(GetTickCount());
        return;
    }
    health.store(Alive);
    traceMessage(texts::restartTrace, static_cast<unsigned long>(GetTickCount() - stoppedAt.load()));
    tell(texts::restartMessage);
}

// A fresh engine is told what the host told the one that stopped.
bool RemoteEngine::restore()
{
    const RaisedFlag raised(launching);

    bool ok = true;
    if (rateSet)
        ok = request(Request::SetSampleRate, 0, 0, 0, sampleRate).answered && ok;
    if (blockSizeSet)
        ok = request(Request::SetBlockSize, blockSize).answered && ok;
    ok = request(Request::Suspend).answered && ok;
    if (host != nullptr && engineHasLink)
        ok = request(Request::AttachHost).answered && ok;
    if (stateKnown) {
        for (size_t offset = 0; ok && offset < lastState.size(); offset += channel::controlWindowSize) {
            const size_t piece = std::min<size_t>(lastState.size() - offset, channel::controlWindowSize);
            ok = request(Request::LoadStatePart, static_cast<int64_t>(offset), static_cast<int64_t>(lastState.size()),
                         0, 0.0, lastState.data() + offset, static_cast<uint32_t>(piece))
                     .answered;
        }
        ok = ok && request(Request::LoadStateDone, static_cast<int64_t>(lastState.size()), 1, 0, 0.0, nullptr, 0,
                           nullptr, 0, stateTimeoutMs)
                       .answered;
    }
    for (uint32_t i = 0; ok && i < valueCount; ++i) {
        if (writtenSinceState[i].load() != 0)
            ok = request(Request::SetParameter, i, 0, 0, floatOf(values[i].load())).answered;
    }
    const uint32_t capacity = blockSizeSet && blockSize > 0 ? static_cast<uint32_t>(blockSize) : 0;
    ok = ok && mapAudio(std::max(capacity, defaultFrameCapacity));
    if (ok && !suspended)
        ok = request(Request::Resume).answered;
    if (ok && processMode.load() >= 0) {
        // Told at the first block, as the plug-in told the engine that stopped.
        audio->commands()[0] = {static_cast<uint32_t>(channel::CommandKind::SetProcessMode), processMode.load(), 0, 0};
        queued = 1;
    }
    if (ok && editorOpen)
        ok = request(Request::OpenEditor, windowHandleValue(editorParent)).answered;
    return ok;
}

void RemoteEngine::idle()
{
    if (restarting || launching)
        return;
    // Without blocks (a host that is not playing) a stop is seen here.
    if (health.load() == Alive && process.hasEnded())
        markStopped(texts::stopEnded);
    if (health.load() == Stopped) {
        recover();
        return;
    }
    if (health.load() == Alive && control != nullptr && control->eventsWaiting() > 0)
        request(Request::Poll);
}

bool RemoteEngine::mapAudio(uint32_t frameCapacity)
{
    channel::AudioLayout layout{};
    const uint32_t channels = outputCount > 0 ? std::min<uint32_t>(outputCount, channel::maxChannels) : 0;
    const uint32_t frames = std::min(frameCapacity, channel::maxFrameCapacity);
    if (!channel::computeAudioLayout(frames, channels, commandCapacity, eventCapacity, valueCount, layout))
        return false;
    std::unique_ptr<AudioChannel> made(new AudioChannel());
    const std::string name = channelName + ".Audio" + std::to_string(++generation);
    std::string window = name;
    window += '\0';
    if (!made->create(name, layout) ||
        !request(Request::MapAudio, layout.totalSize, 0, 0, 0.0, window.data(), static_cast<uint32_t>(window.size()))
             .answered)
        return false;
    audio = std::move(made);
    sent = 0;
    copyParameterTable(true);
    valuesReady.store(true);
    return true;
}

// The block is set up once the engine's counts are known (the plug-in asks
// them at construction), and made larger when the host's block size grows.
void RemoteEngine::ensureAudio()
{
    if (outputCount < 0)
        getOutputCount(2);
    if (parameterCount < 0)
        getParameterCount();
    const uint32_t wanted = blockSizeSet && blockSize > 0 ? static_cast<uint32_t>(blockSize) : 0;
    if (audio == nullptr || audio->layout().frameCapacity < std::min(wanted, channel::maxFrameCapacity))
        mapAudio(std::max(wanted, defaultFrameCapacity));
}

void RemoteEngine::copyParameterTable(bool all)
{
    if (audio == nullptr)
        return;
    const uint32_t count = std::min(valueCount, audio->layout().parameterCount);
    if (count == 0)
        return;
    const std::atomic<uint32_t>* const table = audio->parameterBits();
    const uint32_t turn = all ? count : std::min<uint32_t>(count, 256);
    for (uint32_t i = 0; i < turn; ++i) {
        values[copyCursor].store(table[copyCursor].load(std::memory_order_relaxed), std::memory_order_relaxed);
        copyCursor = copyCursor + 1 < count ? copyCursor + 1 : 0;
    }
}

void RemoteEngine::noteParameter(int32_t index, float value)
{
    if (index < 0 || static_cast<uint32_t>(index) >= valueCount)
        return;
    values[index].store(bitsOf(value), std::memory_order_relaxed);
    writtenSinceState[index].store(1, std::memory_order_relaxed);
}

void RemoteEngine::deliver(const channel::EngineEvent* events, uint32_t count, int slot)
{
    for (uint32_t i = 0; i < count; ++i) {
        const channel::EngineEvent event = events[i];
        switch (static_cast<channel::EventKind>(event.kind)) {
        case channel::EventKind::MidiOut:
            if (IMidiOut* const out = midiOut.load()) {
                unsigned char message[4];
                std::memcpy(message, &event.b, sizeof message);
                out->sendMidi(message, event.a);
            }
            break;
        case channel::EventKind::ParameterChanged: {
            const float value = floatOf(event.b);
            noteParameter(event.a, value);
            const SoftSynthCallback report = callback;
            if (report != nullptr) {
                Delivery& delivery = delivering[slot];
                delivery.value.store(event.b);
                delivery.index.store(event.a);
                delivery.thread.store(GetCurrentThreadId());
                report(event.a, SoftSynthParameterChanged, context);
                delivery.thread.store(0);
                delivery.index.store(-1);
            }
            break;
        }
        case channel::EventKind::ServiceAsked:
            // The plug-in's own lookup, with the trace line the engine's
            // lookup would have made in the host's process.
            if (event.a == static_cast<int32_t>(channel::ServiceKind::MidiOut) && host != nullptr)
                midiOut.store(static_cast<IMidiOut*>(host->get_interface(Korvanta::midiOutService)));
            break;
        }
    }
}

// Which report this thread is handing to the plug-in, if any.
const RemoteEngine::Delivery* RemoteEngine::deliveryOnThisThread(int32_t index) const
{
    const uint32_t thread = GetCurrentThreadId();
    for (const Delivery& delivery : delivering) {
        if (delivery.thread.load() == thread && delivery.index.load() == index)
            return &delivery;
    }
    return nullptr;
}

void RemoteEngine::suspend()
{
    suspended = true;
    if (!alive())
        return;
    ensureAudio();
    request(Request::Suspend);
}

void RemoteEngine::resume()
{
    suspended = false;
    // After giving up, a resume is the musician's way to try again.
    if (health.load() == GivenUp) {
        stopTimes.clear();
        stoppedAt.store(GetTickCount());
        health.store(Stopped);
    }
    if (!usable())
        return;
    ensureAudio();
    request(Request::Resume);
}

void RemoteEngine::release()
{
    stopEngineHost();
    delete this;
}

void RemoteEngine::setSampleRate(float rate)
{
    rateSet = true;
    sampleRate = rate;
    if (usable())
        request(Request::SetSampleRate, 0, 0, 0, rate);
}

void RemoteEngine::setBlockSize(int32_t size)
{
    blockSizeSet = true;
    blockSize = size;
    if (usable())
        request(Request::SetBlockSize, size);
}

void RemoteEngine::saveState(Korvanta::OutputStream& stream)
{
    std::vector<uint8_t> state;
    bool complete = false;
    if (usable()) {
        std::vector<uint8_t> piece(channel::controlWindowSize);
        const Answer first = request(Request::SaveState, 0, 0, 0, 0.0, nullptr, 0, piece.data(),
                                     static_cast<uint32_t>(piece.size()), stateTimeoutMs);
        const int64_t total = first.reply.results[0];
        if (first.answered && first.reply.status == 0 && total >= 0 && total <= 0x7FFFFFFF && first.outBytes <= total) {
            state.reserve(static_cast<size_t>(total));
            state.insert(state.end(), piece.begin(), piece.begin() + first.outBytes);
            complete = true;
            while (complete && state.size() < static_cast<size_t>(total)) {
                const Answer part = request(Request::SaveStatePart, static_cast<int64_t>(state.size()), 0, 0, 0.0,
                                            nullptr, 0, piece.data(), static_cast<uint32_t>(piece.size()));
                complete = part.answered && part.reply.status == 0 && part.outBytes > 0 &&
                           part.outBytes <= static_cast<size_t>(total) - state.size();
                if (complete)
                    state.insert(state.end(), piece.begin(), piece.begin() + part.outBytes);
            }
            request(Request::SaveStateDone);
        }
    }
    if (complete) {
        lastState.swap(state);
        stateKnown = true;
        for (uint32_t i = 0; i < valueCount; ++i)
            writtenSinceState[i].store(0);
    }
    // An engine host that stopped (also while saving) leaves the last state
    // the host saw or set: a project saved now loses nothing.
    if (stateKnown && !lastState.empty())
        stream.writeRaw(lastState.data(), static_cast<int32_t>(lastState.size()));
}

void RemoteEngine::loadState(Korvanta::InputStream& stream)
{
    // The stream's length is not told: it is read in pieces, halving a piece
    // that would pass the end (the memory stream refuses such a read whole).
    std::vector<uint8_t> state;
    std::vector<uint8_t> piece(1 << 16);
    int32_t step = static_cast<int32_t>(piece.size());
    while (step > 0) {
        try {
            if (stream.atEnd())
                break;
            const int32_t read = stream.readRaw(piece.data(), step);
            if (read <= 0)
                break;
            state.insert(state.end(), piece.begin(), piece.begin() + std::min(read, step));
        } catch (...) {
            step /= 2;
        }
    }
    lastState.swap(state);
    stateKnown = true;
    for (uint32_t i = 0; i < valueCount; ++i)
        writtenSinceState[i].store(0);
    if (!usable())
        return;
    bool ok = true;
    for (size_t offset = 0; ok && offset < lastState.size(); offset += channel::controlWindowSize) {
        const size_t size = std::min<size_t>(lastState.size() - offset, channel::controlWindowSize);
        ok = request(Request::LoadStatePart, static_cast<int64_t>(offset), static_cast<int64_t>(lastState.size()), 0,
                     0.0, lastState.data() + offset, static_cast<uint32_t>(size))
                 .answered;
    }
    if (ok && request(Request::LoadStateDone, static_cast<int64_t>(lastState.size()), 0, 0, 0.0, nullptr, 0, nullptr, 0,
                      stateTimeoutMs)
                  .answered)
        copyParameterTable(true);
}

void RemoteEngine::getEditorSize(int32_t* width, int32_t* height)
{
    if (!usable())
        return;
    const Answer answer = request(Request::EditorSize);
    if (!answer.answered)
        return;
    if (width != nullptr)
        *width = static_cast<int32_t>(answer.reply.results[0]);
    if (height != nullptr)
        *height = static_cast<int32_t>(answer.reply.results[1]);
}

void RemoteEngine::openEditor(void* parentWindow)
{
    editorOpen = true;
    editorParent = parentWindow;
    if (usable())
        request(Request::OpenEditor, windowHandleValue(parentWindow));
}

void RemoteEngine::closeEditor()
{
    editorOpen = false;
    if (alive())
        request(Request::CloseEditor);
}

const char* RemoteEngine::text(channel::TextKind kind, char* room)
{
    room[0] = '\0';
    if (!usable())
        return room;
    const Answer answer =
        request(Request::EngineText, static_cast<int64_t>(kind), 0, 0, 0.0, nullptr, 0, room, sizeof vendorText - 1);
    room[answer.outBytes] = '\0';
    // The engine's null stays null: the plug-in copies it as the empty text.
    return answer.answered && answer.reply.results[0] == 0 ? nullptr : room;
}

const char* RemoteEngine::getVendorName()
{
    return text(channel::TextKind::Vendor, vendorText);
}

const char* RemoteEngine::getProductName()
{
    return text(channel::TextKind::Product, productText);
}

const char* RemoteEngine::getOutputName()
{
    return text(channel::TextKind::OutputName, outputText);
}

int32_t RemoteEngine::getVersion()
{
    if (!usable())
        return 0;
    return static_cast<int32_t>(request(Request::GetVersion).reply.results[0]);
}

int32_t RemoteEngine::getUniqueId()
{
    if (!usable())
        return 0;
    return static_cast<int32_t>(request(Request::GetUniqueId).reply.results[0]);
}

int32_t RemoteEngine::getParameterCount()
{
    if (!usable())
        return parameterCount > 0 ? parameterCount : 0;
    const Answer answer = request(Request::ParameterCount);
    if (!answer.answered)
        return parameterCount > 0 ? parameterCount : 0;
    const auto count = static_cast<int32_t>(answer.reply.results[0]);
    if (parameterCount < 0) {
        // The count is fixed from the first answer on, as the host's view of it is.
        parameterCount = count;
        valueCount = count > 0 ? std::min<uint32_t>(count, channel::maxParameters) : 0;
        values.reset(new std::atomic<uint32_t>[valueCount]);
        writtenSinceState.reset(new std::atomic<uint8_t>[valueCount]);
        for (uint32_t i = 0; i < valueCount; ++i) {
            values[i].store(0);
            writtenSinceState[i].store(0);
        }
    }
    return count;
}

int32_t RemoteEngine::getOutputCount(int32_t hint)
{
    if (!usable())
        return outputCount > 0 ? outputCount : 0;
    const Answer answer = request(Request::OutputCount, hint);
    const auto count = static_cast<int32_t>(answer.reply.results[0]);
    if (answer.answered && outputCount < 0)
        outputCount = count;
    return count;
}

float RemoteEngine::getParameter(int32_t index)
{
    if (const Delivery* delivery = deliveryOnThisThread(index))
        return floatOf(delivery->value.load());
    if (valuesReady.load() && index >= 0 && static_cast<uint32_t>(index) < valueCount)
        return floatOf(values[index].load(std::memory_order_relaxed));
    // Outside the table only the engine knows; the processing thread does not ask it.
    if (audioThread.load() == GetCurrentThreadId() || !usable())
        return 0.0f;
    const Answer answer = request(Request::GetParameter, index);
    return answer.answered ? narrowed(answer.reply.real) : 0.0f;
}

void RemoteEngine::setParameter(int32_t index, float value)
{
    // The write-back of a report being handed over was made in the engine host.
    if (deliveryOnThisThread(index) != nullptr)
        return;
    noteParameter(index, value);
    if (audioThread.load() == GetCurrentThreadId()) {
        queue({static_cast<uint32_t>(channel::CommandKind::SetParameter), index, bitsOf(value), 0});
        return;
    }
    if (!usable())
        return;
    const Answer answer = request(Request::SetParameter, index, 0, 0, value);
    if (answer.answered && index >= 0 && static_cast<uint32_t>(index) < valueCount)
        values[index].store(bitsOf(narrowed(answer.reply.real)));
}

void RemoteEngine::parameterText(channel::TextKind kind, int32_t index, char* text, int32_t size)
{
    // The caller's bytes go over and come back: what the engine leaves
    // untouched stays as the host left it.
    if (text == nullptr || size <= 0 || size > 256 || !usable())
        return;
    request(Request::ParameterText, static_cast<int64_t>(kind), index, size, 0.0, text, static_cast<uint32_t>(size),
            text, static_cast<uint32_t>(size));
}

void RemoteEngine::getParameterLabel(int32_t index, char* text, int32_t size)
{
    parameterText(channel::TextKind::ParameterLabel, index, text, size);
}

void RemoteEngine::getParameterDisplay(int32_t index, char* text, int32_t size)
{
    parameterText(channel::TextKind::ParameterDisplay, index, text, size);
}

void RemoteEngine::getParameterName(int32_t index, char* text, int32_t size)
{
    parameterText(channel::TextKind::ParameterName, index, text, size);
}

void RemoteEngine::attachHost(IKorvantaHost* hostServices)
{
    host = hostServices;
    if (host != nullptr) {
        midiContext = static_cast<Korvanta::MidiContext*>(host->get_interface(Korvanta::midiContextService));
        notifier =
            static_cast<Korvanta::MidiTransportNotifier*>(host->get_interface(Korvanta::midiTransportNotifierService));
        if (notifier != nullptr)
            notifier->addListener(this);
    }
    if (usable())
        request(Request::AttachHost);
}

void RemoteEngine::detachHost()
{
    if (alive())
        request(Request::DetachHost);
    if (notifier != nullptr)
        notifier->removeListener(this);
    host = nullptr;
    midiContext = nullptr;
    notifier = nullptr;
    midiOut.store(nullptr);
}

}  // namespace remote
