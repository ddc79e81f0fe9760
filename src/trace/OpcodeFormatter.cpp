#include "trace/OpcodeFormatter.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "vst/VstAbi.h"

namespace {

// Each opcode's trace name is its declared name in vst/VstAbi.h, spelt once:
// OPCODE pairs the constant with its own spelling.
struct OpcodeName {
    int32_t opcode;
    const char* name;
};
#define OPCODE(constant)                                                                                               \
    {                                                                                                                  \
        constant, #constant                                                                                            \
    }

constexpr OpcodeName effectOpcodes[] = {
    OPCODE(effOpen),
    OPCODE(effClose),
    OPCODE(effSetProgram),
    OPCODE(effGetProgram),
    OPCODE(effSetProgramName),
    OPCODE(effGetProgramName),
    OPCODE(effGetParamLabel),
    OPCODE(effGetParamDisplay),
    OPCODE(effGetParamName),
    OPCODE(effGetVu),
    OPCODE(effSetSampleRate),
    OPCODE(effSetBlockSize),
    OPCODE(effMainsChanged),
    OPCODE(effEditGetRect),
    OPCODE(effEditOpen),
    OPCODE(effEditClose),
    OPCODE(effEditDraw),
    OPCODE(effEditMouse),
    OPCODE(effEditKey),
    OPCODE(effEditIdle),
    OPCODE(effEditTop),
    OPCODE(effEditSleep),
    OPCODE(effIdentify),
    OPCODE(effGetChunk),
    OPCODE(effSetChunk),
    OPCODE(effProcessEvents),
    OPCODE(effCanBeAutomated),
    OPCODE(effString2Parameter),
    OPCODE(effGetNumProgramCategories),
    OPCODE(effGetProgramNameIndexed),
    OPCODE(effCopyProgram),
    OPCODE(effConnectInput),
    OPCODE(effConnectOutput),
    OPCODE(effGetInputProperties),
    OPCODE(effGetOutputProperties),
    OPCODE(effGetPlugCategory),
    OPCODE(effGetCurrentPosition),
    OPCODE(effGetDestinationBuffer),
    OPCODE(effOfflineNotify),
    OPCODE(effOfflinePrepare),
    OPCODE(effOfflineRun),
    OPCODE(effProcessVarIo),
    OPCODE(effSetSpeakerArrangement),
    OPCODE(effSetBlockSizeAndSampleRate),
    OPCODE(effSetBypass),
    OPCODE(effGetEffectName),
    OPCODE(effGetErrorText),
    OPCODE(effGetVendorString),
    OPCODE(effGetProductString),
    OPCODE(effGetVendorVersion),
    OPCODE(effVendorSpecific),
    OPCODE(effCanDo),
    OPCODE(effGetTailSize),
    OPCODE(effIdle),
    OPCODE(effGetIcon),
    OPCODE(effSetViewPosition),
    OPCODE(effGetParameterProperties),
    OPCODE(effKeysRequired),
    OPCODE(effGetVstVersion),
    OPCODE(effEditKeyDown),
    OPCODE(effEditKeyUp),
    OPCODE(effSetEditKnobMode),
    OPCODE(effGetMidiProgramName),
    OPCODE(effGetCurrentMidiProgram),
    OPCODE(effGetMidiProgramCategory),
    OPCODE(effHasMidiProgramsChanged),
    OPCODE(effGetMidiKeyName),
    OPCODE(effBeginSetProgram),
    OPCODE(effEndSetProgram),
    OPCODE(effGetSpeakerArrangement),
    OPCODE(effShellGetNextPlugin),
    OPCODE(effStartProcess),
    OPCODE(effStopProcess),
    OPCODE(effSetTotalSampleToProcess),
    OPCODE(effSetPanLaw),
    OPCODE(effBeginLoadBank),
    OPCODE(effBeginLoadProgram),
    OPCODE(effSetProcessPrecision),
    OPCODE(effGetNumMidiInputChannels),
    OPCODE(effGetNumMidiOutputChannels),
};
constexpr std::size_t effectOpcodeCount = sizeof effectOpcodes / sizeof effectOpcodes[0];

// Host requests 0 to 48 with names; 5 has none, and 49 and above print as
// unknown ones too.
constexpr OpcodeName hostOpcodes[] = {
    OPCODE(audioMasterAutomate),
    OPCODE(audioMasterVersion),
    OPCODE(audioMasterCurrentId),
    OPCODE(audioMasterIdle),
    OPCODE(audioMasterPinConnected),
    OPCODE(audioMasterWantMidi),
    OPCODE(audioMasterGetTime),
    OPCODE(audioMasterProcessEvents),
    OPCODE(audioMasterSetTime),
    OPCODE(audioMasterTempoAt),
    OPCODE(audioMasterGetNumAutomatableParameters),
    OPCODE(audioMasterGetParameterQuantization),
    OPCODE(audioMasterIOChanged),
    OPCODE(audioMasterNeedIdle),
    OPCODE(audioMasterSizeWindow),
    OPCODE(audioMasterGetSampleRate),
    OPCODE(audioMasterGetBlockSize),
    OPCODE(audioMasterGetInputLatency),
    OPCODE(audioMasterGetOutputLatency),
    OPCODE(audioMasterGetPreviousPlug),
    OPCODE(audioMasterGetNextPlug),
    OPCODE(audioMasterWillReplaceOrAccumulate),
    OPCODE(audioMasterGetCurrentProcessLevel),
    OPCODE(audioMasterGetAutomationState),
    OPCODE(audioMasterOfflineStart),
    OPCODE(audioMasterOfflineRead),
    OPCODE(audioMasterOfflineWrite),
    OPCODE(audioMasterOfflineGetCurrentPass),
    OPCODE(audioMasterOfflineGetCurrentMetaPass),
    OPCODE(audioMasterSetOutputSampleRate),
    OPCODE(audioMasterGetOutputSpeakerArrangement),
    OPCODE(audioMasterGetVendorString),
    OPCODE(audioMasterGetProductString),
    OPCODE(audioMasterGetVendorVersion),
    OPCODE(audioMasterVendorSpecific),
    OPCODE(audioMasterSetIcon),
    OPCODE(audioMasterCanDo),
    OPCODE(audioMasterGetLanguage),
    OPCODE(audioMasterOpenWindow),
    OPCODE(audioMasterCloseWindow),
    OPCODE(audioMasterGetDirectory),
    OPCODE(audioMasterUpdateDisplay),
    OPCODE(audioMasterBeginEdit),
    OPCODE(audioMasterEndEdit),
    OPCODE(audioMasterOpenFileSelector),
    OPCODE(audioMasterCloseFileSelector),
    OPCODE(audioMasterEditFile),
    OPCODE(audioMasterGetChunkFile),
};
#undef OPCODE

// The effect table is indexed by opcode: entry i must be opcode i.
constexpr bool indexedByOpcode(const OpcodeName* table, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (table[i].opcode != static_cast<int32_t>(i))
            return false;
    }
    return true;
}
static_assert(effectOpcodeCount == effGetNumMidiOutputChannels + 1 && indexedByOpcode(effectOpcodes, effectOpcodeCount),
              "effect opcodes 0 to 79, in order");

