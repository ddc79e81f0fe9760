#include "vst/AudioEffectX.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "TextCopy.h"
#include "vst/AEffEditor.h"

namespace {

constexpr int32_t kVstVersion = 2400;
constexpr int32_t kPlugCategoryUnknown = 0;
constexpr int32_t kPlugCategorySynth = 2;

intptr_t answer(bool value)
{
    return value ? 1 : 0;
}

// The modifier arrives as a float; NaN or out-of-range values must not reach
// a float-to-integer conversion.
uint8_t lowByteOf(float value)
{
    if (!(value > -2147483649.0f && value < 2147483648.0f)) {
        return 0;
    }
    return static_cast<uint8_t>(static_cast<int32_t>(value));
}

VstKeyCode keyCodeFrom(int32_t index, intptr_t value, float opt)
{
    VstKeyCode keyCode{};
    keyCode.character = index;
    keyCode.virt = static_cast<uint8_t>(value & 0xFF);
    keyCode.modifier = lowByteOf(opt);
    return keyCode;
}

size_t arrangementBytes(int32_t numChannels)
{
    return offsetof(VstSpeakerArrangement, speakers) + sizeof(VstSpeakerProperties) * static_cast<size_t>(numChannels);
}

}  // namespace

AudioEffectX::AudioEffectX(HostCallback hostCallback, int32_t numPrograms, int32_t numParams)
    : AudioEffect(hostCallback, numPrograms, numParams)
{
}

AudioEffectX::~AudioEffectX() = default;

