#include "ControlServer.h"

#include <cstring>
#include <string>

#include "TextCopy.h"
#include "module/EngineModule.h"
#include "stream/MemoryStream.h"
#include "stream/StreamBuffer.h"

namespace enginehost {

namespace {

using channel::ControlReply;
using channel::ControlRequest;
using channel::Request;

// Texts and parameter texts pass through buffers of this size; the plug-in
// cuts them again to the host's sizes.
constexpr uint32_t textRoom = 256;
// The largest state the plug-in may send: what a 32-bit byte count can hold.
constexpr uint64_t maxIncomingState = 0x7FFFFFFF;

// A window handle from the plug-in's process: handles keep their meaning in
// the low 32 bits across architectures and widen with their sign.
void* windowHandle(int64_t value)
{
    return reinterpret_cast<void*>(static_cast<intptr_t>(static_cast<int32_t>(value)));
}

// The first NUL-terminated text in bytes[from, end), or null.
const char* textAt(const uint8_t* bytes, uint32_t from, uint32_t end)
{
    if (from >= end || std::memchr(bytes + from, '\0', end - from) == nullptr)
        return nullptr;
    return reinterpret_cast<const char*>(bytes + from);
}

}  // namespace

ControlServer::ControlServer() : services(outbox), audio(access, services, outbox) {}

ControlServer::~ControlServer()
{
    audio.stop();
    if (savedState != nullptr)
        savedState->release();
    if (parent != nullptr)
        CloseHandle(parent);
}

bool ControlServer::open(const char* channelName, DWORD parentId)
{
    if (channelName == nullptr || !section.open(channelName, sizeof(channel::ControlBlock)))
        return false;
    block = static_cast<channel::ControlBlock*>(section.data());
    if (block->magic != channel::controlMagic || block->version != channel::protocolVersion ||
        block->blockSize != sizeof(channel::ControlBlock) || block->windowSize != channel::controlWindowSize)
        return false;
    const std::string base(channelName);
    if (!requestEvent.open((base + ".Request").c_str()) || !replyEvent.open((base + ".Reply").c_str()))
        return false;
    parent = OpenProcess(SYNCHRONIZE, FALSE, parentId);
    if (parent == nullptr)
        return false;
    outbox.setWaitingCounter(&block->eventsWaiting);
    served = block->replySeq.load(std::memory_order_acquire);
    return true;
}

int ControlServer::run()
{
    HANDLE handles[2] = {requestEvent.handle(), parent};
    while (!released) {
        const DWORD woken = MsgWaitForMultipleObjects(2, handles, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) {
            serve();
        } else if (woken == WAIT_OBJECT_0 + 1) {
            // The plug-in's process is gone, however it ended: nobody will
            // release the engine, and its code must not outlive the host.
            TerminateProcess(GetCurrentProcess(), 0);
        } else if (woken == WAIT_OBJECT_0 + 2) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        } else {
            return 1;
        }
    }
    return 0;
}

void ControlServer::serve()
{
    const uint32_t sequence = block->requestSeq.load(std::memory_order_acquire);
    if (sequence == served)
        return;
    const ControlRequest request = block->request;
    ControlReply reply{};
    if (request.windowBytes > channel::controlWindowSize)
        reply.status = -1;
    else
        answer(request, reply);
    reply.eventCount = outbox.take(block->events, channel::controlEventCapacity, true);
    block->reply = reply;
    served = sequence;
    block->replySeq.store(sequence, std::memory_order_release);
    replyEvent.set();
}

