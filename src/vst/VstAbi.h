#pragma once
// The VST 2.4 binary interface as the host sees it: records, entry point
// types and constants. Plain declarations only, so that a host program can
// include this header as well as the plug-in. Offsets are given as
// i686 | x86_64 and pinned below for the target being compiled.

#include <cstddef>
#include <cstdint>

struct EffectRecord;

// Every function pointer crossing the host boundary is cdecl.
typedef intptr_t(__cdecl* HostCallback)(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                        float opt);

typedef intptr_t(__cdecl* DispatcherProc)(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value,
                                          void* ptr, float opt);
typedef void(__cdecl* ProcessProc)(EffectRecord* effect, float** inputs, float** outputs, int32_t sampleFrames);
typedef void(__cdecl* ProcessDoubleProc)(EffectRecord* effect, double** inputs, double** outputs, int32_t sampleFrames);
typedef void(__cdecl* SetParameterProc)(EffectRecord* effect, int32_t index, float value);
typedef float(__cdecl* GetParameterProc)(EffectRecord* effect, int32_t index);

// The exported entry (VSTPluginMain, main, main_plugin).
typedef EffectRecord*(__cdecl* VstPluginMainProc)(HostCallback hostCallback);

// ---------------------------------------------------------------------------
// Effect record

enum : int32_t {
    kEffectMagic = 0x56737450  // 'VstP'
};

struct EffectRecord {
    int32_t magic;                                  //   0 |   0
    DispatcherProc dispatcherEntry;                 //   4 |   8
    ProcessProc processEntry;                       //   8 |  16
    SetParameterProc setParameterEntry;             //  12 |  24
    GetParameterProc getParameterEntry;             //  16 |  32
    int32_t numPrograms;                            //  20 |  40
    int32_t numParams;                              //  24 |  44
    int32_t numInputs;                              //  28 |  48
    int32_t numOutputs;                             //  32 |  52
    int32_t flags;                                  //  36 |  56
    intptr_t reserved1;                             //  40 |  64
    intptr_t reserved2;                             //  44 |  72
    int32_t initialDelay;                           //  48 |  80
    int32_t realQualities;                          //  52 |  84
    int32_t offQualities;                           //  56 |  88
    float ioRatio;                                  //  60 |  92
    void* object;                                   //  64 |  96
    void* user;                                     //  68 | 104
    int32_t uniqueID;                               //  72 | 112
    int32_t version;                                //  76 | 116
    ProcessProc processReplacingEntry;              //  80 | 120
    ProcessDoubleProc processDoubleReplacingEntry;  //  84 | 128
    char future[56];                                //  88 | 136
};                                                  // 144 | 192

enum : int32_t {
    effFlagsHasEditor = 1 << 0,
    effFlagsHasClip = 1 << 1,
    effFlagsHasVu = 1 << 2,
    effFlagsCanMono = 1 << 3,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsExtIsAsync = 1 << 10,
    effFlagsExtHasBuffer = 1 << 11,
    effFlagsCanDoubleReplacing = 1 << 12
};

// Dispatcher opcodes, host to plug-in.
enum : int32_t {
    effOpen = 0,
    effClose,
    effSetProgram,
    effGetProgram,
    effSetProgramName,
    effGetProgramName,
    effGetParamLabel,
    effGetParamDisplay,
    effGetParamName,
    effGetVu,
    effSetSampleRate,  // 10
    effSetBlockSize,
    effMainsChanged,
    effEditGetRect,
    effEditOpen,
    effEditClose,
    effEditDraw,
    effEditMouse,
    effEditKey,
    effEditIdle,
    effEditTop,  // 20
    effEditSleep,
    effIdentify,
    effGetChunk,
    effSetChunk,
    effProcessEvents,
    effCanBeAutomated,
    effString2Parameter,
    effGetNumProgramCategories,
    effGetProgramNameIndexed,
    effCopyProgram,  // 30
    effConnectInput,
    effConnectOutput,
    effGetInputProperties,
    effGetOutputProperties,
    effGetPlugCategory,
    effGetCurrentPosition,
    effGetDestinationBuffer,
    effOfflineNotify,
    effOfflinePrepare,
    effOfflineRun,  // 40
    effProcessVarIo,
    effSetSpeakerArrangement,
    effSetBlockSizeAndSampleRate,
    effSetBypass,
    effGetEffectName,
    effGetErrorText,
    effGetVendorString,
    effGetProductString,
    effGetVendorVersion,
    effVendorSpecific,  // 50
    effCanDo,
    effGetTailSize,
    effIdle,
    effGetIcon,
    effSetViewPosition,
    effGetParameterProperties,
    effKeysRequired,
    effGetVstVersion,
    effEditKeyDown,
    effEditKeyUp,  // 60
    effSetEditKnobMode,
    effGetMidiProgramName,
    effGetCurrentMidiProgram,
    effGetMidiProgramCategory,
    effHasMidiProgramsChanged,
    effGetMidiKeyName,
    effBeginSetProgram,
    effEndSetProgram,
    effGetSpeakerArrangement,
    effShellGetNextPlugin,  // 70
    effStartProcess,
    effStopProcess,
    effSetTotalSampleToProcess,
    effSetPanLaw,
    effBeginLoadBank,
    effBeginLoadProgram,
    effSetProcessPrecision,
    effGetNumMidiInputChannels,
    effGetNumMidiOutputChannels  // 79
};
static_assert(effSetSampleRate == 10 && effEditTop == 20 && effCopyProgram == 30 && effOfflineRun == 40 &&
                  effVendorSpecific == 50 && effEditKeyUp == 60 && effShellGetNextPlugin == 70 &&
                  effGetNumMidiOutputChannels == 79,
              "effect opcode numbering");

