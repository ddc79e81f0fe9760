#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "VstTestSupport.h"

namespace {

// What an effect with nothing but the framework's defaults answers.
intptr_t defaultAnswer(int32_t opcode)
{
    switch (opcode) {
    case effClose:
    case effCanBeAutomated:
    case effGetNumProgramCategories:
    case effConnectInput:
    case effConnectOutput:
    case effSetBlockSizeAndSampleRate:
    case effKeysRequired:
        return 1;
    case effIdentify:
        return 0x4E764566;
    case effGetVstVersion:
        return 2400;
    case effGetCurrentMidiProgram:
        return -1;
    default:
        return 0;
    }
}

}  // namespace

// Opcodes -1 to 80, each on a fresh effect, with and without a host, with a
// null pointer and with a buffer, and with hostile indices: no crash, the
// default answer, no host request, and the buffer left alone beyond what the
// default operation writes.
TEST(VstDispatcher, EveryOpcodeGivesTheDefaultAnswerWithoutAskingTheHost)
{
    for (const bool withHost : {false, true}) {
        for (const bool withBuffer : {false, true}) {
            for (int32_t opcode = -1; opcode <= 80; ++opcode) {
                const std::string where = "opcode " + std::to_string(opcode) + (withHost ? " host" : " no host") +
                                          (withBuffer ? " buffer" : " null");
                RecordingHost host;
                DefaultEffect* effect = new DefaultEffect(withHost ? RecordingHost::callback() : nullptr);
                EffectRecord* record = effect->getEffectRecord();
                alignas(8) char buffer[256];
                std::memset(buffer, 0x55, sizeof(buffer));
                const int32_t index = withBuffer ? std::numeric_limits<int32_t>::max() : -1;
                const int before = DefaultEffect::destroyed();

                const intptr_t answer = dispatch(record, opcode, index, 0, withBuffer ? buffer : nullptr, 0.0f);

                EXPECT_EQ(answer, defaultAnswer(opcode)) << where;
                EXPECT_TRUE(host.requests().empty()) << where;
                // The default text operations write an empty string;
                // getSpeakerArrangement stores null in the place it is given.
                const bool writesText = opcode >= effGetProgramName && opcode <= effGetParamName;
                if (withBuffer && writesText) {
                    EXPECT_EQ(buffer[0], '\0') << where;
                }
                const size_t firstUntouched = opcode == effGetSpeakerArrangement ? sizeof(void*) : writesText ? 1 : 0;
                for (size_t i = firstUntouched; i < sizeof(buffer); ++i) {
                    ASSERT_EQ(buffer[i], 0x55) << where << ", byte " << i;
                }
                if (opcode == effClose) {
                    EXPECT_EQ(DefaultEffect::destroyed(), before + 1) << where;
                } else {
                    EXPECT_EQ(DefaultEffect::destroyed(), before) << where;
                    dispatch(record, effClose);
                }
            }
        }
    }
}

TEST(VstDispatcher, EffSetProgramPassesNumbersBelowTheProgramCountSignedComparison)
{
    ProbeEffect* effect = new ProbeEffect(nullptr, 16);
    EffectRecord* record = effect->getEffectRecord();
    record->numPrograms = 100;  // a direct store does not move the bound

    dispatch(record, effSetProgram, 0, 16);
    dispatch(record, effSetProgram, 0, 50);
    dispatch(record, effSetProgram, 0, -1);
    dispatch(record, effSetProgram, 0, INT32_MIN);
    dispatch(record, effSetProgram, 0, 15);
    dispatch(record, effSetProgram, 0, 0);
    if (sizeof(intptr_t) == 8) {
        dispatch(record, effSetProgram, 0, static_cast<intptr_t>(static_cast<int64_t>(1) << 32) + 3);
        dispatch(record, effSetProgram, 0, static_cast<intptr_t>(INT64_MIN));
    }

    const std::vector<std::string> expected = {"setProgram -1", "setProgram -2147483648", "setProgram 15",
                                               "setProgram 0"};
    EXPECT_EQ(effect->calls, expected);
    EXPECT_EQ(dispatch(record, effGetProgram), 0);
    dispatch(record, effSetProgram, 0, 7);
    EXPECT_EQ(dispatch(record, effGetProgram), 7);
    dispatch(record, effClose);
}

