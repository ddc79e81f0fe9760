#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "VstTestSupport.h"

namespace {

class ThrowingEffect : public DefaultEffect {
public:
    ThrowingEffect() : DefaultEffect(nullptr) {}
    void open() override { throw std::runtime_error("open"); }
    void close() override { throw std::runtime_error("close"); }
    void processReplacing(float**, float**, int32_t) override { throw std::runtime_error("render"); }
    float getParameter(int32_t) override { throw std::runtime_error("parameter"); }
};

// Notes, in a log that outlives it, the close and its own destruction.
class OrderEffect : public DefaultEffect {
public:
    explicit OrderEffect(HostCallback host) : DefaultEffect(host) {}
    ~OrderEffect() override { order().push_back("destroyed"); }
    intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) override
    {
        order().push_back(formatted("dispatcher %d %d %d", opcode, index, static_cast<int>(value)));
        return AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
    }
    void close() override { order().push_back("close"); }
    static std::vector<std::string>& order()
    {
        static std::vector<std::string> log;
        return log;
    }
};

}  // namespace

TEST(VstEffectRecord, HoldsTheFrameworkValuesAfterConstruction)
{
    DefaultEffect* effect = new DefaultEffect(nullptr, 12, 7);
    EffectRecord* record = effect->getEffectRecord();

    EXPECT_EQ(record->magic, 0x56737450);
    EXPECT_NE(record->dispatcherEntry, nullptr);
    EXPECT_NE(record->processEntry, nullptr);
    EXPECT_NE(record->setParameterEntry, nullptr);
    EXPECT_NE(record->getParameterEntry, nullptr);
    EXPECT_NE(record->processReplacingEntry, nullptr);
    EXPECT_NE(record->processDoubleReplacingEntry, nullptr);
    EXPECT_EQ(record->numPrograms, 12);
    EXPECT_EQ(record->numParams, 7);
    EXPECT_EQ(record->numInputs, 1);
    EXPECT_EQ(record->numOutputs, 2);
    EXPECT_EQ(record->flags, effFlagsCanReplacing);
    EXPECT_EQ(record->reserved1, 0);
    EXPECT_EQ(record->reserved2, 0);
    EXPECT_EQ(record->initialDelay, 0);
    EXPECT_EQ(record->realQualities, 0);
    EXPECT_EQ(record->offQualities, 0);
    EXPECT_EQ(record->ioRatio, 1.0f);
    EXPECT_EQ(record->object, static_cast<void*>(static_cast<AudioEffect*>(effect)));
    EXPECT_EQ(record->user, nullptr);
    EXPECT_EQ(record->uniqueID, 0x4E6F4566);
    EXPECT_EQ(record->version, 1);
    const char zeros[sizeof(record->future)] = {};
    EXPECT_EQ(std::memcmp(record->future, zeros, sizeof(zeros)), 0);
    EXPECT_EQ(effect->getSampleRate(), 44100.0f);
    EXPECT_EQ(effect->getBlockSize(), 1024);

    dispatch(record, effClose);
}

TEST(VstEffectRecord, FlagSettersChangeOnlyTheirOwnBit)
{
    DefaultEffect* effect = new DefaultEffect(nullptr);
    EffectRecord* record = effect->getEffectRecord();

    effect->isSynth(true);
    effect->programsAreChunks(true);
    effect->hasVu(true);
    effect->hasClip(true);
    effect->canMono(true);
    effect->canDoubleReplacing(true);
    effect->noSoundInStop(true);
    effect->setExtIsAsync(true);
    effect->setExtHasBuffer(true);
    EXPECT_EQ(record->flags, 0x1F3E);
    effect->hasVu(false);
    effect->hasClip(false);
    effect->canProcessReplacing(false);
    EXPECT_EQ(record->flags, 0x1F28);

    dispatch(record, effClose);
}