// Operations taking a host buffer or record are not called when the host
// passes null (hosts do so while scanning plug-ins); the opcode then answers
// 0, which is also every default operation's answer.
intptr_t AudioEffectX::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    char* const text = static_cast<char*>(ptr);
    switch (opcode) {
    // A null list still marks a processing block (transport, process level):
    // the operation skips the list itself.
    case effProcessEvents:
        return processEvents(static_cast<VstEvents*>(ptr));
    case effCanBeAutomated:
        return answer(canBeAutomated(index));
    case effString2Parameter:
        return ptr != nullptr ? answer(string2Parameter(index, text)) : 0;
    case effGetNumProgramCategories:
        return getNumProgramCategories();
    case effGetProgramNameIndexed:
        return ptr != nullptr ? answer(getProgramNameIndexed(static_cast<int32_t>(value), index, text)) : 0;
    case effCopyProgram:
        return answer(copyProgram(index));
    case effConnectInput:
        connectInput(index, value != 0);
        return 1;
    case effConnectOutput:
        connectOutput(index, value != 0);
        return 1;
    case effGetInputProperties:
        return ptr != nullptr ? answer(getInputProperties(index, static_cast<VstPinProperties*>(ptr))) : 0;
    case effGetOutputProperties:
        return ptr != nullptr ? answer(getOutputProperties(index, static_cast<VstPinProperties*>(ptr))) : 0;
    case effGetPlugCategory:
        return getPlugCategory();
    case effGetCurrentPosition:
        return getCurrentPosition();
    case effGetDestinationBuffer:
        return reinterpret_cast<intptr_t>(getDestinationBuffer());
    case effOfflineNotify:
        return ptr != nullptr
                   ? answer(offlineNotify(static_cast<VstAudioFile*>(ptr), static_cast<int32_t>(value), index != 0))
                   : 0;
    case effOfflinePrepare:
        return ptr != nullptr ? answer(offlinePrepare(static_cast<VstOfflineTask*>(ptr), static_cast<int32_t>(value)))
                              : 0;
    case effOfflineRun:
        return ptr != nullptr ? answer(offlineRun(static_cast<VstOfflineTask*>(ptr), static_cast<int32_t>(value))) : 0;
    case effProcessVarIo:
        return ptr != nullptr ? answer(processVarIo(static_cast<VstVariableIo*>(ptr))) : 0;
    case effSetSpeakerArrangement:
        // An instrument's input arrangement may legitimately be null.
        return answer(setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                            static_cast<VstSpeakerArrangement*>(ptr)));
    case effSetBlockSizeAndSampleRate:
        setBlockSizeAndSampleRate(static_cast<int32_t>(value), opt);
        return 1;
    case effSetBypass:
        return answer(setBypass(value != 0));
    case effGetEffectName:
        return ptr != nullptr ? answer(getEffectName(text)) : 0;
    case effGetErrorText:
        return ptr != nullptr ? answer(getErrorText(text)) : 0;
    case effGetVendorString:
        return ptr != nullptr ? answer(getVendorString(text)) : 0;
    case effGetProductString:
        return ptr != nullptr ? answer(getProductString(text)) : 0;
    case effGetVendorVersion:
        return getVendorVersion();
    case effVendorSpecific:
        return vendorSpecific(index, value, ptr, opt);
    // canDo answers a null text itself (never "yes"), without reading it.
    case effCanDo:
        return canDo(text);
    case effGetTailSize:
        return getTailSize();
    case effIdle:
        return idle();
    case effGetIcon:
        return reinterpret_cast<intptr_t>(getIcon());
    case effSetViewPosition:
        return answer(setViewPosition(index, static_cast<int32_t>(value)));
    case effGetParameterProperties:
        return ptr != nullptr ? answer(getParameterProperties(index, static_cast<VstParameterProperties*>(ptr))) : 0;
    case effKeysRequired:
        // The published sense is inverted: 1 means the plug-in needs no keys.
        return answer(!keysRequired());
    case effGetVstVersion:
        return getVstVersion();
    case effEditKeyDown:
        if (editor != nullptr) {
            VstKeyCode keyCode = keyCodeFrom(index, value, opt);
            return answer(editor->onKeyDown(keyCode));
        }
        return 0;
    case effEditKeyUp:
        if (editor != nullptr) {
            VstKeyCode keyCode = keyCodeFrom(index, value, opt);
            return answer(editor->onKeyUp(keyCode));
        }
        return 0;
    case effSetEditKnobMode:
        return editor != nullptr ? answer(editor->setKnobMode(static_cast<int32_t>(value))) : 0;
    case effGetMidiProgramName:
        return getMidiProgramName(index, static_cast<MidiProgramName*>(ptr));
    case effGetCurrentMidiProgram:
        return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
    case effGetMidiProgramCategory:
        return getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr));
    case effHasMidiProgramsChanged:
        return answer(hasMidiProgramsChanged(index));
    case effGetMidiKeyName:
        return answer(getMidiKeyName(index, static_cast<MidiKeyName*>(ptr)));
    case effBeginSetProgram:
        return answer(beginSetProgram());
    case effEndSetProgram:
        return answer(endSetProgram());
    case effGetSpeakerArrangement:
        return answer(getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                            static_cast<VstSpeakerArrangement**>(ptr)));
    case effShellGetNextPlugin:
        return ptr != nullptr ? shellGetNextPlugin(text) : 0;
    case effStartProcess:
        return startProcess();
    case effStopProcess:
        return stopProcess();
    case effSetTotalSampleToProcess:
        return setTotalSampleToProcess(static_cast<int32_t>(value));
    case effSetPanLaw:
        return answer(setPanLaw(static_cast<int32_t>(value), opt));
    case effBeginLoadBank:
        return ptr != nullptr ? beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr)) : 0;
    case effBeginLoadProgram:
        return ptr != nullptr ? beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr)) : 0;
    case effSetProcessPrecision:
        return answer(setProcessPrecision(static_cast<int32_t>(value)));
    case effGetNumMidiInputChannels:
        return getNumMidiInputChannels();
    case effGetNumMidiOutputChannels:
        return getNumMidiOutputChannels();
    default:
        return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

void AudioEffectX::resume()
{
    char receiveMidi[] = "receiveVstMidiEvent";
    if ((effect.flags & effFlagsIsSynth) != 0 || canDo(receiveMidi) == 1) {
        wantEvents(1);
    }
}

