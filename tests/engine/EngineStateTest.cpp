#include "EngineTestSupport.h"

namespace {

// A non-default sound, so that a state applied by mistake shows.
void setDistinctSound(SoftSynth* engine)
{
    for (int32_t index = 0; index < engine->getParameterCount(); ++index) {
        engine->setParameter(index, 0.05f + 0.9f * static_cast<float>((index * 7) % 13) / 12.0f);
    }
}

std::vector<float> parametersOf(SoftSynth* engine)
{
    std::vector<float> values;
    for (int32_t index = 0; index < engine->getParameterCount(); ++index) {
        values.push_back(engine->getParameter(index));
    }
    return values;
}

void playPhrase(EngineUnderTest& synth)
{
    synth.midi(0x90, 57, 90);
    synth.midi(0x90, 64, 70, 700);
    synth.render(6000);
    synth.midi(0x80, 57, 0);
    synth.render(3000);
}

void writeUInt32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    }
}

TEST(EngineState, SavedStateLoadedIntoAnotherEngineGivesTheSameSound)
{
    EngineUnderTest original;
    setDistinctSound(original.engine());
    const std::vector<uint8_t> state = original.saveState();
    ASSERT_GE(state.size(), 12u);
    EXPECT_EQ(std::string(state.begin(), state.begin() + 4), "VLMT");
    EXPECT_EQ(state[4], 1);  // format version 1, little-endian
    EXPECT_EQ(state[5] | state[6] | state[7], 0);

    EngineUnderTest restored;
    restored.loadState(state);
    EXPECT_EQ(parametersOf(restored.engine()), parametersOf(original.engine()));
    playPhrase(original);
    playPhrase(restored);
    EXPECT_EQ(restored.left, original.left);
    EXPECT_EQ(restored.right, original.right);
}

TEST(EngineState, GarbageShortDamagedOrForeignStatesLeaveTheSoundAlone)
{
    EngineUnderTest donor;
    const std::vector<uint8_t> valid = donor.saveState();

    std::vector<std::vector<uint8_t>> rejected;
    rejected.push_back({});
    rejected.push_back({'V', 'L', 'M'});
    std::vector<uint8_t> garbage(200);
    for (size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<uint8_t>(i * 37 + 11);
    }
    rejected.push_back(garbage);
    for (size_t length = 1; length < valid.size(); ++length) {
        rejected.emplace_back(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(length));
    }
    std::vector<uint8_t> flipped = valid;
    flipped[14] ^= 0x01;  // inside a value: the checksum no longer matches
    rejected.push_back(flipped);
    std::vector<uint8_t> newer = valid;
    writeUInt32(newer, 4, 2);
    rejected.push_back(newer);
    std::vector<uint8_t> tooMany = valid;
    writeUInt32(tooMany, 8, 1000);
    rejected.push_back(tooMany);
    std::vector<uint8_t> foreign = valid;
    foreign[0] = 'X';
    rejected.push_back(foreign);

    EngineUnderTest reference;
    setDistinctSound(reference.engine());
    playPhrase(reference);
    for (const std::vector<uint8_t>& chunk : rejected) {
        EngineUnderTest synth;
        setDistinctSound(synth.engine());
        const std::vector<float> before = parametersOf(synth.engine());
        synth.loadState(chunk);
        ASSERT_EQ(parametersOf(synth.engine()), before) << "chunk of " << chunk.size() << " bytes was applied";
        playPhrase(synth);
        ASSERT_EQ(synth.left, reference.left) << "chunk of " << chunk.size() << " bytes changed the sound";
    }
}

TEST(EngineState, AStateOutOfRangeIsRejectedEvenWithAMatchingChecksum)
{
    // Re-sign a state whose first value is 2.0 the way the engine signs it
    // (FNV-1a over every 32-bit word before the checksum): the range check
    // must refuse it on its own.
    EngineUnderTest donor;
    std::vector<uint8_t> state = donor.saveState();
    const float outOfRange = 2.0f;
    uint32_t bits = 0;
    std::memcpy(&bits, &outOfRange, 4);
    writeUInt32(state, 12, bits);
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i + 4 < state.size(); ++i) {
        hash = (hash ^ state[i]) * 16777619u;
    }
    writeUInt32(state, state.size() - 4, hash);

    EngineUnderTest synth;
    synth.engine()->setParameter(0, 0.4f);
    synth.loadState(state);
    EXPECT_EQ(synth.engine()->getParameter(0), 0.4f);

    // The same signing with an in-range value is accepted, so the refusal above is the range check.
    writeUInt32(state, 12, 0x3F000000);  // 0.5
    hash = 2166136261u;
    for (size_t i = 0; i + 4 < state.size(); ++i) {
        hash = (hash ^ state[i]) * 16777619u;
    }
    writeUInt32(state, state.size() - 4, hash);
    synth.loadState(state);
    EXPECT_EQ(synth.engine()->getParameter(0), 0.5f);
}

}  // namespace
