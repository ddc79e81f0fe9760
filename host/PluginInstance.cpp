#include "PluginInstance.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "TextCopy.h"

namespace host {

namespace {

// The host callback carries only the effect record; during the entry call
// not even that, so the instance being loaded is kept here (one per process).
PluginInstance* activeInstance = nullptr;

constexpr int32_t maxChannels = 64;
constexpr intptr_t maxChunkBytes = 256 * 1024 * 1024;

std::string systemMessage(DWORD code)
{
    char* text = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 && text != nullptr ? std::string(text, length) : std::string();
    if (text != nullptr) {
        LocalFree(text);
    }
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    return message;
}

const char* const hostCapabilities[] = {"sendVstEvents",    "sendVstMidiEvent",    "sendVstTimeInfo",
                                        "receiveVstEvents", "receiveVstMidiEvent", "supplyIdle"};

}  // namespace

PluginInstance::~PluginInstance()
{
    close();
}

LoadFailure PluginInstance::load(const std::string& path, std::string& error)
{
    close();
    char full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    const std::string absolute = length > 0 && length < MAX_PATH ? std::string(full) : path;
    const DWORD attributes = GetFileAttributesA(absolute.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = "cannot find the plug-in file '" + path + "'";
        return LoadFailure::FileMissing;
    }
    folder = absolute.substr(0, absolute.find_last_of("\\/") + 1);

    // No system dialog for a library that is damaged or built for another machine.
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE library = LoadLibraryA(absolute.c_str());
    const DWORD loadError = GetLastError();
    SetErrorMode(previousMode);
    if (library == nullptr) {
        error = "cannot load '" + path + "' as a Windows library (error " + std::to_string(loadError) + ": " +
                systemMessage(loadError) + ")";
        return LoadFailure::NotLoadable;
    }
    module = library;

    FARPROC entry = GetProcAddress(library, "VSTPluginMain");
    if (entry == nullptr) {
        entry = GetProcAddress(library, "main");
    }
    if (entry == nullptr) {
        error = "'" + path + "' is not a VST 2.4 plug-in: it exports neither VSTPluginMain nor main";
        return LoadFailure::NotAPlugin;
    }
    activeInstance = this;
    EffectRecord* answer =
        reinterpret_cast<VstPluginMainProc>(reinterpret_cast<void*>(entry))(&PluginInstance::hostCallback);
    if (answer == nullptr) {
        error = "the plug-in '" + path + "' refused to instantiate: its entry returned no effect record";
        return LoadFailure::Refused;
    }
    if (IsBadReadPtr(answer, sizeof(EffectRecord))) {
        error = "'" + path + "' is not a VST 2.4 plug-in: its entry returned an unreadable effect record";
        return LoadFailure::NotAPlugin;
    }
    if (answer->magic != kEffectMagic) {
        char text[32];
        std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(answer->magic));
        error =
            "'" + path + "' is not a VST 2.4 plug-in: its effect record has the magic " + text + " instead of 'VstP'";
        return LoadFailure::NotAPlugin;
    }
    if (answer->dispatcherEntry == nullptr ||
        (answer->processReplacingEntry == nullptr && answer->processEntry == nullptr)) {
        error = "'" + path +
                "' is not a usable VST 2.4 plug-in: its effect record lacks the dispatcher or "
                "a process entry";
        return LoadFailure::NotAPlugin;
    }
    if (answer->numOutputs < 0 || answer->numOutputs > maxChannels || answer->numInputs < 0 ||
        answer->numInputs > maxChannels) {
        error = "'" + path + "' is not a usable VST 2.4 plug-in: it reports " + std::to_string(answer->numInputs) +
                " inputs and " + std::to_string(answer->numOutputs) + " outputs";
        return LoadFailure::NotAPlugin;
    }
    effect = answer;
    dispatch(effOpen);
    return LoadFailure::None;
}

void PluginInstance::close()
{
    if (effect != nullptr) {
        dispatch(effClose);  // the plug-in deletes itself: the record is gone
        effect = nullptr;
    }
    if (module != nullptr) {
        FreeLibrary(static_cast<HMODULE>(module));
        module = nullptr;
    }
    if (activeInstance == this) {
        activeInstance = nullptr;
    }
}

void PluginInstance::setSampleRateAndBlockSize(float rate, int32_t block)
{
    sampleRate = rate;
    blockSize = block;
    silence.assign(static_cast<size_t>(block), 0.0f);
    inputPointers.assign(static_cast<size_t>(std::max(inputCount(), 1)), silence.data());
    dispatch(effSetSampleRate, 0, 0, nullptr, rate);
    dispatch(effSetBlockSize, 0, block);
}

intptr_t PluginInstance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    if (effect == nullptr) {
        return 0;
    }
    return effect->dispatcherEntry(effect, opcode, index, value, ptr, opt);
}

std::string PluginInstance::text(int32_t opcode, int32_t index, size_t limit)
{
    // Plug-ins often write more than the sizes hosts promise; leave room.
    char buffer[1024] = {};
    dispatch(opcode, index, 0, buffer);
    buffer[sizeof buffer - 1] = '\0';
    std::string result(buffer);
    return result.size() > limit ? result.substr(0, limit) : result;
}

int32_t PluginInstance::canDo(const char* capability)
{
    return static_cast<int32_t>(dispatch(effCanDo, 0, 0, const_cast<char*>(capability)));
}

int32_t PluginInstance::parameterCount() const
{
    // A count no instrument has is taken as damage rather than looped over for hours.
    constexpr int32_t maxParameters = 100000;
    return effect != nullptr ? std::clamp(effect->numParams, 0, maxParameters) : 0;
}

