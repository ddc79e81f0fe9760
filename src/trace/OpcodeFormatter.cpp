#include "trace/OpcodeFormatter.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

const char* const effectOpcodeNames[] = {
    "effOpen",
    "effClose",
    "effSetProgram",
    "effGetProgram",
    "effSetProgramName",
    "effGetProgramName",
    "effGetParamLabel",
    "effGetParamDisplay",
    "effGetParamName",
    "effGetVu",
    "effSetSampleRate",
    "effSetBlockSize",
    "effMainsChanged",
    "effEditGetRect",
    "effEditOpen",
    "effEditClose",
    "effEditDraw",
    "effEditMouse",
    "effEditKey",
    "effEditIdle",
    "effEditTop",
    "effEditSleep",
    "effIdentify",
    "effGetChunk",
    "effSetChunk",
    "effProcessEvents",
    "effCanBeAutomated",
    "effString2Parameter",
    "effGetNumProgramCategories",
    "effGetProgramNameIndexed",
    "effCopyProgram",
    "effConnectInput",
    "effConnectOutput",
    "effGetInputProperties",
    "effGetOutputProperties",
    "effGetPlugCategory",
    "effGetCurrentPosition",
    "effGetDestinationBuffer",
    "effOfflineNotify",
    "effOfflinePrepare",
    "effOfflineRun",
    "effProcessVarIo",
    "effSetSpeakerArrangement",
    "effSetBlockSizeAndSampleRate",
    "effSetBypass",
    "effGetEffectName",
    "effGetErrorText",
    "effGetVendorString",
    "effGetProductString",
    "effGetVendorVersion",
    "effVendorSpecific",
    "effCanDo",
    "effGetTailSize",
    "effIdle",
    "effGetIcon",
    "effSetViewPosition",
    "effGetParameterProperties",
    "effKeysRequired",
    "effGetVstVersion",
    "effEditKeyDown",
    "effEditKeyUp",
    "effSetEditKnobMode",
    "effGetMidiProgramName",
    "effGetCurrentMidiProgram",
    "effGetMidiProgramCategory",
    "effHasMidiProgramsChanged",
    "effGetMidiKeyName",
    "effBeginSetProgram",
    "effEndSetProgram",
    "effGetSpeakerArrangement",
    "effShellGetNextPlugin",
    "effStartProcess",
    "effStopProcess",
    "effSetTotalSampleToProcess",
    "effSetPanLaw",
    "effBeginLoadBank",
    "effBeginLoadProgram",
    "effSetProcessPrecision",
    "effGetNumMidiInputChannels",
    "effGetNumMidiOutputChannels",
};
static_assert(sizeof effectOpcodeNames / sizeof effectOpcodeNames[0] == 80, "effect opcodes 0 to 79");

// Opcode 5 has no name: it prints as an unknown one.
const char* const hostOpcodeNames[] = {
    "audioMasterAutomate",
    "audioMasterVersion",
    "audioMasterCurrentId",
    "audioMasterIdle",
    "audioMasterPinConnected",
    nullptr,
    "audioMasterWantMidi",
    "audioMasterGetTime",
    "audioMasterProcessEvents",
    "audioMasterSetTime",
    "audioMasterTempoAt",
    "audioMasterGetNumAutomatableParameters",
    "audioMasterGetParameterQuantization",
    "audioMasterIOChanged",
    "audioMasterNeedIdle",
    "audioMasterSizeWindow",
    "audioMasterGetSampleRate",
    "audioMasterGetBlockSize",
    "audioMasterGetInputLatency",
    "audioMasterGetOutputLatency",
    "audioMasterGetPreviousPlug",
    "audioMasterGetNextPlug",
    "audioMasterWillReplaceOrAccumulate",
    "audioMasterGetCurrentProcessLevel",
    "audioMasterGetAutomationState",
    "audioMasterOfflineStart",
    "audioMasterOfflineRead",
    "audioMasterOfflineWrite",
    "audioMasterOfflineGetCurrentPass",
    "audioMasterOfflineGetCurrentMetaPass",
    "audioMasterSetOutputSampleRate",
    "audioMasterGetOutputSpeakerArrangement",
    "audioMasterGetVendorString",
    "audioMasterGetProductString",
    "audioMasterGetVendorVersion",
    "audioMasterVendorSpecific",
    "audioMasterSetIcon",
    "audioMasterCanDo",
    "audioMasterGetLanguage",
    "audioMasterOpenWindow",
    "audioMasterCloseWindow",
    "audioMasterGetDirectory",
    "audioMasterUpdateDisplay",
    "audioMasterBeginEdit",
    "audioMasterEndEdit",
    "audioMasterOpenFileSelector",
    "audioMasterCloseFileSelector",
    "audioMasterEditFile",
    "audioMasterGetChunkFile",
};
static_assert(sizeof hostOpcodeNames / sizeof hostOpcodeNames[0] == 49, "host opcodes 0 to 48");

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
    switch (opcode) {
    case 2:
        snprintf(text, size, "effSetProgram: %" PRIdPTR, value);
        break;
    case 3:
        snprintf(text, size, "effGetProgram: %" PRIdPTR, value);
        break;
    case 4:
        snprintf(text, size, "effSetProgramName: %.*s", precision, hostText(ptr));
        break;
    case 10:
        snprintf(text, size, "effSetSampleRate: %f", static_cast<double>(opt));
        break;
    case 11:
        snprintf(text, size, "effSetBlockSize: %" PRIdPTR, value);
        break;
    case 12:
        snprintf(text, size, "effMainsChanged: %s", value != 0 ? "on" : "off");
        break;
    case 51:
        snprintf(text, size, "effCanDo: %.*s", precision, hostText(ptr));
        break;
    default:
        if (opcode >= 0 && opcode < 80)
            snprintf(text, size, "%s", effectOpcodeNames[opcode]);
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
    switch (opcode) {
    case 0:
        snprintf(text, size, "audioMasterAutomate: idx=%d, opt=%f", static_cast<int>(index), static_cast<double>(opt));
        break;
    case 37:
        snprintf(text, size, "audioMasterCanDo: %.*s", textPrecision(size), hostText(ptr));
        break;
    case 43:
        snprintf(text, size, "audioMasterBeginEdit: idx=%d", static_cast<int>(index));
        break;
    case 44:
        snprintf(text, size, "audioMasterEndEdit: idx=%d", static_cast<int>(index));
        break;
    default:
        if (opcode >= 0 && opcode < 49 && hostOpcodeNames[opcode] != nullptr)
            snprintf(text, size, "%s", hostOpcodeNames[opcode]);
        else
            snprintf(text, size, "audioMaster(%d)", static_cast<int>(opcode));
        break;
    }
}
