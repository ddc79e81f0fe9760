#include "vst/AudioEffect.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "TextCopy.h"
#include "vst/AEffEditor.h"

namespace {

// 'N','o','E','f': the identifier until the subclass stores its own.
constexpr int32_t kDefaultUniqueId = 0x4E6F4566;
// 'N','v','E','f': the answer to effIdentify.
constexpr intptr_t kIdentifyAnswer = 0x4E764566;

// The record's entry points: find the object through the record and forward.
// Nothing may unwind into the host, so every exception ends here with the
// neutral answer.

AudioEffect* owner(EffectRecord* effect)
{
    return effect != nullptr ? static_cast<AudioEffect*>(effect->object) : nullptr;
}

intptr_t __cdecl dispatchEntry(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                               float opt)
{
    AudioEffect* object = owner(effect);
    if (object == nullptr) {
        return 0;
    }
    if (opcode == effClose) {
        // The close reaches every override first; then the host's reference dies.
        try {
            object->dispatcher(opcode, index, value, ptr, opt);
        } catch (...) {
        }
        delete object;
        return 1;
    }
    try {
        return object->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
        return 0;
    }
}

void __cdecl processEntry(EffectRecord* effect, float** inputs, float** outputs, int32_t sampleFrames)
{
    if (AudioEffect* object = owner(effect)) {
        try {
            object->process(inputs, outputs, sampleFrames);
        } catch (...) {
        }
    }
}

void __cdecl processReplacingEntry(EffectRecord* effect, float** inputs, float** outputs, int32_t sampleFrames)
{
    if (AudioEffect* object = owner(effect)) {
        try {
            object->processReplacing(inputs, outputs, sampleFrames);
        } catch (...) {
        }
    }
}

void __cdecl processDoubleReplacingEntry(EffectRecord* effect, double** inputs, double** outputs, int32_t sampleFrames)
{
    if (AudioEffect* object = owner(effect)) {
        try {
            object->processDoubleReplacing(inputs, outputs, sampleFrames);
        } catch (...) {
        }
    }
}

void __cdecl setParameterEntry(EffectRecord* effect, int32_t index, float value)
{
    if (AudioEffect* object = owner(effect)) {
        try {
            object->setParameter(index, value);
        } catch (...) {
        }
    }
}

float __cdecl getParameterEntry(EffectRecord* effect, int32_t index)
{
    if (AudioEffect* object = owner(effect)) {
        try {
            return object->getParameter(index);
        } catch (...) {
        }
    }
    return 0.0f;
}

// Float to integer without undefined behaviour for NaN or out-of-range values.
int32_t truncateToInt32(double value)
{
    if (!(value > -2147483649.0 && value < 2147483648.0)) {
        return 0;
    }
    return static_cast<int32_t>(value);
}

}  // namespace

AudioEffect::AudioEffect(HostCallback hostCallback, int32_t numPrograms, int32_t numParams)
    : hostCallback(hostCallback), editor(nullptr), sampleRate(44100.0f), blockSize(1024), numPrograms(numPrograms),
      numParams(numParams), curProgram(0)
{
    std::memset(&effect, 0, sizeof(effect));
    effect.magic = kEffectMagic;
    effect.dispatcherEntry = dispatchEntry;
    effect.processEntry = processEntry;
    effect.setParameterEntry = setParameterEntry;
    effect.getParameterEntry = getParameterEntry;
    effect.numPrograms = numPrograms;
    effect.numParams = numParams;
    effect.numInputs = 1;
    effect.numOutputs = 2;
    effect.flags = effFlagsCanReplacing;
    effect.ioRatio = 1.0f;
    effect.object = this;
    effect.uniqueID = kDefaultUniqueId;
    effect.version = 1;
    effect.processReplacingEntry = processReplacingEntry;
    effect.processDoubleReplacingEntry = processDoubleReplacingEntry;
}

AudioEffect::~AudioEffect()
{
    delete editor;
}