bool AudioEffectX::canBeAutomated(int32_t)
{
    return true;
}

bool AudioEffectX::string2Parameter(int32_t, char*)
{
    return false;
}

bool AudioEffectX::getParameterProperties(int32_t, VstParameterProperties*)
{
    return false;
}

bool AudioEffectX::beginEdit(int32_t index)
{
    return hasHost() && callHost(audioMasterBeginEdit, index) != 0;
}

bool AudioEffectX::endEdit(int32_t index)
{
    return hasHost() && callHost(audioMasterEndEdit, index) != 0;
}

bool AudioEffectX::getProgramNameIndexed(int32_t, int32_t, char*)
{
    return false;
}

bool AudioEffectX::beginSetProgram()
{
    return false;
}

bool AudioEffectX::endSetProgram()
{
    return false;
}

int32_t AudioEffectX::beginLoadBank(VstPatchChunkInfo*)
{
    return 0;
}

int32_t AudioEffectX::beginLoadProgram(VstPatchChunkInfo*)
{
    return 0;
}

bool AudioEffectX::ioChanged()
{
    return hasHost() && callHost(audioMasterIOChanged) != 0;
}

float AudioEffectX::updateSampleRate()
{
    if (hasHost()) {
        const intptr_t rate = callHost(audioMasterGetSampleRate);
        if (rate > 0) {
            sampleRate = static_cast<float>(rate);
        }
    }
    return sampleRate;
}

int32_t AudioEffectX::updateBlockSize()
{
    if (hasHost()) {
        const intptr_t size = callHost(audioMasterGetBlockSize);
        if (size > 0) {
            blockSize = static_cast<int32_t>(size);
        }
    }
    return blockSize;
}

int32_t AudioEffectX::getInputLatency()
{
    return hasHost() ? static_cast<int32_t>(callHost(audioMasterGetInputLatency)) : 0;
}

int32_t AudioEffectX::getOutputLatency()
{
    return hasHost() ? static_cast<int32_t>(callHost(audioMasterGetOutputLatency)) : 0;
}

bool AudioEffectX::getInputProperties(int32_t, VstPinProperties*)
{
    return false;
}

bool AudioEffectX::getOutputProperties(int32_t, VstPinProperties*)
{
    return false;
}

bool AudioEffectX::setSpeakerArrangement(VstSpeakerArrangement*, VstSpeakerArrangement*)
{
    return false;
}

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement** input, VstSpeakerArrangement** output)
{
    if (input != nullptr) {
        *input = nullptr;
    }
    if (output != nullptr) {
        *output = nullptr;
    }
    return false;
}

bool AudioEffectX::setBypass(bool)
{
    return false;
}

bool AudioEffectX::setPanLaw(int32_t, float)
{
    return false;
}

bool AudioEffectX::setProcessPrecision(int32_t)
{
    return false;
}

int32_t AudioEffectX::getNumMidiInputChannels()
{
    return 0;
}

int32_t AudioEffectX::getNumMidiOutputChannels()
{
    return 0;
}

VstTimeInfo* AudioEffectX::getTimeInfo(int32_t filter)
{
    return hasHost() ? reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter)) : nullptr;
}

int32_t AudioEffectX::getCurrentProcessLevel()
{
    return hasHost() ? static_cast<int32_t>(callHost(audioMasterGetCurrentProcessLevel)) : 0;
}

int32_t AudioEffectX::getAutomationState()
{
    return hasHost() ? static_cast<int32_t>(callHost(audioMasterGetAutomationState)) : 0;
}

int32_t AudioEffectX::processEvents(VstEvents*)
{
    return 0;
}

int32_t AudioEffectX::startProcess()
{
    return 0;
}

int32_t AudioEffectX::stopProcess()
{
    return 0;
}

bool AudioEffectX::processVarIo(VstVariableIo*)
{
    return false;
}

