#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "trace/OpcodeFormatter.h"

namespace {

struct NamedOpcode {
    int32_t opcode;
    const char* name;
};

// Every opcode whose name part is the plain name.
const NamedOpcode plainEffectOpcodes[] = {
    {0, "effOpen"},
    {1, "effClose"},
    {5, "effGetProgramName"},
    {6, "effGetParamLabel"},
    {7, "effGetParamDisplay"},
    {8, "effGetParamName"},
    {9, "effGetVu"},
    {13, "effEditGetRect"},
    {14, "effEditOpen"},
    {15, "effEditClose"},
    {16, "effEditDraw"},
    {17, "effEditMouse"},
    {18, "effEditKey"},
    {19, "effEditIdle"},
    {20, "effEditTop"},
    {21, "effEditSleep"},
    {22, "effIdentify"},
    {23, "effGetChunk"},
    {24, "effSetChunk"},
    {25, "effProcessEvents"},
    {26, "effCanBeAutomated"},
    {27, "effString2Parameter"},
    {28, "effGetNumProgramCategories"},
    {29, "effGetProgramNameIndexed"},
    {30, "effCopyProgram"},
    {31, "effConnectInput"},
    {32, "effConnectOutput"},
    {33, "effGetInputProperties"},
    {34, "effGetOutputProperties"},
    {35, "effGetPlugCategory"},
    {36, "effGetCurrentPosition"},
    {37, "effGetDestinationBuffer"},
    {38, "effOfflineNotify"},
    {39, "effOfflinePrepare"},
    {40, "effOfflineRun"},
    {41, "effProcessVarIo"},
    {42, "effSetSpeakerArrangement"},
    {43, "effSetBlockSizeAndSampleRate"},
    {44, "effSetBypass"},
    {45, "effGetEffectName"},
    {46, "effGetErrorText"},
    {47, "effGetVendorString"},
    {48, "effGetProductString"},
    {49, "effGetVendorVersion"},
    {50, "effVendorSpecific"},
    {52, "effGetTailSize"},
    {53, "effIdle"},
    {54, "effGetIcon"},
    {55, "effSetViewPosition"},
    {56, "effGetParameterProperties"},
    {57, "effKeysRequired"},
    {58, "effGetVstVersion"},
    {59, "effEditKeyDown"},
    {60, "effEditKeyUp"},
    {61, "effSetEditKnobMode"},
    {62, "effGetMidiProgramName"},
    {63, "effGetCurrentMidiProgram"},
    {64, "effGetMidiProgramCategory"},
    {65, "effHasMidiProgramsChanged"},
    {66, "effGetMidiKeyName"},
    {67, "effBeginSetProgram"},
    {68, "effEndSetProgram"},
    {69, "effGetSpeakerArrangement"},
    {70, "effShellGetNextPlugin"},
    {71, "effStartProcess"},
    {72, "effStopProcess"},
    {73, "effSetTotalSampleToProcess"},
    {74, "effSetPanLaw"},
    {75, "effBeginLoadBank"},
    {76, "effBeginLoadProgram"},
    {77, "effSetProcessPrecision"},
    {78, "effGetNumMidiInputChannels"},
    {79, "effGetNumMidiOutputChannels"},
};

const NamedOpcode plainHostOpcodes[] = {
    {1, "audioMasterVersion"},
    {2, "audioMasterCurrentId"},
    {3, "audioMasterIdle"},
    {4, "audioMasterPinConnected"},
    {6, "audioMasterWantMidi"},
    {7, "audioMasterGetTime"},
    {8, "audioMasterProcessEvents"},
    {9, "audioMasterSetTime"},
    {10, "audioMasterTempoAt"},
    {11, "audioMasterGetNumAutomatableParameters"},
    {12, "audioMasterGetParameterQuantization"},
    {13, "audioMasterIOChanged"},
    {14, "audioMasterNeedIdle"},
    {15, "audioMasterSizeWindow"},
    {16, "audioMasterGetSampleRate"},
    {17, "audioMasterGetBlockSize"},
    {18, "audioMasterGetInputLatency"},
    {19, "audioMasterGetOutputLatency"},
    {20, "audioMasterGetPreviousPlug"},
    {21, "audioMasterGetNextPlug"},
    {22, "audioMasterWillReplaceOrAccumulate"},
    {23, "audioMasterGetCurrentProcessLevel"},
    {24, "audioMasterGetAutomationState"},
    {25, "audioMasterOfflineStart"},
    {26, "audioMasterOfflineRead"},
    {27, "audioMasterOfflineWrite"},
    {28, "audioMasterOfflineGetCurrentPass"},
    {29, "audioMasterOfflineGetCurrentMetaPass"},
    {30, "audioMasterSetOutputSampleRate"},
    {31, "audioMasterGetOutputSpeakerArrangement"},
    {32, "audioMasterGetVendorString"},
    {33, "audioMasterGetProductString"},
    {34, "audioMasterGetVendorVersion"},
    {35, "audioMasterVendorSpecific"},
    {36, "audioMasterSetIcon"},
    {38, "audioMasterGetLanguage"},
    {39, "audioMasterOpenWindow"},
    {40, "audioMasterCloseWindow"},
    {41, "audioMasterGetDirectory"},
    {42, "audioMasterUpdateDisplay"},
    {45, "audioMasterOpenFileSelector"},
    {46, "audioMasterCloseFileSelector"},
    {47, "audioMasterEditFile"},
    {48, "audioMasterGetChunkFile"},
};

std::string effectText(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    char text[traceTextSize];
    std::memset(text, 'Z', sizeof text);
    formatEffectOpcode(text, opcode, index, value, ptr, opt);
    return std::string(text, strnlen(text, sizeof text));
}

std::string hostText(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    char text[traceTextSize];
    std::memset(text, 'Z', sizeof text);
    formatHostOpcode(text, opcode, index, value, ptr, opt);
    return std::string(text, strnlen(text, sizeof text));
}

void* address(uintptr_t value)
{
    return reinterpret_cast<void*>(value);
}

// A buffer with guard bytes on both sides of the part the formatter may use.
struct GuardedText {
    static constexpr std::size_t guard = 32;
    char bytes[guard + traceTextSize + guard];
    GuardedText() { std::memset(bytes, 0x5A, sizeof bytes); }
    char* text() { return bytes + guard; }
    bool guardsIntact() const
    {
        for (std::size_t i = 0; i < guard; ++i)
            if (bytes[i] != 0x5A || bytes[guard + traceTextSize + i] != 0x5A)
                return false;
        return true;
    }
};

// Host text that ends exactly at an inaccessible page, with no terminator:
// reading one byte too far faults.
class TextAtPageEnd {
public:
    explicit TextAtPageEnd(std::size_t length)
    {
        void* pages = VirtualAlloc(nullptr, 2 * 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        DWORD old = 0;
        if (pages == nullptr || length > 4096 ||
            !VirtualProtect(static_cast<char*>(pages) + 4096, 4096, PAGE_NOACCESS, &old))
            return;
        pages_ = static_cast<char*>(pages);
        text_ = pages_ + 4096 - length;
        std::memset(text_, 'c', length);
    }
    ~TextAtPageEnd()
    {
        if (pages_ != nullptr)
            VirtualFree(pages_, 0, MEM_RELEASE);
    }
    char* text() const { return text_; }
    bool ready() const { return text_ != nullptr; }

private:
    char* pages_ = nullptr;
    char* text_ = nullptr;
};

TEST(TraceOpcodeFormatter, EveryPlainOpcodeWritesItsNameAndTheArgumentPart)
{
    for (const NamedOpcode& entry : plainEffectOpcodes)
        EXPECT_EQ(effectText(entry.opcode, 0, 0, nullptr, 0.0f), std::string(entry.name) + " |0 0 00000000 0.000000")
            << "opcode " << entry.opcode;
}

TEST(TraceOpcodeFormatter, OpcodesWithValuesFillTheirNamePart)
{
    EXPECT_EQ(effectText(2, 0, 7, nullptr, 0.0f), "effSetProgram: 7 |0 7 00000000 0.000000");
    EXPECT_EQ(effectText(3, 0, -1, nullptr, 0.0f), "effGetProgram: -1 |0 -1 00000000 0.000000");
    EXPECT_EQ(effectText(11, 0, 512, nullptr, 0.0f), "effSetBlockSize: 512 |0 512 00000000 0.000000");
    EXPECT_EQ(effectText(10, 0, 0, nullptr, 44100.0f), "effSetSampleRate: 44100.000000 |0 0 00000000 44100.000000");
    EXPECT_EQ(effectText(12, 0, 1, nullptr, 0.0f), "effMainsChanged: on |0 1 00000000 0.000000");
    EXPECT_EQ(effectText(12, 0, -5, nullptr, 0.0f), "effMainsChanged: on |0 -5 00000000 0.000000");
    EXPECT_EQ(effectText(12, 0, 0, nullptr, 0.0f), "effMainsChanged: off |0 0 00000000 0.000000");
}

TEST(TraceOpcodeFormatter, TextOpcodesPrintTheHostTextOrNullSafely)
{
    char name[] = "Warm Pad";
    char capability[] = "receiveVstMidiEvent";
    const std::string nameAddress = effectText(0, 0, 0, name, 0.0f).substr(std::strlen("effOpen |0 0 "));
    EXPECT_EQ(effectText(4, 0, 0, name, 0.0f), "effSetProgramName: Warm Pad |0 0 " + nameAddress);
    const std::string capabilityAddress = effectText(0, 0, 0, capability, 0.0f).substr(std::strlen("effOpen |0 0 "));
    EXPECT_EQ(effectText(51, 0, 0, capability, 0.0f), "effCanDo: receiveVstMidiEvent |0 0 " + capabilityAddress);
    EXPECT_EQ(effectText(4, 0, 0, nullptr, 0.0f), "effSetProgramName: (null) |0 0 00000000 0.000000");
    EXPECT_EQ(effectText(51, 0, 0, nullptr, 0.0f), "effCanDo: (null) |0 0 00000000 0.000000");
}

TEST(TraceOpcodeFormatter, UnknownOpcodesPrintTheirNumber)
{
    EXPECT_EQ(effectText(100, 0, 0, nullptr, 0.0f), "eff(100) |0 0 00000000 0.000000");
    EXPECT_EQ(effectText(80, 0, 0, nullptr, 0.0f), "eff(80) |0 0 00000000 0.000000");
    EXPECT_EQ(effectText(-1, 0, 0, nullptr, 0.0f), "eff(-1) |0 0 00000000 0.000000");
    EXPECT_EQ(effectText(INT32_MIN, 0, 0, nullptr, 0.0f), "eff(-2147483648) |0 0 00000000 0.000000");
}

TEST(TraceOpcodeFormatter, ArgumentPartShowsIndexValuePointerAndOptExactly)
{
    EXPECT_EQ(effectText(8, 3, 0, address(0x1234), 0.0f), "effGetParamName |3 0 00001234 0.000000");
    EXPECT_EQ(effectText(8, -2, -7, address(0xDEADBEEF), -0.5f), "effGetParamName |-2 -7 deadbeef -0.500000");
    EXPECT_EQ(effectText(8, 0, 0, nullptr, 1.0e10f), "effGetParamName |0 0 00000000 10000000000.000000");
}

#if defined(_WIN64)
TEST(TraceOpcodeFormatter, SixtyFourBitValuesAndPointersKeepAllTheirBits)
{
    EXPECT_EQ(effectText(8, 0, INT64_C(0x123456789), address(UINT64_C(0x7FF612345678)), 0.0f),
              "effGetParamName |0 4886718345 7ff612345678 0.000000");
    EXPECT_EQ(effectText(2, 0, INT64_MIN, nullptr, 0.0f),
              "effSetProgram: -9223372036854775808 |0 -9223372036854775808 00000000 0.000000");
    EXPECT_EQ(effectText(8, 0, 0, address(UINT64_MAX), 0.0f), "effGetParamName |0 0 ffffffffffffffff 0.000000");
}
#else
TEST(TraceOpcodeFormatter, ThirtyTwoBitValuesAndPointersPrintAsPlainWords)
{
    EXPECT_EQ(effectText(8, 0, INT32_MIN, address(0xFFFFFFFFu), 0.0f),
              "effGetParamName |0 -2147483648 ffffffff 0.000000");
}
#endif

TEST(TraceOpcodeFormatter, LongHostTextIsCutWithinTheBufferAndTerminated)
{
    std::string huge(10 * 1024, 'x');
    for (int32_t opcode : {4, 51}) {
        GuardedText guarded;
        formatEffectOpcode(guarded.text(), opcode, 0, 0, &huge[0], 0.0f);
        EXPECT_TRUE(guarded.guardsIntact()) << "opcode " << opcode;
        const std::string text(guarded.text());
        ASSERT_EQ(text.size(), 255u) << "opcode " << opcode;
        const std::string prefix = opcode == 4 ? "effSetProgramName: " : "effCanDo: ";
        EXPECT_EQ(text, prefix + std::string(255 - prefix.size(), 'x'));
    }
}

TEST(TraceOpcodeFormatter, ArgumentPartIsCutWhenTheNamePartNearlyFillsTheBuffer)
{
    std::string name(255 - std::strlen("effSetProgramName: ") - 4, 'n');
    GuardedText guarded;
    formatEffectOpcode(guarded.text(), 4, 9, 9, &name[0], 0.0f);
    EXPECT_TRUE(guarded.guardsIntact());
    EXPECT_EQ(std::string(guarded.text()), "effSetProgramName: " + name + " |9 ");
}

TEST(TraceOpcodeFormatter, SmallerBoundsAreKeptAndNullTextOrZeroSizeWritesNothing)
{
    char text[16];
    std::memset(text, 'Z', sizeof text);
    formatEffectOpcode(text, 0, 0, 0, nullptr, 0.0f, 8);
    EXPECT_STREQ(text, "effOpen");
    EXPECT_EQ(text[8], 'Z');

    std::memset(text, 'Z', sizeof text);
    formatHostOpcode(text, 1, 0, 0, nullptr, 0.0f, 6);
    EXPECT_STREQ(text, "audio");
    EXPECT_EQ(text[6], 'Z');

    std::memset(text, 'Z', sizeof text);
    formatEffectOpcode(text, 0, 0, 0, nullptr, 0.0f, 0);
    formatHostOpcode(text, 0, 0, 0, nullptr, 0.0f, 0);
    EXPECT_EQ(text[0], 'Z');
    formatEffectOpcode(nullptr, 51, 0, 0, nullptr, 0.0f);
    formatHostOpcode(nullptr, 37, 0, 0, nullptr, 0.0f);
}

TEST(TraceOpcodeFormatter, UnterminatedHostTextIsNotReadBeyondWhatFits)
{
    TextAtPageEnd capability(300);
    ASSERT_TRUE(capability.ready());
    EXPECT_EQ(effectText(51, 0, 0, capability.text(), 0.0f), "effCanDo: " + std::string(245, 'c'));
    EXPECT_EQ(effectText(4, 0, 0, capability.text(), 0.0f), "effSetProgramName: " + std::string(236, 'c'));
    EXPECT_EQ(hostText(37, 0, 0, capability.text(), 0.0f), "audioMasterCanDo: " + std::string(237, 'c'));
}

TEST(TraceHostOpcodeFormatter, EveryPlainRequestWritesItsNameAlone)
{
    for (const NamedOpcode& entry : plainHostOpcodes)
        EXPECT_EQ(hostText(entry.opcode, 3, 4, address(0x1234), 0.5f), entry.name) << "opcode " << entry.opcode;
}

TEST(TraceHostOpcodeFormatter, RequestsWithArgumentsShowThem)
{
    char capability[] = "sendVstMidiEvent";
    EXPECT_EQ(hostText(0, 12, 0, nullptr, 0.25f), "audioMasterAutomate: idx=12, opt=0.250000");
    EXPECT_EQ(hostText(37, 0, 0, capability, 0.0f), "audioMasterCanDo: sendVstMidiEvent");
    EXPECT_EQ(hostText(37, 0, 0, nullptr, 0.0f), "audioMasterCanDo: (null)");
    EXPECT_EQ(hostText(43, 5, 0, nullptr, 0.0f), "audioMasterBeginEdit: idx=5");
    EXPECT_EQ(hostText(44, -1, 0, nullptr, 0.0f), "audioMasterEndEdit: idx=-1");
}

TEST(TraceHostOpcodeFormatter, UnnamedRequestsPrintTheirNumber)
{
    EXPECT_EQ(hostText(5, 0, 0, nullptr, 0.0f), "audioMaster(5)");
    EXPECT_EQ(hostText(49, 0, 0, nullptr, 0.0f), "audioMaster(49)");
    EXPECT_EQ(hostText(-3, 0, 0, nullptr, 0.0f), "audioMaster(-3)");
    EXPECT_EQ(hostText(1000, 0, 0, nullptr, 0.0f), "audioMaster(1000)");
}

TEST(TraceHostOpcodeFormatter, LongCapabilityTextIsCutWithinTheBuffer)
{
    std::string huge(10 * 1024, 'q');
    GuardedText guarded;
    formatHostOpcode(guarded.text(), 37, 0, 0, &huge[0], 0.0f);
    EXPECT_TRUE(guarded.guardsIntact());
    EXPECT_EQ(std::string(guarded.text()), "audioMasterCanDo: " + std::string(255 - 18, 'q'));
}

}  // namespace