intptr_t AudioEffect::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        // Signed bound check as on a 32-bit host: negative numbers pass and
        // the subclass copes. On x64 a value outside the 32-bit range is
        // refused rather than cut down to some valid program.
        if (value >= INT32_MIN && value < numPrograms) {
            setProgram(static_cast<int32_t>(value));
        }
        return 0;
    case effGetProgram:
        return getProgram();
    // Hosts scanning plug-ins pass null text buffers: no operation sees them.
    case effSetProgramName:
        if (ptr != nullptr) {
            setProgramName(static_cast<char*>(ptr));
        }
        return 0;
    case effGetProgramName:
        if (ptr != nullptr) {
            getProgramName(static_cast<char*>(ptr));
        }
        return 0;
    case effGetParamLabel:
        if (ptr != nullptr) {
            getParamLabel(index, static_cast<char*>(ptr));
        }
        return 0;
    case effGetParamDisplay:
        if (ptr != nullptr) {
            getParamDisplay(index, static_cast<char*>(ptr));
        }
        return 0;
    case effGetParamName:
        if (ptr != nullptr) {
            getParamName(index, static_cast<char*>(ptr));
        }
        return 0;
    case effGetVu:
        return truncateToInt32(static_cast<double>(getVu()) * 32767.0);
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<int32_t>(value));
        return 0;
    case effMainsChanged:
        if (value != 0) {
            resume();
        } else {
            suspend();
        }
        return 0;
    case effEditGetRect:
        // ptr is where the editor stores its rectangle's address; editors
        // check it themselves, since a null place still asks for the size.
        if (editor != nullptr) {
            return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
        }
        return 0;
    case effEditOpen:
        if (editor != nullptr) {
            return editor->open(ptr) ? 1 : 0;
        }
        return 0;
    case effEditClose:
        if (editor != nullptr) {
            editor->close();
        }
        return 0;
    case effEditIdle:
        if (editor != nullptr) {
            editor->idle();
        }
        return 0;
    case effIdentify:
        return kIdentifyAnswer;
    case effGetChunk:
        if (ptr != nullptr) {
            return getChunk(static_cast<void**>(ptr), index != 0);
        }
        return 0;
    case effSetChunk:
        // A null ptr and a negative count are passed on: the operation gives
        // its restore an empty stream and answers as for any chunk. A count
        // beyond 32 bits cannot describe the host's bytes and arrives as -1.
        return setChunk(ptr, value >= INT32_MIN && value <= INT32_MAX ? static_cast<int32_t>(value) : -1, index != 0);
    default:
        return 0;
    }
}

void AudioEffect::open() {}

void AudioEffect::close() {}

void AudioEffect::suspend() {}

void AudioEffect::resume() {}

void AudioEffect::setSampleRate(float rate)
{
    sampleRate = rate;
}

void AudioEffect::setBlockSize(int32_t size)
{
    blockSize = size;
}

void AudioEffect::processDoubleReplacing(double**, double**, int32_t) {}

void AudioEffect::setParameter(int32_t, float) {}

float AudioEffect::getParameter(int32_t)
{
    return 0.0f;
}

void AudioEffect::setParameterAutomated(int32_t index, float value)
{
    setParameter(index, value);
    if (hasHost()) {
        callHost(audioMasterAutomate, index, 0, nullptr, value);
    }
}

int32_t AudioEffect::getProgram()
{
    return curProgram;
}

void AudioEffect::setProgram(int32_t program)
{
    curProgram = program;
}

void AudioEffect::setProgramName(char*) {}

void AudioEffect::getProgramName(char* name)
{
    if (name != nullptr) {
        *name = '\0';
    }
}

void AudioEffect::getParamLabel(int32_t, char* label)
{
    if (label != nullptr) {
        *label = '\0';
    }
}

void AudioEffect::getParamDisplay(int32_t, char* text)
{
    if (text != nullptr) {
        *text = '\0';
    }
}

void AudioEffect::getParamName(int32_t, char* text)
{
    if (text != nullptr) {
        *text = '\0';
    }
}

int32_t AudioEffect::getChunk(void**, bool)
{
    return 0;
}

int32_t AudioEffect::setChunk(void*, int32_t, bool)
{
    return 0;
}

void AudioEffect::setUniqueID(int32_t uniqueID)
{
    effect.uniqueID = uniqueID;
}

void AudioEffect::setNumInputs(int32_t inputs)
{
    effect.numInputs = inputs;
}

void AudioEffect::setNumOutputs(int32_t outputs)
{
    effect.numOutputs = outputs;
}

void AudioEffect::canProcessReplacing(bool state)
{
    setFlag(effFlagsCanReplacing, state);
}

void AudioEffect::canDoubleReplacing(bool state)
{
    setFlag(effFlagsCanDoubleReplacing, state);
}

void AudioEffect::programsAreChunks(bool state)
{
    setFlag(effFlagsProgramChunks, state);
}

void AudioEffect::setInitialDelay(int32_t delay)
{
    effect.initialDelay = delay;
}

AEffEditor* AudioEffect::getEditor()
{
    return editor;
}

EffectRecord* AudioEffect::getEffectRecord()
{
    return &effect;
}

float AudioEffect::getSampleRate()
{
    return sampleRate;
}

int32_t AudioEffect::getBlockSize()
{
    return blockSize;
}

int32_t AudioEffect::getMasterVersion()
{
    if (!hasHost()) {
        return 1;
    }
    const intptr_t answer = callHost(audioMasterVersion);
    return answer != 0 ? static_cast<int32_t>(answer) : 1;
}

int32_t AudioEffect::getCurrentId()
{
    return hasHost() ? static_cast<int32_t>(callHost(audioMasterCurrentId)) : 0;
}

void AudioEffect::masterIdle()
{
    if (hasHost()) {
        callHost(audioMasterIdle);
    }
}

// The host answers 0 for a connected pin.
bool AudioEffect::isInputConnected(int32_t input)
{
    return hasHost() ? callHost(audioMasterPinConnected, input, 0) == 0 : true;
}

bool AudioEffect::isOutputConnected(int32_t output)
{
    return hasHost() ? callHost(audioMasterPinConnected, output, 1) == 0 : true;
}

