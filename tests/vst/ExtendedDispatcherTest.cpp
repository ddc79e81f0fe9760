#include <gtest/gtest.h>

#include <cstring>

#include "VstTestSupport.h"

namespace {

class ReceivingEffect : public DefaultEffect {
public:
    explicit ReceivingEffect(HostCallback host, int32_t answer) : DefaultEffect(host), answer(answer) {}
    int32_t canDo(char* text) override
    {
        asked = text;
        return answer;
    }
    int32_t answer;
    std::string asked;
};

class RateEffect : public DefaultEffect {
public:
    RateEffect() : DefaultEffect(nullptr) {}
    void setSampleRate(float) override { ++overridesRun; }
    void setBlockSize(int32_t) override { ++overridesRun; }
    int overridesRun = 0;
};

}  // namespace

TEST(VstExtendedDispatcher, ExtendedOpcodesPassTheHostsArgumentsInTheirRoles)
{
    ProbeEffect* effect = new ProbeEffect(nullptr);
    EffectRecord* record = effect->getEffectRecord();
    char text[32] = "receiveVstEvents";
    VstEvents events{};
    VstSpeakerArrangement input{};
    VstSpeakerArrangement output{};
    effect->intAnswer = 77;

    EXPECT_EQ(dispatch(record, effProcessEvents, 0, 0, &events), 77);
    EXPECT_EQ(dispatch(record, effCanBeAutomated, 9), 1);
    EXPECT_EQ(dispatch(record, effGetProgramNameIndexed, 3, 7, text), 1);
    EXPECT_EQ(dispatch(record, effConnectInput, 1, 0), 1);
    EXPECT_EQ(dispatch(record, effConnectOutput, 2, 5), 1);
    EXPECT_EQ(dispatch(record, effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&input), &output), 1);
    EXPECT_EQ(dispatch(record, effSetBypass, 0, 2), 1);
    EXPECT_EQ(dispatch(record, effGetEffectName, 0, 0, text), 1);
    std::strcpy(text, "receiveVstEvents");
    EXPECT_EQ(dispatch(record, effCanDo, 0, 0, text), 77);

    const std::vector<std::string> expected = {
        formatted("processEvents %p", static_cast<void*>(&events)),
        "canBeAutomated 9",
        "getProgramNameIndexed 7 3",  // category from value, index from index
        "connectInput 1 0",
        "connectOutput 2 1",
        formatted("setSpeakerArrangement %p %p", static_cast<void*>(&input), static_cast<void*>(&output)),
        "setBypass 1",
        "getEffectName",
        "canDo receiveVstEvents",
    };
    EXPECT_EQ(effect->calls, expected);
    dispatch(record, effClose);
}

TEST(VstExtendedDispatcher, BoolAnswersBecomeZeroForFalseAndKeysRequiredIsInverted)
{
    ProbeEffect* effect = new ProbeEffect(nullptr);
    EffectRecord* record = effect->getEffectRecord();
    char text[32] = {};

    EXPECT_EQ(dispatch(record, effKeysRequired), 0);
    effect->boolAnswer = false;
    EXPECT_EQ(dispatch(record, effKeysRequired), 1);
    EXPECT_EQ(dispatch(record, effCanBeAutomated, 0), 0);
    EXPECT_EQ(dispatch(record, effGetProgramNameIndexed, 0, 0, text), 0);
    EXPECT_EQ(dispatch(record, effSetBypass, 0, 1), 0);
    EXPECT_EQ(dispatch(record, effConnectInput, 0, 1), 1);  // answered 1 whatever happens
    dispatch(record, effClose);
}

TEST(VstExtendedDispatcher, EffSetBlockSizeAndSampleRateStoresBothWithoutTheSetters)
{
    RateEffect* effect = new RateEffect();
    EffectRecord* record = effect->getEffectRecord();

    EXPECT_EQ(dispatch(record, effSetBlockSizeAndSampleRate, 0, 512, nullptr, 96000.0f), 1);

    EXPECT_EQ(effect->getBlockSize(), 512);
    EXPECT_EQ(effect->getSampleRate(), 96000.0f);
    EXPECT_EQ(effect->overridesRun, 0);
    dispatch(record, effClose);
}

TEST(VstExtendedDispatcher, PlugCategoryFollowsTheSynthFlagAndTotalSamplesEcho)
{
    DefaultEffect* effect = new DefaultEffect(nullptr);
    EffectRecord* record = effect->getEffectRecord();

    EXPECT_EQ(dispatch(record, effGetPlugCategory), 0);
    effect->isSynth(true);
    EXPECT_EQ(dispatch(record, effGetPlugCategory), 2);
    EXPECT_EQ(dispatch(record, effSetTotalSampleToProcess, 0, 44100), 44100);
    EXPECT_EQ(dispatch(record, effSetTotalSampleToProcess, 0, -3), -3);
    dispatch(record, effClose);
}

TEST(VstExtendedDispatcher, GetSpeakerArrangementClearsOnlyThePlacesItIsGiven)
{
    DefaultEffect* effect = new DefaultEffect(nullptr);
    EffectRecord* record = effect->getEffectRecord();
    VstSpeakerArrangement dummy{};
    VstSpeakerArrangement* input = &dummy;
    VstSpeakerArrangement* output = &dummy;

    EXPECT_EQ(dispatch(record, effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&input), &output), 0);
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(output, nullptr);
    output = &dummy;
    EXPECT_EQ(dispatch(record, effGetSpeakerArrangement, 0, 0, &output), 0);
    EXPECT_EQ(output, nullptr);
    dispatch(record, effClose);
}

TEST(VstExtendedDispatcher, ResumeAsksForMidiOnlyForSynthsAndMidiReceivers)
{
    struct Case {
        bool synth;
        int32_t canDoAnswer;
        bool wantsMidi;
    } cases[] = {{false, 0, false}, {false, -1, false}, {false, 2, false}, {false, 1, true}, {true, 0, true}};
    for (const Case& c : cases) {
        RecordingHost host;
        ReceivingEffect* effect = new ReceivingEffect(RecordingHost::callback(), c.canDoAnswer);
        EffectRecord* record = effect->getEffectRecord();
        effect->isSynth(c.synth);

        dispatch(record, effMainsChanged, 0, 1);

        if (c.wantsMidi) {
            ASSERT_EQ(host.requests().size(), 1u);
            EXPECT_EQ(host.requests()[0].opcode, audioMasterWantMidi);
            EXPECT_EQ(host.requests()[0].value, 1);
            EXPECT_EQ(host.requests()[0].effect, record);
        } else {
            EXPECT_TRUE(host.requests().empty());
        }
        if (!c.synth) {
            EXPECT_EQ(effect->asked, "receiveVstMidiEvent");
        }
        dispatch(record, effClose);
    }
}