int32_t PluginInstance::outputCount() const
{
    return effect != nullptr ? effect->numOutputs : 0;
}

int32_t PluginInstance::inputCount() const
{
    return effect != nullptr ? effect->numInputs : 0;
}

float PluginInstance::getParameter(int32_t index)
{
    return effect != nullptr && effect->getParameterEntry != nullptr ? effect->getParameterEntry(effect, index) : 0.0f;
}

void PluginInstance::setParameter(int32_t index, float value)
{
    if (effect != nullptr && effect->setParameterEntry != nullptr) {
        effect->setParameterEntry(effect, index, value);
    }
}

void PluginInstance::processEvents(VstEvents* events)
{
    dispatch(effProcessEvents, 0, 0, events);
}

void PluginInstance::process(float** outputs, int32_t frames)
{
    if (effect == nullptr || frames <= 0) {
        return;
    }
    if (static_cast<size_t>(frames) > silence.size()) {
        frames = static_cast<int32_t>(silence.size());
    }
    for (int32_t channel = 0; channel < outputCount(); ++channel) {
        std::fill(outputs[channel], outputs[channel] + frames, 0.0f);
    }
    if (effect->processReplacingEntry != nullptr && (effect->flags & effFlagsCanReplacing) != 0) {
        effect->processReplacingEntry(effect, inputPointers.data(), outputs, frames);
    } else if (effect->processEntry != nullptr) {
        effect->processEntry(effect, inputPointers.data(), outputs, frames);  // adds into the zeroed buffers
    } else {
        effect->processReplacingEntry(effect, inputPointers.data(), outputs, frames);
    }
}

bool PluginInstance::getChunk(std::vector<uint8_t>& bytes, std::string& error, bool isPreset)
{
    if (effect == nullptr || (effect->flags & effFlagsProgramChunks) == 0) {
        error = "the plug-in keeps no state chunk (it does not declare programs as chunks)";
        return false;
    }
    void* data = nullptr;
    const intptr_t size = dispatch(effGetChunk, isPreset ? 1 : 0, 0, &data);
    if (size < 0 || size > maxChunkBytes || (size > 0 && data == nullptr) ||
        (size > 0 && IsBadReadPtr(data, static_cast<UINT_PTR>(size)))) {
        error = "the plug-in answered the state request with an unusable chunk (" + std::to_string(size) + " bytes)";
        return false;
    }
    const uint8_t* begin = static_cast<const uint8_t*>(data);
    bytes.assign(begin, begin + size);
    return true;
}

bool PluginInstance::setChunk(const std::vector<uint8_t>& bytes, std::string& error, bool isPreset)
{
    if (effect == nullptr || (effect->flags & effFlagsProgramChunks) == 0) {
        error = "the plug-in keeps no state chunk (it does not declare programs as chunks)";
        return false;
    }
    // The plug-in may keep viewing the bytes in place until its next chunk request.
    lentChunk = bytes;
    dispatch(effSetChunk, isPreset ? 1 : 0, static_cast<intptr_t>(lentChunk.size()),
             lentChunk.empty() ? nullptr : lentChunk.data());
    return true;
}

intptr_t __cdecl PluginInstance::hostCallback(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value,
                                              void* ptr, float opt)
{
    (void)effect;
    if (opcode == audioMasterVersion) {
        return 2400;
    }
    return activeInstance != nullptr ? activeInstance->answer(opcode, index, value, ptr, opt) : 0;
}

intptr_t PluginInstance::answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    (void)index;
    (void)value;
    (void)opt;
    switch (opcode) {
    case audioMasterAutomate:
        ++automationReceived;
        return 0;
    case audioMasterCurrentId:
        return effect != nullptr ? effect->uniqueID : 0;
    case audioMasterNeedIdle:
        idleRequested = true;
        return 1;
    case audioMasterWantMidi:
    case audioMasterUpdateDisplay:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        return 1;
    case audioMasterGetTime:
        return reinterpret_cast<intptr_t>(&timeInfo);
    case audioMasterProcessEvents: {
        const VstEvents* events = static_cast<const VstEvents*>(ptr);
        if (events == nullptr || events->numEvents < 0 || events->numEvents > 4096) {
            return 0;
        }
        for (int32_t i = 0; i < events->numEvents; ++i) {
            if (events->events[i] != nullptr && events->events[i]->type == kVstMidiType) {
                ++midiEventsReceived;
            }
        }
        return 1;
    }
    case audioMasterGetSampleRate:
        return static_cast<intptr_t>(sampleRate);
    case audioMasterGetBlockSize:
        return blockSize;
    case audioMasterGetCurrentProcessLevel:
        return processLevel;
    case audioMasterGetAutomationState:
        return 1;  // automation off
    case audioMasterGetVendorString:
        Korvanta::copyText(static_cast<char*>(ptr), kVstVendorStringSize, "Korvanta");
        return 1;
    case audioMasterGetProductString:
        Korvanta::copyText(static_cast<char*>(ptr), kVstProductStringSize, "velmorant-host");
        return 1;
    case audioMasterGetVendorVersion:
        return 1000;
    case audioMasterCanDo: {
        const char* asked = static_cast<const char*>(ptr);
        if (asked == nullptr) {
            return 0;
        }
        for (const char* capability : hostCapabilities) {
            if (std::strcmp(asked, capability) == 0) {
                return 1;
            }
        }
        return 0;
    }
    case audioMasterGetLanguage:
        return 1;  // English
    case audioMasterGetDirectory:
        return reinterpret_cast<intptr_t>(folder.c_str());
    default:
        return 0;
    }
}

}  // namespace host