int32_t AudioEffectX::setTotalSampleToProcess(int32_t value)
{
    return value;
}

bool AudioEffectX::getHostVendorString(char* text)
{
    return hasHost() && callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}

bool AudioEffectX::getHostProductString(char* text)
{
    return hasHost() && callHost(audioMasterGetProductString, 0, 0, text) != 0;
}

int32_t AudioEffectX::getHostVendorVersion()
{
    return hasHost() ? static_cast<int32_t>(callHost(audioMasterGetVendorVersion)) : 0;
}

intptr_t AudioEffectX::hostVendorSpecific(int32_t index, intptr_t value, void* ptr, float opt)
{
    return hasHost() ? callHost(audioMasterVendorSpecific, index, value, ptr, opt) : 0;
}

// Hosts answer 1 or -1 for a known capability: both mean yes here.
int32_t AudioEffectX::canHostDo(char* text)
{
    return hasHost() && callHost(audioMasterCanDo, 0, 0, text) != 0 ? 1 : 0;
}

int32_t AudioEffectX::getHostLanguage()
{
    return hasHost() ? static_cast<int32_t>(callHost(audioMasterGetLanguage)) : 0;
}

void AudioEffectX::isSynth(bool state)
{
    setFlag(effFlagsIsSynth, state);
}

void AudioEffectX::noSoundInStop(bool state)
{
    setFlag(effFlagsNoSoundInStop, state);
}

int32_t AudioEffectX::getTailSize()
{
    return 0;
}

void* AudioEffectX::getDirectory()
{
    return hasHost() ? reinterpret_cast<void*>(callHost(audioMasterGetDirectory)) : nullptr;
}

bool AudioEffectX::getEffectName(char*)
{
    return false;
}

bool AudioEffectX::getVendorString(char*)
{
    return false;
}

bool AudioEffectX::getProductString(char*)
{
    return false;
}

int32_t AudioEffectX::getVendorVersion()
{
    return 0;
}

intptr_t AudioEffectX::vendorSpecific(int32_t, intptr_t, void*, float)
{
    return 0;
}

int32_t AudioEffectX::canDo(char*)
{
    return 0;
}

int32_t AudioEffectX::getVstVersion()
{
    return kVstVersion;
}

int32_t AudioEffectX::getPlugCategory()
{
    return (effect.flags & effFlagsIsSynth) != 0 ? kPlugCategorySynth : kPlugCategoryUnknown;
}

int32_t AudioEffectX::getMidiProgramName(int32_t, MidiProgramName*)
{
    return 0;
}

int32_t AudioEffectX::getCurrentMidiProgram(int32_t, MidiProgramName*)
{
    return -1;
}

int32_t AudioEffectX::getMidiProgramCategory(int32_t, MidiProgramCategory*)
{
    return 0;
}

bool AudioEffectX::hasMidiProgramsChanged(int32_t)
{
    return false;
}

bool AudioEffectX::getMidiKeyName(int32_t, MidiKeyName*)
{
    return false;
}

bool AudioEffectX::updateDisplay()
{
    return hasHost() && callHost(audioMasterUpdateDisplay) != 0;
}

bool AudioEffectX::sizeWindow(int32_t width, int32_t height)
{
    return hasHost() && callHost(audioMasterSizeWindow, width, height) != 0;
}

bool AudioEffectX::openFileSelector(VstFileSelect* selector)
{
    return hasHost() && selector != nullptr && callHost(audioMasterOpenFileSelector, 0, 0, selector) != 0;
}

bool AudioEffectX::closeFileSelector(VstFileSelect* selector)
{
    return hasHost() && selector != nullptr && callHost(audioMasterCloseFileSelector, 0, 0, selector) != 0;
}

int32_t AudioEffectX::shellGetNextPlugin(char*)
{
    return 0;
}