// Host callback opcodes, plug-in to host. 5 has no name.
enum : int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterPinConnected = 4,
    audioMasterWantMidi = 6,
    audioMasterGetTime,
    audioMasterProcessEvents,
    audioMasterSetTime,
    audioMasterTempoAt,  // 10
    audioMasterGetNumAutomatableParameters,
    audioMasterGetParameterQuantization,
    audioMasterIOChanged,
    audioMasterNeedIdle,
    audioMasterSizeWindow,
    audioMasterGetSampleRate,
    audioMasterGetBlockSize,
    audioMasterGetInputLatency,
    audioMasterGetOutputLatency,
    audioMasterGetPreviousPlug,  // 20
    audioMasterGetNextPlug,
    audioMasterWillReplaceOrAccumulate,
    audioMasterGetCurrentProcessLevel,
    audioMasterGetAutomationState,
    audioMasterOfflineStart,
    audioMasterOfflineRead,
    audioMasterOfflineWrite,
    audioMasterOfflineGetCurrentPass,
    audioMasterOfflineGetCurrentMetaPass,
    audioMasterSetOutputSampleRate,  // 30
    audioMasterGetOutputSpeakerArrangement,
    audioMasterGetVendorString,
    audioMasterGetProductString,
    audioMasterGetVendorVersion,
    audioMasterVendorSpecific,
    audioMasterSetIcon,
    audioMasterCanDo,
    audioMasterGetLanguage,
    audioMasterOpenWindow,
    audioMasterCloseWindow,  // 40
    audioMasterGetDirectory,
    audioMasterUpdateDisplay,
    audioMasterBeginEdit,
    audioMasterEndEdit,
    audioMasterOpenFileSelector,
    audioMasterCloseFileSelector,
    audioMasterEditFile,
    audioMasterGetChunkFile,
    audioMasterGetInputSpeakerArrangement  // 49
};
static_assert(audioMasterTempoAt == 10 && audioMasterGetPreviousPlug == 20 && audioMasterSetOutputSampleRate == 30 &&
                  audioMasterCloseWindow == 40 && audioMasterGetChunkFile == 48 &&
                  audioMasterGetInputSpeakerArrangement == 49,
              "host opcode numbering");

// Sizes of the text buffers that opcodes and host requests pass, in bytes with
// the terminator.
enum : int32_t {
    kVstParameterTextSize = 9,   // effGetParamLabel, effGetParamDisplay, effGetParamName
    kVstProgramNameSize = 24,    // effGetProgramName, effGetProgramNameIndexed
    kVstEffectNameSize = 32,     // effGetEffectName
    kVstVendorStringSize = 64,   // effGetVendorString, audioMasterGetVendorString
    kVstProductStringSize = 64,  // effGetProductString, audioMasterGetProductString
};

// Answers to audioMasterGetCurrentProcessLevel.
enum : int32_t {
    kVstProcessLevelUnknown = 0,
    kVstProcessLevelUser = 1,
    kVstProcessLevelRealtime = 2,
    kVstProcessLevelPrefetch = 3,
    kVstProcessLevelOffline = 4
};