void ControlServer::answer(const ControlRequest& request, ControlReply& reply)
{
    SoftSynth* const engine = access.engine;
    const auto code = static_cast<Request>(request.code);
    if (code == Request::Hello) {
        reply.results[0] = channel::protocolVersion;
        reply.results[1] = static_cast<int64_t>(sizeof(void*) * 8);
        return;
    }
    if (code == Request::Load) {
        load(request, reply);
        return;
    }
    if (code == Request::MapAudio) {
        mapAudio(request, reply);
        return;
    }
    if (code == Request::Poll)
        return;
    if (code == Request::Release) {
        release();
        return;
    }
    if (engine == nullptr) {
        reply.status = -1;
        return;
    }
    // Whatever the engine throws ends only the call it threw from, as the
    // plug-in's handlers would have ended it in the host's process.
    try {
        switch (code) {
        case Request::AttachHost:
            if (loader.hostLink != nullptr)
                loader.hostLink->attachHost(&services);
            break;
        case Request::DetachHost:
            if (loader.hostLink != nullptr)
                loader.hostLink->detachHost();
            break;
        case Request::Suspend:
            engine->suspend();
            break;
        case Request::Resume:
            engine->resume();
            break;
        case Request::SetSampleRate:
            engine->setSampleRate(static_cast<float>(request.real));
            break;
        case Request::SetBlockSize:
            engine->setBlockSize(static_cast<int32_t>(request.args[0]));
            break;
        case Request::SetParameter: {
            const auto index = static_cast<int32_t>(request.args[0]);
            {
                bridge::ParameterEchoGuard::HostWrite write(access.guard);
                engine->setParameter(index, static_cast<float>(request.real));
            }
            audio.refreshParameter(index);
            reply.real = engine->getParameter(index);
            break;
        }
        case Request::GetParameter:
            reply.real = engine->getParameter(static_cast<int32_t>(request.args[0]));
            break;
        case Request::ParameterText:
            parameterText(request, reply);
            break;
        case Request::EngineText:
            engineText(request, reply);
            break;
        case Request::GetVersion:
            reply.results[0] = engine->getVersion();
            break;
        case Request::GetUniqueId:
            reply.results[0] = engine->getUniqueId();
            break;
        case Request::ParameterCount:
            reply.results[0] = engine->getParameterCount();
            break;
        case Request::OutputCount:
            reply.results[0] = engine->getOutputCount(static_cast<int32_t>(request.args[0]));
            break;
        case Request::EditorSize: {
            int32_t width = 0;
            int32_t height = 0;
            engine->getEditorSize(&width, &height);
            reply.results[0] = width;
            reply.results[1] = height;
            break;
        }
        case Request::OpenEditor:
            engine->openEditor(windowHandle(request.args[0]));
            break;
        case Request::CloseEditor:
            engine->closeEditor();
            break;
        case Request::SaveState:
            saveState(reply);
            break;
        case Request::SaveStatePart:
            saveStatePart(request, reply);
            break;
        case Request::SaveStateDone:
            if (savedState != nullptr) {
                savedState->release();
                savedState = nullptr;
            }
            break;
        case Request::LoadStatePart:
            loadStatePart(request, reply);
            break;
        case Request::LoadStateDone:
            loadStateDone(request);
            break;
        default:
            reply.status = -1;
            break;
        }
    } catch (...) {
    }
}

void ControlServer::load(const ControlRequest& request, ControlReply& reply)
{
    if (access.engine != nullptr || loader.module != nullptr) {
        reply.status = -1;
        return;
    }
    const uint8_t* const window = block->window;
    const char* const path = textAt(window, 0, request.windowBytes);
    const char* const name =
        path != nullptr ? textAt(window, static_cast<uint32_t>(std::strlen(path)) + 1, request.windowBytes) : nullptr;
    if (path == nullptr || name == nullptr) {
        reply.status = static_cast<int32_t>(channel::LoadStatus::LibraryFailed);
        return;
    }
    // The factory sees the record as the plug-in fills it in the host's process.
    const std::string nameText(name);
    loader.name = nameText.c_str();
    loader.createFlag = static_cast<uint8_t>(request.args[0]);
    loader.createValue = static_cast<int32_t>(request.args[1]);
    const module::LoadResult result = module::loadEngineModule(loader, path);
    loader.name = nullptr;
    switch (result) {
    case module::LoadResult::Loaded:
        reply.status = static_cast<int32_t>(channel::LoadStatus::Loaded);
        break;
    case module::LoadResult::LibraryFailed:
        reply.status = static_cast<int32_t>(channel::LoadStatus::LibraryFailed);
        return;
    case module::LoadResult::FactoryFailed:
        reply.status = static_cast<int32_t>(channel::LoadStatus::FactoryFailed);
        return;
    }
    access.engine = loader.engine;
    access.engine->callback = &ControlServer::engineCallback;
    access.engine->context = this;
    reply.results[0] = loader.hostLink != nullptr ? 1 : 0;
}

void ControlServer::engineText(const ControlRequest& request, ControlReply& reply)
{
    const char* text = nullptr;
    switch (static_cast<channel::TextKind>(request.args[0])) {
    case channel::TextKind::Vendor:
        text = access.engine->getVendorName();
        break;
    case channel::TextKind::Product:
        text = access.engine->getProductName();
        break;
    case channel::TextKind::OutputName:
        text = access.engine->getOutputName();
        break;
    default:
        reply.status = -1;
        return;
    }
    char copy[textRoom];
    Korvanta::copyText(copy, sizeof copy, text);
    reply.windowBytes = copyOut(copy, static_cast<uint32_t>(std::strlen(copy)) + 1);
    // A null text stays null for the plug-in, as the host's process would see it.
    reply.results[0] = text != nullptr ? 1 : 0;
}