const char* hostOpcodeName(int32_t opcode)
{
    for (const OpcodeName& entry : hostOpcodes) {
        if (entry.opcode == opcode)
            return entry.name;
    }
    return nullptr;
}

// Host text for "%.*s": the precision keeps the read within what can be
// shown, so a host string without a terminator is not followed further.
const char* hostText(void* ptr)
{
    return ptr != nullptr ? static_cast<const char*>(ptr) : "(null)";
}

int textPrecision(std::size_t size)
{
    return size > 256 * 1024 ? 256 * 1024 : static_cast<int>(size - 1);
}

}  // namespace

void formatEffectOpcode(char* text, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt,
                        std::size_t size)
{
    if (text == nullptr || size == 0)
        return;
    const int precision = textPrecision(size);
    // The trace texts below are kept exactly as debug-output readers know them.
    switch (opcode) {
    case effSetProgram:
        snprintf(text, size, "effSetProgram: %" PRIdPTR, value);
        break;
    case effGetProgram:
        snprintf(text, size, "effGetProgram: %" PRIdPTR, value);
        break;
    case effSetProgramName:
        snprintf(text, size, "effSetProgramName: %.*s", precision, hostText(ptr));
        break;
    case effSetSampleRate:
        snprintf(text, size, "effSetSampleRate: %f", static_cast<double>(opt));
        break;
    case effSetBlockSize:
        snprintf(text, size, "effSetBlockSize: %" PRIdPTR, value);
        break;
    case effMainsChanged:
        snprintf(text, size, "effMainsChanged: %s", value != 0 ? "on" : "off");
        break;
    case effCanDo:
        snprintf(text, size, "effCanDo: %.*s", precision, hostText(ptr));
        break;
    default:
        if (opcode >= 0 && static_cast<std::size_t>(opcode) < effectOpcodeCount)
            snprintf(text, size, "%s", effectOpcodes[opcode].name);
        else
            snprintf(text, size, "eff(%d)", static_cast<int>(opcode));
        break;
    }
    const std::size_t length = strnlen(text, size);
    if (length + 1 >= size)
        return;
    snprintf(text + length, size - length, " |%d %" PRIdPTR " %08" PRIxPTR " %f", static_cast<int>(index), value,
             reinterpret_cast<uintptr_t>(ptr), static_cast<double>(opt));
}

void formatHostOpcode(char* text, int32_t opcode, int32_t index, intptr_t, void* ptr, float opt, std::size_t size)
{
    if (text == nullptr || size == 0)
        return;
    // The trace texts below are kept exactly as debug-output readers know them.
    switch (opcode) {
    case audioMasterAutomate:
        snprintf(text, size, "audioMasterAutomate: idx=%d, opt=%f", static_cast<int>(index), static_cast<double>(opt));
        break;
    case audioMasterCanDo:
        snprintf(text, size, "audioMasterCanDo: %.*s", textPrecision(size), hostText(ptr));
        break;
    case audioMasterBeginEdit:
        snprintf(text, size, "audioMasterBeginEdit: idx=%d", static_cast<int>(index));
        break;
    case audioMasterEndEdit:
        snprintf(text, size, "audioMasterEndEdit: idx=%d", static_cast<int>(index));
        break;
    default:
        if (const char* name = hostOpcodeName(opcode))
            snprintf(text, size, "%s", name);
        else
            snprintf(text, size, "audioMaster(%d)", static_cast<int>(opcode));
        break;
    }
}