TEST(VstDispatcher, CoreOpcodesReachTheirOperationsWithTheHostsArguments)
{
    ProbeEffect* effect = new ProbeEffect(nullptr);
    EffectRecord* record = effect->getEffectRecord();
    char name[16] = {};
    void* chunk = nullptr;
    char bytes[8] = {};
    effect->intAnswer = 4321;

    EXPECT_EQ(dispatch(record, effOpen), 0);
    EXPECT_EQ(dispatch(record, effSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
    EXPECT_EQ(dispatch(record, effSetBlockSize, 0, 256), 0);
    EXPECT_EQ(dispatch(record, effMainsChanged, 0, 5), 0);
    EXPECT_EQ(dispatch(record, effMainsChanged, 0, 0), 0);
    EXPECT_EQ(dispatch(record, effGetParamName, 6, 0, name), 0);
    EXPECT_EQ(dispatch(record, effGetChunk, 1, 0, &chunk), 4321);
    EXPECT_EQ(dispatch(record, effGetChunk, 0, 0, &chunk), 4321);
    EXPECT_EQ(dispatch(record, effSetChunk, 2, 8, bytes), 4321);
    EXPECT_EQ(dispatch(record, effSetChunk, 0, 0, bytes), 4321);
    EXPECT_EQ(dispatch(record, effSetChunk, 1, 0, nullptr), 4321);  // an empty chunk

    const std::vector<std::string> expected = {
        "open",
        "setSampleRate 48000",
        "setBlockSize 256",
        "resume",
        "suspend",
        "getParamName 6",
        formatted("getChunk %p %d", static_cast<void*>(&chunk), 1),
        formatted("getChunk %p %d", static_cast<void*>(&chunk), 0),
        formatted("setChunk %p %d %d", static_cast<void*>(bytes), 8, 1),
        formatted("setChunk %p %d %d", static_cast<void*>(bytes), 0, 0),
        formatted("setChunk %p %d %d", static_cast<void*>(nullptr), 0, 1),
    };
    EXPECT_EQ(effect->calls, expected);
    EXPECT_STREQ(name, "P");
    dispatch(record, effClose);
}

// A restore's answer is the operation's even for a count the host got wrong:
// the operation gives its restore an empty stream for a negative count, and a
// 64-bit count beyond 32 bits reaches it as -1, never cut to a wrong size.
TEST(VstDispatcher, SetChunkPassesNegativeCountsOnAndCountsBeyond32BitsAsMinusOne)
{
    ProbeEffect* effect = new ProbeEffect(nullptr);
    EffectRecord* record = effect->getEffectRecord();
    char bytes[8] = {};
    effect->intAnswer = 4321;

    EXPECT_EQ(dispatch(record, effSetChunk, 0, -5, bytes), 4321);
    std::vector<std::string> expected = {formatted("setChunk %p %d %d", static_cast<void*>(bytes), -5, 0)};
    if (sizeof(intptr_t) == 8) {
        EXPECT_EQ(dispatch(record, effSetChunk, 1, static_cast<intptr_t>(INT64_C(0x100000008)), bytes), 4321);
        expected.push_back(formatted("setChunk %p %d %d", static_cast<void*>(bytes), -1, 1));
    }
    EXPECT_EQ(effect->calls, expected);
    dispatch(record, effClose);
}

// Scanning hosts pass null where a buffer belongs; a subclass that writes
// without looking must not be reached then.
TEST(VstDispatcher, NullBuffersFromTheHostNeverReachTheOperation)
{
    ProbeEffect* effect = new ProbeEffect(nullptr);
    EffectRecord* record = effect->getEffectRecord();
    effect->intAnswer = 99;

    EXPECT_EQ(dispatch(record, effGetParamName, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(record, effGetChunk, 1, 0, nullptr), 0);
    EXPECT_EQ(dispatch(record, effGetProgramNameIndexed, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(record, effGetEffectName, 0, 0, nullptr), 0);

    EXPECT_TRUE(effect->calls.empty());
    dispatch(record, effClose);
}

// A null event list still marks a processing block and a null capability text
// still deserves a "no": the operations answer these themselves.
TEST(VstDispatcher, NullEventListsAndCapabilityTextsReachTheOperationThatAnswers)
{
    ProbeEffect* effect = new ProbeEffect(nullptr);
    EffectRecord* record = effect->getEffectRecord();
    effect->intAnswer = 99;

    EXPECT_EQ(dispatch(record, effCanDo, 0, 0, nullptr), 99);
    EXPECT_EQ(dispatch(record, effProcessEvents, 0, 0, nullptr), 99);

    EXPECT_EQ(effect->calls.size(), 2u);
    dispatch(record, effClose);
}

TEST(VstDispatcher, EffGetVuScalesByFullScaleAndTruncatesTowardZero)
{
    ProbeEffect* effect = new ProbeEffect(nullptr);
    EffectRecord* record = effect->getEffectRecord();
    const struct {
        float vu;
        intptr_t answer;
    } cases[] = {
        {0.5f, 16383},     {-0.5f, -16383},    {1.0f, 32767},
        {0.99999f, 32766}, {std::nanf(""), 0}, {std::numeric_limits<float>::infinity(), 0},
        {1.0e30f, 0},
    };
    for (const auto& c : cases) {
        effect->floatAnswer = c.vu;
        EXPECT_EQ(dispatch(record, effGetVu), c.answer) << c.vu;
    }
    dispatch(record, effClose);
}

TEST(VstEditor, BareEditorAnswersZeroAndTracksItsWindow)
{
    DefaultEffect* effect = new DefaultEffect(nullptr);
    EffectRecord* record = effect->getEffectRecord();
    AEffEditor* editor = new AEffEditor(effect);
    effect->setEditor(editor);
    ERect sentinel{};
    ERect* rect = &sentinel;
    int window = 0;

    EXPECT_EQ(editor->getEffect(), effect);
    EXPECT_FALSE(editor->isOpen());
    EXPECT_EQ(dispatch(record, effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, nullptr);
    EXPECT_EQ(dispatch(record, effEditGetRect, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(record, effEditOpen, 0, 0, &window), 0);
    EXPECT_TRUE(editor->isOpen());
    EXPECT_EQ(dispatch(record, effEditIdle), 0);
    EXPECT_EQ(dispatch(record, effEditKeyDown, 65, 0x1FF, nullptr, 3.9f), 0);
    EXPECT_EQ(dispatch(record, effEditKeyUp, 65, 0x1FF, nullptr, 3.9f), 0);
    EXPECT_EQ(dispatch(record, effSetEditKnobMode, 0, 2), 0);
    EXPECT_FALSE(editor->onWheel(1.0f));
    EXPECT_TRUE(editor->isOpen());
    EXPECT_EQ(dispatch(record, effEditClose), 0);
    EXPECT_FALSE(editor->isOpen());
    dispatch(record, effClose);
}

TEST(VstEditor, EditorOpcodesReachTheEditorAndAnswerExactlyOneForTrue)
{
    DefaultEffect* effect = new DefaultEffect(nullptr);
    EffectRecord* record = effect->getEffectRecord();
    int destroyed = 0;
    CountingEditor* editor = new CountingEditor(effect, &destroyed);
    effect->setEditor(editor);
    editor->answer = true;
    ERect* rect = nullptr;

    EXPECT_EQ(dispatch(record, effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect, &editor->area);
    EXPECT_EQ(dispatch(record, effEditGetRect, 0, 0, nullptr), 1);  // the editor copes with null
    EXPECT_EQ(dispatch(record, effEditKeyDown, 65, 0x1FF, nullptr, 3.9f), 1);
    EXPECT_EQ(editor->lastKey.character, 65);
    EXPECT_EQ(editor->lastKey.virt, 0xFF);
    EXPECT_EQ(editor->lastKey.modifier, 3);
    EXPECT_EQ(dispatch(record, effEditKeyUp, -2, 0x1234, nullptr, -1.5f), 1);
    EXPECT_EQ(editor->lastKey.character, -2);
    EXPECT_EQ(editor->lastKey.virt, 0x34);
    EXPECT_EQ(editor->lastKey.modifier, 0xFF);
    EXPECT_EQ(dispatch(record, effEditKeyDown, 1, 2, nullptr, std::nanf("")), 1);
    EXPECT_EQ(editor->lastKey.modifier, 0);
    EXPECT_EQ(dispatch(record, effSetEditKnobMode, 0, 2), 1);
    EXPECT_EQ(editor->knobMode, 2);
    EXPECT_EQ(dispatch(record, effEditIdle), 0);
    EXPECT_EQ(editor->idles, 1);
    EXPECT_EQ(editor->keyDowns, 2);
    EXPECT_EQ(editor->keyUps, 1);

    dispatch(record, effClose);
    EXPECT_EQ(destroyed, 1);
}