// A negative or unrepresentable channel count is refused before the place is
// touched; a failed allocation leaves null in the place.
bool AudioEffectX::allocateArrangement(VstSpeakerArrangement** arrangement, int32_t numChannels)
{
    if (arrangement == nullptr || numChannels < 0 ||
        static_cast<size_t>(numChannels) >
            (SIZE_MAX - offsetof(VstSpeakerArrangement, speakers)) / sizeof(VstSpeakerProperties)) {
        return false;
    }
    if (*arrangement != nullptr) {
        std::free(*arrangement);
        *arrangement = nullptr;
    }
    const size_t bytes = arrangementBytes(numChannels);
    void* block = std::malloc(bytes);
    if (block == nullptr) {
        return false;
    }
    std::memset(block, 0, bytes);
    *arrangement = static_cast<VstSpeakerArrangement*>(block);
    (*arrangement)->numChannels = numChannels;
    return true;
}

bool AudioEffectX::deallocateArrangement(VstSpeakerArrangement** arrangement)
{
    if (arrangement != nullptr && *arrangement != nullptr) {
        std::free(*arrangement);
        *arrangement = nullptr;
    }
    return true;
}

bool AudioEffectX::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from)
{
    if (to == nullptr || from == nullptr) {
        return false;
    }
    if (to == from) {
        return true;
    }
    to->azimuth = from->azimuth;
    to->elevation = from->elevation;
    to->radius = from->radius;
    to->reserved = from->reserved;
    // At most 63 characters, zeros to the end of the field (strncpy's result).
    Korvanta::copyText(to->name, sizeof(to->name), from->name);
    const size_t length = std::strlen(to->name);
    std::memset(to->name + length, 0, sizeof(to->name) - length);
    to->type = from->type;
    std::memcpy(to->future, from->future, sizeof(to->future));
    return true;
}

bool AudioEffectX::matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from)
{
    if (from == nullptr) {
        return false;
    }
    // Freeing the destination would free the source too.
    if (to != nullptr && *to == from) {
        return true;
    }
    if (!deallocateArrangement(to) || !allocateArrangement(to, from->numChannels)) {
        return false;
    }
    (*to)->type = from->type;
    // Both arrangements are allocated for numChannels speakers, beyond the
    // eight the record declares.
    VstSpeakerProperties* const target = (*to)->speakers;
    VstSpeakerProperties* const source = from->speakers;
    for (int32_t channel = 0; channel < from->numChannels; ++channel) {
        if (!copySpeaker(target + channel, source + channel)) {
            return false;
        }
    }
    return true;
}

bool AudioEffectX::offlineRead(VstOfflineTask* offline, int32_t option, bool readSource)
{
    return hasHost() && callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, offline) != 0;
}

bool AudioEffectX::offlineWrite(VstOfflineTask* offline, int32_t option)
{
    return hasHost() && callHost(audioMasterOfflineWrite, 0, option, offline) != 0;
}

bool AudioEffectX::offlineStart(VstAudioFile* audioFiles, int32_t numAudioFiles, int32_t numNewAudioFiles)
{
    return hasHost() && callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, audioFiles) != 0;
}

bool AudioEffectX::offlineGetCurrentPass()
{
    return hasHost() && callHost(audioMasterOfflineGetCurrentPass) != 0;
}

bool AudioEffectX::offlineGetCurrentMetaPass()
{
    return hasHost() && callHost(audioMasterOfflineGetCurrentMetaPass) != 0;
}

bool AudioEffectX::offlineNotify(VstAudioFile*, int32_t, bool)
{
    return false;
}

bool AudioEffectX::offlinePrepare(VstOfflineTask*, int32_t)
{
    return false;
}

bool AudioEffectX::offlineRun(VstOfflineTask*, int32_t)
{
    return false;
}

int32_t AudioEffectX::offlineGetNumPasses()
{
    return 0;
}

int32_t AudioEffectX::offlineGetNumMetaPasses()
{
    return 0;
}

void AudioEffectX::wantEvents(int32_t filter)
{
    if (hasHost()) {
        callHost(audioMasterWantMidi, 0, filter);
    }
}