// ---------------------------------------------------------------------------
// Events

enum : int32_t { kVstMidiType = 1, kVstSysExType = 6 };

enum : int32_t { kVstMidiEventIsRealtime = 1 };

struct VstEvent {
    int32_t type;         //  0
    int32_t byteSize;     //  4: size of the event minus 8
    int32_t deltaFrames;  //  8
    int32_t flags;        // 12
    char data[16];        // 16
};                        // 32

struct VstMidiEvent {
    int32_t type;          //  0
    int32_t byteSize;      //  4 (24)
    int32_t deltaFrames;   //  8
    int32_t flags;         // 12
    int32_t noteLength;    // 16
    int32_t noteOffset;    // 20
    char midiData[4];      // 24
    char detune;           // 28
    char noteOffVelocity;  // 29
    char reserved1;        // 30
    char reserved2;        // 31
};                         // 32

struct VstMidiSysexEvent {
    int32_t type;         //  0 |  0
    int32_t byteSize;     //  4 |  4
    int32_t deltaFrames;  //  8 |  8
    int32_t flags;        // 12 | 12
    int32_t dumpBytes;    // 16 | 16
    intptr_t resvd1;      // 20 | 24
    char* sysexDump;      // 24 | 32
    intptr_t resvd2;      // 28 | 40
};                        // 32 | 48

// Declared with two entries; the host allocates numEvents of them.
struct VstEvents {
    int32_t numEvents;    //  0 |  0
    intptr_t reserved;    //  4 |  8
    VstEvent* events[2];  //  8 | 16
};                        // 16 | 32

// ---------------------------------------------------------------------------
// Time information (the doubles first: same layout on both targets)

enum : int32_t {
    kVstTransportChanged = 1,
    kVstTransportPlaying = 1 << 1,
    kVstTransportCycleActive = 1 << 2,
    kVstTransportRecording = 1 << 3,
    kVstAutomationWriting = 1 << 6,
    kVstAutomationReading = 1 << 7,
    kVstNanosValid = 1 << 8,
    kVstPpqPosValid = 1 << 9,
    kVstTempoValid = 1 << 10,
    kVstBarsValid = 1 << 11,
    kVstCyclePosValid = 1 << 12,
    kVstTimeSigValid = 1 << 13,
    kVstSmpteValid = 1 << 14,
    kVstClockValid = 1 << 15
};

struct VstTimeInfo {
    double samplePos;            //  0
    double sampleRate;           //  8
    double nanoSeconds;          // 16
    double ppqPos;               // 24
    double tempo;                // 32
    double barStartPos;          // 40
    double cycleStartPos;        // 48
    double cycleEndPos;          // 56
    int32_t timeSigNumerator;    // 64
    int32_t timeSigDenominator;  // 68
    int32_t smpteOffset;         // 72
    int32_t smpteFrameRate;      // 76
    int32_t samplesToNextClock;  // 80
    int32_t flags;               // 84
};                               // 88

// ---------------------------------------------------------------------------
// Editor

struct ERect {
    int16_t top;     // 0
    int16_t left;    // 2
    int16_t bottom;  // 4
    int16_t right;   // 6
};                   // 8

struct VstKeyCode {
    int32_t character;  // 0
    uint8_t virt;       // 4
    uint8_t modifier;   // 5
};                      // 8

// ---------------------------------------------------------------------------
// Pins and speakers

enum : int32_t { kVstPinIsActive = 1 << 0, kVstPinIsStereo = 1 << 1, kVstPinUseSpeaker = 1 << 2 };

struct VstPinProperties {
    char label[64];           //  0
    int32_t flags;            // 64
    int32_t arrangementType;  // 68
    char shortLabel[8];       // 72
    char future[48];          // 80
};                            // 128

struct VstSpeakerProperties {
    float azimuth;    //   0
    float elevation;  //   4
    float radius;     //   8
    float reserved;   //  12
    char name[64];    //  16
    int32_t type;     //  80
    char future[28];  //  84
};                    // 112

// Declared with eight speakers; allocated for numChannels of them.
struct VstSpeakerArrangement {
    int32_t type;                      // 0
    int32_t numChannels;               // 4
    VstSpeakerProperties speakers[8];  // 8
};

// ---------------------------------------------------------------------------
// Records the framework only passes between host and plug-in without reading
// them; their layouts belong to whoever fills them.