TEST(VstEffectRecord, EntryPointsReachTheOverridesOfTheOwningObject)
{
    ProbeEffect* effect = new ProbeEffect(nullptr);
    EffectRecord* record = effect->getEffectRecord();
    float* inputs[1] = {};
    float* outputs[2] = {};
    double* doubleInputs[1] = {};
    double* doubleOutputs[2] = {};
    effect->floatAnswer = 0.25f;

    record->processEntry(record, inputs, outputs, 64);
    record->processReplacingEntry(record, inputs, outputs, 128);
    record->processDoubleReplacingEntry(record, doubleInputs, doubleOutputs, 32);
    record->setParameterEntry(record, 3, 0.75f);
    const float value = record->getParameterEntry(record, 9);

    EXPECT_EQ(value, 0.25f);
    const std::vector<std::string> expected = {
        formatted("process %p %p %d", static_cast<void*>(inputs), static_cast<void*>(outputs), 64),
        formatted("replacing %p %p %d", static_cast<void*>(inputs), static_cast<void*>(outputs), 128),
        formatted("double %p %p %d", static_cast<void*>(doubleInputs), static_cast<void*>(doubleOutputs), 32),
        "setParameter 3 0.75",
        "getParameter 9",
    };
    EXPECT_EQ(effect->calls, expected);
    dispatch(record, effClose);
}

TEST(VstEffectRecord, EffCloseClosesThenDeletesTheObjectAndAnswersOne)
{
    RecordingHost host;
    OrderEffect* effect = new OrderEffect(RecordingHost::callback());
    EffectRecord* record = effect->getEffectRecord();
    int editorsDestroyed = 0;
    effect->setEditor(new CountingEditor(effect, &editorsDestroyed));
    OrderEffect::order().clear();

    EXPECT_EQ(dispatch(record, effClose, 4, 5, nullptr, 0.5f), 1);

    const std::vector<std::string> expected = {"dispatcher 1 4 5", "close", "destroyed"};
    EXPECT_EQ(OrderEffect::order(), expected);
    EXPECT_EQ(editorsDestroyed, 1);
    EXPECT_TRUE(host.requests().empty());
}

TEST(VstEffectRecord, SetEditorSetsAndClearsTheFlagWithoutDeletingTheOldEditor)
{
    DefaultEffect* effect = new DefaultEffect(nullptr);
    int destroyed = 0;
    CountingEditor* first = new CountingEditor(effect, &destroyed);

    effect->setEditor(first);
    EXPECT_EQ(effect->flagBits() & effFlagsHasEditor, effFlagsHasEditor);
    EXPECT_EQ(effect->getEditor(), first);
    effect->setEditor(nullptr);
    EXPECT_EQ(effect->flagBits() & effFlagsHasEditor, 0);
    EXPECT_EQ(destroyed, 0);

    dispatch(effect->getEffectRecord(), effClose);
    EXPECT_EQ(destroyed, 0);  // no longer owned by the effect
    delete first;
    EXPECT_EQ(destroyed, 1);
}

TEST(VstEffectRecord, EntryPointsGiveTheNeutralAnswerForARecordWithoutObject)
{
    DefaultEffect* effect = new DefaultEffect(nullptr);
    EffectRecord copy = *effect->getEffectRecord();
    copy.object = nullptr;
    float* buffers[2] = {};

    EXPECT_EQ(copy.dispatcherEntry(&copy, effIdentify, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(copy.dispatcherEntry(nullptr, effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(copy.getParameterEntry(&copy, 0), 0.0f);
    copy.processReplacingEntry(&copy, buffers, buffers, 16);
    copy.setParameterEntry(nullptr, 0, 1.0f);

    dispatch(effect->getEffectRecord(), effClose);
}

TEST(VstEffectRecord, ExceptionsFromOperationsDoNotReachTheHost)
{
    ThrowingEffect* effect = new ThrowingEffect();
    EffectRecord* record = effect->getEffectRecord();
    float* buffers[2] = {};
    const int before = DefaultEffect::destroyed();

    EXPECT_EQ(dispatch(record, effOpen), 0);
    record->processReplacingEntry(record, buffers, buffers, 16);
    EXPECT_EQ(record->getParameterEntry(record, 1), 0.0f);
    EXPECT_EQ(dispatch(record, effClose), 1);
    EXPECT_EQ(DefaultEffect::destroyed(), before + 1);
}