int32_t AudioEffectX::tempoAt(int32_t position)
{
    return hasHost() ? static_cast<int32_t>(callHost(audioMasterTempoAt, 0, position)) : 0;
}

int32_t AudioEffectX::getNumAutomatableParameters()
{
    return hasHost() ? static_cast<int32_t>(callHost(audioMasterGetNumAutomatableParameters)) : 0;
}

int32_t AudioEffectX::getParameterQuantization()
{
    return hasHost() ? static_cast<int32_t>(callHost(audioMasterGetParameterQuantization)) : 0;
}

int32_t AudioEffectX::getNumProgramCategories()
{
    return 1;
}

bool AudioEffectX::copyProgram(int32_t)
{
    return false;
}

bool AudioEffectX::needIdle()
{
    return hasHost() && callHost(audioMasterNeedIdle) != 0;
}

// The pin number is not part of the request.
EffectRecord* AudioEffectX::getPreviousPlug(int32_t)
{
    return hasHost() ? reinterpret_cast<EffectRecord*>(callHost(audioMasterGetPreviousPlug)) : nullptr;
}

EffectRecord* AudioEffectX::getNextPlug(int32_t)
{
    return hasHost() ? reinterpret_cast<EffectRecord*>(callHost(audioMasterGetNextPlug)) : nullptr;
}

void AudioEffectX::connectInput(int32_t, bool) {}

void AudioEffectX::connectOutput(int32_t, bool) {}

int32_t AudioEffectX::willReplaceOrAccumulate()
{
    return hasHost() ? static_cast<int32_t>(callHost(audioMasterWillReplaceOrAccumulate)) : 0;
}

void AudioEffectX::setExtIsAsync(bool state)
{
    setFlag(effFlagsExtIsAsync, state);
}

void AudioEffectX::setExtHasBuffer(bool state)
{
    setFlag(effFlagsExtHasBuffer, state);
}

int32_t AudioEffectX::getCurrentPosition()
{
    return 0;
}

float* AudioEffectX::getDestinationBuffer()
{
    return nullptr;
}

void AudioEffectX::setOutputSampleRate(float rate)
{
    if (hasHost()) {
        callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, rate);
    }
}

VstSpeakerArrangement* AudioEffectX::getInputSpeakerArrangement()
{
    return hasHost() ? reinterpret_cast<VstSpeakerArrangement*>(callHost(audioMasterGetInputSpeakerArrangement))
                     : nullptr;
}

VstSpeakerArrangement* AudioEffectX::getOutputSpeakerArrangement()
{
    return hasHost() ? reinterpret_cast<VstSpeakerArrangement*>(callHost(audioMasterGetOutputSpeakerArrangement))
                     : nullptr;
}

void* AudioEffectX::openWindow(VstWindow* window)
{
    return hasHost() ? reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, window)) : nullptr;
}

bool AudioEffectX::closeWindow(VstWindow* window)
{
    return hasHost() && callHost(audioMasterCloseWindow, 0, 0, window) != 0;
}

void AudioEffectX::setBlockSizeAndSampleRate(int32_t size, float rate)
{
    blockSize = size;
    sampleRate = rate;
}

bool AudioEffectX::getErrorText(char*)
{
    return false;
}

void* AudioEffectX::getIcon()
{
    return nullptr;
}

bool AudioEffectX::setViewPosition(int32_t, int32_t)
{
    return false;
}

int32_t AudioEffectX::idle()
{
    return 0;
}

bool AudioEffectX::keysRequired()
{
    return false;
}

bool AudioEffectX::getChunkFile(void* nativePath)
{
    return hasHost() && nativePath != nullptr && callHost(audioMasterGetChunkFile, 0, 0, nativePath) != 0;
}

bool AudioEffectX::sendVstEventsToHost(VstEvents* events)
{
    return hasHost() && callHost(audioMasterProcessEvents, 0, 0, events) == 1;
}