void ControlServer::parameterText(const ControlRequest& request, ControlReply& reply)
{
    const auto index = static_cast<int32_t>(request.args[1]);
    const int64_t size = request.args[2];
    if (size <= 0 || size > textRoom || request.windowBytes < static_cast<uint32_t>(size)) {
        reply.status = -1;
        return;
    }
    // Room beyond `size` keeps an engine that writes past it from reaching
    // anything else; the plug-in takes back `size` bytes only.
    char text[textRoom * 4];
    std::memcpy(text, block->window, static_cast<size_t>(size));
    const auto bound = static_cast<int32_t>(size);
    switch (static_cast<channel::TextKind>(request.args[0])) {
    case channel::TextKind::ParameterLabel:
        access.engine->getParameterLabel(index, text, bound);
        break;
    case channel::TextKind::ParameterDisplay:
        access.engine->getParameterDisplay(index, text, bound);
        break;
    case channel::TextKind::ParameterName:
        access.engine->getParameterName(index, text, bound);
        break;
    default:
        reply.status = -1;
        return;
    }
    reply.windowBytes = copyOut(text, static_cast<uint32_t>(size));
}

void ControlServer::saveState(ControlReply& reply)
{
    if (savedState != nullptr)
        savedState->release();
    savedState = nullptr;
    try {
        savedState = new Korvanta::StreamBuffer();
    } catch (...) {
        reply.status = -1;
        return;
    }
    Korvanta::MemoryStream stream(savedState);
    try {
        access.engine->saveState(stream);
    } catch (...) {
        // What the engine wrote before it threw is the state.
    }
    reply.results[0] = savedState->size();
    reply.windowBytes = copyOut(savedState->data(), savedState->size());
}

void ControlServer::saveStatePart(const ControlRequest& request, ControlReply& reply)
{
    const int64_t offset = request.args[0];
    if (savedState == nullptr || offset < 0 || offset > static_cast<int64_t>(savedState->size())) {
        reply.status = -1;
        return;
    }
    const auto from = static_cast<uint32_t>(offset);
    reply.windowBytes = copyOut(static_cast<const uint8_t*>(savedState->data()) + from, savedState->size() - from);
}

void ControlServer::loadStatePart(const ControlRequest& request, ControlReply& reply)
{
    const int64_t offset = request.args[0];
    const int64_t total = request.args[1];
    if (total < 0 || static_cast<uint64_t>(total) > maxIncomingState || offset < 0 ||
        offset + request.windowBytes > total) {
        reply.status = -1;
        return;
    }
    if (offset == 0)
        incomingState.assign(static_cast<size_t>(total), 0);
    if (incomingState.size() != static_cast<size_t>(total)) {
        reply.status = -1;
        return;
    }
    if (request.windowBytes > 0)
        std::memcpy(incomingState.data() + offset, block->window, request.windowBytes);
}

void ControlServer::loadStateDone(const ControlRequest& request)
{
    const int64_t total = request.args[0];
    std::vector<uint8_t> bytes;
    bytes.swap(incomingState);
    if (total < 0 || bytes.size() != static_cast<size_t>(total))
        bytes.clear();
    // A view of the bytes, as the plug-in lends the engine a view of the host's.
    Korvanta::StreamBuffer view(bytes.empty() ? nullptr : bytes.data(), static_cast<uint32_t>(bytes.size()));
    Korvanta::MemoryStream stream(&view);
    try {
        // A restore after the engine host was started again is no news for
        // the host: reports made meanwhile count as echoes.
        if (request.args[1] != 0) {
            bridge::ParameterEchoGuard::HostWrite write(access.guard);
            access.engine->loadState(stream);
        } else {
            access.engine->loadState(stream);
        }
    } catch (...) {
    }
    audio.refreshParameters();
}

void ControlServer::mapAudio(const ControlRequest& request, ControlReply& reply)
{
    const char* const name = textAt(block->window, 0, request.windowBytes);
    const int64_t size = request.args[0];
    if (name == nullptr || size <= 0 || size > 0x7FFFFFFF || !audio.map(name, static_cast<uint32_t>(size)))
        reply.status = -1;
}

void ControlServer::release()
{
    audio.stop();
    if (access.engine != nullptr) {
        access.engine->callback = nullptr;
        access.engine->context = nullptr;
    }
    access.engine = nullptr;
    try {
        loader.unload();
    } catch (...) {
    }
    // A throwing release left the module loaded; it is freed outside the
    // handler, whose exception object may live in that module.
    loader.unload();
    released = true;
}

uint32_t ControlServer::copyOut(const void* bytes, uint32_t count)
{
    const uint32_t taken = count < channel::controlWindowSize ? count : channel::controlWindowSize;
    if (taken > 0 && bytes != nullptr)
        std::memcpy(block->window, bytes, taken);
    return taken;
}

void __cdecl ControlServer::engineCallback(int32_t index, int32_t request, void* context)
{
    if (context == nullptr)
        return;
    ControlServer* const self = static_cast<ControlServer*>(context);
    self->access.guard.engineReported(self->access.engine, *self, index, request);
}

void ControlServer::automate(int32_t index, float value)
{
    {
        bridge::ParameterEchoGuard::HostWrite write(access.guard);
        access.engine->setParameter(index, value);
    }
    audio.refreshParameter(index);
    outbox.add({static_cast<uint32_t>(channel::EventKind::ParameterChanged), index, channel::bitsOf(value), 0});
}

}  // namespace enginehost