struct VstParameterProperties;
struct VstPatchChunkInfo;
struct VstVariableIo;
struct VstOfflineTask;
struct VstAudioFile;
struct VstFileSelect;
struct VstWindow;
struct MidiProgramName;
struct MidiProgramCategory;
struct MidiKeyName;

// ---------------------------------------------------------------------------
// Layout pins

#define VST_ABI_OFFSET(record, field, i686, x86_64)                                                                    \
    static_assert(offsetof(record, field) == (sizeof(void*) == 8 ? (x86_64) : (i686)), #record "::" #field " offset")
#define VST_ABI_SIZE(record, i686, x86_64)                                                                             \
    static_assert(sizeof(record) == (sizeof(void*) == 8 ? (x86_64) : (i686)), #record " size")

VST_ABI_OFFSET(EffectRecord, magic, 0, 0);
VST_ABI_OFFSET(EffectRecord, dispatcherEntry, 4, 8);
VST_ABI_OFFSET(EffectRecord, processEntry, 8, 16);
VST_ABI_OFFSET(EffectRecord, setParameterEntry, 12, 24);
VST_ABI_OFFSET(EffectRecord, getParameterEntry, 16, 32);
VST_ABI_OFFSET(EffectRecord, numPrograms, 20, 40);
VST_ABI_OFFSET(EffectRecord, numParams, 24, 44);
VST_ABI_OFFSET(EffectRecord, numInputs, 28, 48);
VST_ABI_OFFSET(EffectRecord, numOutputs, 32, 52);
VST_ABI_OFFSET(EffectRecord, flags, 36, 56);
VST_ABI_OFFSET(EffectRecord, reserved1, 40, 64);
VST_ABI_OFFSET(EffectRecord, reserved2, 44, 72);
VST_ABI_OFFSET(EffectRecord, initialDelay, 48, 80);
VST_ABI_OFFSET(EffectRecord, realQualities, 52, 84);
VST_ABI_OFFSET(EffectRecord, offQualities, 56, 88);
VST_ABI_OFFSET(EffectRecord, ioRatio, 60, 92);
VST_ABI_OFFSET(EffectRecord, object, 64, 96);
VST_ABI_OFFSET(EffectRecord, user, 68, 104);
VST_ABI_OFFSET(EffectRecord, uniqueID, 72, 112);
VST_ABI_OFFSET(EffectRecord, version, 76, 116);
VST_ABI_OFFSET(EffectRecord, processReplacingEntry, 80, 120);
VST_ABI_OFFSET(EffectRecord, processDoubleReplacingEntry, 84, 128);
VST_ABI_OFFSET(EffectRecord, future, 88, 136);
VST_ABI_SIZE(EffectRecord, 144, 192);

VST_ABI_OFFSET(VstEvent, type, 0, 0);
VST_ABI_OFFSET(VstEvent, byteSize, 4, 4);
VST_ABI_OFFSET(VstEvent, deltaFrames, 8, 8);
VST_ABI_OFFSET(VstEvent, flags, 12, 12);
VST_ABI_OFFSET(VstEvent, data, 16, 16);
VST_ABI_SIZE(VstEvent, 32, 32);

VST_ABI_OFFSET(VstMidiEvent, type, 0, 0);
VST_ABI_OFFSET(VstMidiEvent, byteSize, 4, 4);
VST_ABI_OFFSET(VstMidiEvent, deltaFrames, 8, 8);
VST_ABI_OFFSET(VstMidiEvent, flags, 12, 12);
VST_ABI_OFFSET(VstMidiEvent, noteLength, 16, 16);
VST_ABI_OFFSET(VstMidiEvent, noteOffset, 20, 20);
VST_ABI_OFFSET(VstMidiEvent, midiData, 24, 24);
VST_ABI_OFFSET(VstMidiEvent, detune, 28, 28);
VST_ABI_OFFSET(VstMidiEvent, noteOffVelocity, 29, 29);
VST_ABI_OFFSET(VstMidiEvent, reserved1, 30, 30);
VST_ABI_OFFSET(VstMidiEvent, reserved2, 31, 31);
VST_ABI_SIZE(VstMidiEvent, 32, 32);

VST_ABI_OFFSET(VstMidiSysexEvent, type, 0, 0);
VST_ABI_OFFSET(VstMidiSysexEvent, byteSize, 4, 4);
VST_ABI_OFFSET(VstMidiSysexEvent, deltaFrames, 8, 8);
VST_ABI_OFFSET(VstMidiSysexEvent, flags, 12, 12);
VST_ABI_OFFSET(VstMidiSysexEvent, dumpBytes, 16, 16);
VST_ABI_OFFSET(VstMidiSysexEvent, resvd1, 20, 24);
VST_ABI_OFFSET(VstMidiSysexEvent, sysexDump, 24, 32);
VST_ABI_OFFSET(VstMidiSysexEvent, resvd2, 28, 40);
VST_ABI_SIZE(VstMidiSysexEvent, 32, 48);

VST_ABI_OFFSET(VstEvents, numEvents, 0, 0);
VST_ABI_OFFSET(VstEvents, reserved, 4, 8);
VST_ABI_OFFSET(VstEvents, events, 8, 16);
VST_ABI_SIZE(VstEvents, 16, 32);

VST_ABI_OFFSET(VstTimeInfo, samplePos, 0, 0);
VST_ABI_OFFSET(VstTimeInfo, sampleRate, 8, 8);
VST_ABI_OFFSET(VstTimeInfo, nanoSeconds, 16, 16);
VST_ABI_OFFSET(VstTimeInfo, ppqPos, 24, 24);
VST_ABI_OFFSET(VstTimeInfo, tempo, 32, 32);
VST_ABI_OFFSET(VstTimeInfo, barStartPos, 40, 40);
VST_ABI_OFFSET(VstTimeInfo, cycleStartPos, 48, 48);
VST_ABI_OFFSET(VstTimeInfo, cycleEndPos, 56, 56);
VST_ABI_OFFSET(VstTimeInfo, timeSigNumerator, 64, 64);
VST_ABI_OFFSET(VstTimeInfo, timeSigDenominator, 68, 68);
VST_ABI_OFFSET(VstTimeInfo, smpteOffset, 72, 72);
VST_ABI_OFFSET(VstTimeInfo, smpteFrameRate, 76, 76);
VST_ABI_OFFSET(VstTimeInfo, samplesToNextClock, 80, 80);
VST_ABI_OFFSET(VstTimeInfo, flags, 84, 84);
VST_ABI_SIZE(VstTimeInfo, 88, 88);

VST_ABI_OFFSET(ERect, top, 0, 0);
VST_ABI_OFFSET(ERect, left, 2, 2);
VST_ABI_OFFSET(ERect, bottom, 4, 4);
VST_ABI_OFFSET(ERect, right, 6, 6);
VST_ABI_SIZE(ERect, 8, 8);

VST_ABI_OFFSET(VstKeyCode, character, 0, 0);
VST_ABI_OFFSET(VstKeyCode, virt, 4, 4);
VST_ABI_OFFSET(VstKeyCode, modifier, 5, 5);
VST_ABI_SIZE(VstKeyCode, 8, 8);

VST_ABI_OFFSET(VstPinProperties, label, 0, 0);
VST_ABI_OFFSET(VstPinProperties, flags, 64, 64);
VST_ABI_OFFSET(VstPinProperties, arrangementType, 68, 68);
VST_ABI_OFFSET(VstPinProperties, shortLabel, 72, 72);
VST_ABI_OFFSET(VstPinProperties, future, 80, 80);
VST_ABI_SIZE(VstPinProperties, 128, 128);

VST_ABI_OFFSET(VstSpeakerProperties, azimuth, 0, 0);
VST_ABI_OFFSET(VstSpeakerProperties, elevation, 4, 4);
VST_ABI_OFFSET(VstSpeakerProperties, radius, 8, 8);
VST_ABI_OFFSET(VstSpeakerProperties, reserved, 12, 12);
VST_ABI_OFFSET(VstSpeakerProperties, name, 16, 16);
VST_ABI_OFFSET(VstSpeakerProperties, type, 80, 80);
VST_ABI_OFFSET(VstSpeakerProperties, future, 84, 84);
VST_ABI_SIZE(VstSpeakerProperties, 112, 112);

VST_ABI_OFFSET(VstSpeakerArrangement, type, 0, 0);
VST_ABI_OFFSET(VstSpeakerArrangement, numChannels, 4, 4);
VST_ABI_OFFSET(VstSpeakerArrangement, speakers, 8, 8);
VST_ABI_SIZE(VstSpeakerArrangement, 8 + 8 * 112, 8 + 8 * 112);

#undef VST_ABI_OFFSET
#undef VST_ABI_SIZE