// The text conversions build the whole text and then copy at most maxLen
// characters into the caller's maxLen + 1 bytes: the same bytes as cutting
// after every step, and nothing written past text[maxLen].
// The texts "-oo", "NaN" and "Huge!" are what hosts show users; kept as they stand.
void AudioEffect::decibelsToText(float value, char* text, int32_t maxLen)
{
    if (value <= 0.0f) {
        Korvanta::copyText(text, maxLen + int64_t{1}, "-oo");
        return;
    }
    const float decades = static_cast<float>(std::log10(value));
    floatToText(20.0f * decades, text, maxLen);
}

void AudioEffect::hertzToText(float samples, char* text, int32_t maxLen)
{
    if (samples == 0.0f) {
        floatToText(0.0f, text, maxLen);
    } else {
        floatToText(getSampleRate() / samples, text, maxLen);
    }
}

void AudioEffect::millisecondsToText(float samples, char* text, int32_t maxLen)
{
    floatToText(static_cast<float>(samples * 1000.0 / getSampleRate()), text, maxLen);
}

// Eight characters counting sign and point: the integer digits, a point, and
// as many truncated fraction digits as fit. Integer parts one digit wider than
// that (10000000 up, or -1000000 down) keep all their digits and lose the
// fraction instead of their leading digit.
void AudioEffect::floatToText(float value, char* text, int32_t maxLen)
{
    if (std::isnan(value)) {
        Korvanta::copyText(text, maxLen + int64_t{1}, "NaN");
        return;
    }
    double magnitude = value;
    const bool negative = value < 0.0f;
    if (negative) {
        magnitude = -magnitude;
        if (magnitude > 9999999.0) {
            Korvanta::copyText(text, maxLen + int64_t{1}, "Huge!");
            return;
        }
    } else if (magnitude > 99999999.0) {
        Korvanta::copyText(text, maxLen + int64_t{1}, "Huge!");
        return;
    }

    char digits[16];
    int digitCount = 0;
    const double integerPart = std::floor(magnitude);
    int64_t remaining = static_cast<int64_t>(integerPart);
    int n = negative ? 1 : 0;
    do {
        digits[digitCount++] = static_cast<char>('0' + remaining % 10);
        remaining /= 10;
        n += digitCount == 1 ? 2 : 1;
    } while (remaining >= 1);

    char result[32];
    int length = 0;
    if (negative) {
        result[length++] = '-';
    }
    while (digitCount > 0) {
        result[length++] = digits[--digitCount];
    }
    result[length++] = '.';

    if (n < 8) {
        const int fractionDigits = 8 - n;
        int64_t m = static_cast<int64_t>((magnitude - integerPart) * std::pow(10.0, fractionDigits));
        for (int i = fractionDigits - 1; i >= 0; --i) {
            result[length + i] = static_cast<char>('0' + (m > 0 ? m % 10 : 0));
            m /= 10;
        }
        length += fractionDigits;
    }
    result[length] = '\0';
    Korvanta::copyText(text, maxLen + int64_t{1}, result);
}

// No leading zeros. Positive values from 100000000 up are "Huge!"; negative
// values keep every digit, down to the smallest int32.
void AudioEffect::intToText(int32_t value, char* text, int32_t maxLen)
{
    if (value >= 100000000) {
        Korvanta::copyText(text, maxLen + int64_t{1}, "Huge!");
        return;
    }
    char result[16];
    int length = 0;
    int64_t magnitude = value;
    if (magnitude < 0) {
        result[length++] = '-';
        magnitude = -magnitude;
    }
    bool started = false;
    for (int64_t divisor = 1000000000; divisor >= 1; divisor /= 10) {
        const int digit = static_cast<int>(magnitude / divisor);
        magnitude %= divisor;
        if (started || digit > 0 || divisor == 1) {
            result[length++] = static_cast<char>('0' + digit);
            started = true;
        }
    }
    result[length] = '\0';
    Korvanta::copyText(text, maxLen + int64_t{1}, result);
}

void AudioEffect::process(float**, float**, int32_t) {}

float AudioEffect::getVu()
{
    return 0.0f;
}

void AudioEffect::hasVu(bool state)
{
    setFlag(effFlagsHasVu, state);
}

void AudioEffect::hasClip(bool state)
{
    setFlag(effFlagsHasClip, state);
}

void AudioEffect::canMono(bool state)
{
    setFlag(effFlagsCanMono, state);
}

void AudioEffect::setRealtimeQualities(int32_t qualities)
{
    effect.realQualities = qualities;
}

void AudioEffect::setOfflineQualities(int32_t qualities)
{
    effect.offQualities = qualities;
}

void AudioEffect::setEditor(AEffEditor* newEditor)
{
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

void AudioEffect::setFlag(int32_t flag, bool state)
{
    if (state) {
        effect.flags |= flag;
    } else {
        effect.flags &= ~flag;
    }
}

intptr_t AudioEffect::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    return hostCallback != nullptr ? hostCallback(&effect, opcode, index, value, ptr, opt) : 0;
}
