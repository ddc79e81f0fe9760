#include "EngineTestSupport.h"

namespace {

enum : int32_t { Attack = 5, Sustain = 7, Release = 8, Volume = 12 };

// Quick envelope so that a released note is gone well within 100 ms.
void makeEnvelopeQuick(EngineUnderTest& synth)
{
    synth.engine()->setParameter(Attack, 0.0f);
    synth.engine()->setParameter(Sustain, 1.0f);
    synth.engine()->setParameter(Release, 0.0f);
}

// Holds `count` notes from 40 upward, lets go of the notes in
// [firstOff, lastOff], and answers the peak of the output 100 ms later.
float tailAfterReleasing(int32_t count, int32_t firstOff, int32_t lastOff)
{
    EngineUnderTest synth;
    makeEnvelopeQuick(synth);
    for (int32_t i = 0; i < count; ++i) {
        synth.midi(0x90, static_cast<unsigned char>(40 + i), 100);
    }
    synth.render(4800);
    for (int32_t i = firstOff; i <= lastOff; ++i) {
        synth.midi(0x80, static_cast<unsigned char>(40 + i), 0);
    }
    synth.render(4800);
    const size_t start = synth.left.size();
    synth.render(4800);
    return std::fmax(peakOf(synth.left, start), peakOf(synth.right, start));
}

TEST(EngineSound, FactoryStoresTheEngineAndItsHostLinkAndCopesWithoutARecord)
{
    EngineUnderTest synth;
    ASSERT_NE(synth.engine(), nullptr);
    EXPECT_NE(synth.hostLink(), nullptr);
    EXPECT_EQ(synth.engine()->getOutputCount(2), 2);
    EXPECT_GE(synth.engine()->getParameterCount(), 8);
    EXPECT_STREQ(synth.engine()->getProductName(), "Velmorant");

    HMODULE module = GetModuleHandleA("VelmorantEngine.dll");
    ASSERT_NE(module, nullptr);
    auto pluginFactory = reinterpret_cast<CreatePluginSoftSynthProc>(
        reinterpret_cast<void*>(GetProcAddress(module, "CreatePluginSoftSynth")));
    pluginFactory(nullptr);
    // Still a working factory afterwards: a record of its own gets a fresh engine.
    EngineLoader record = {nullptr, 0, {0, 0, 0}, 128, nullptr, nullptr, nullptr};
    pluginFactory(&record);
    ASSERT_NE(record.engine, nullptr);
    EXPECT_NE(record.engine, synth.engine());
    EXPECT_NE(record.hostLink, nullptr);
    record.engine->release();
    auto olderFactory =
        reinterpret_cast<CreateSoftSynthProc>(reinterpret_cast<void*>(GetProcAddress(module, "CreateSoftSynth")));
    SoftSynth* bare = olderFactory(0, 128);
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->getParameterCount(), synth.engine()->getParameterCount());
    bare->release();
}

TEST(EngineSound, SeventeenthNoteStealsTheOldestVoice)
{
    // Sixteen held notes all sound: releasing all but the first leaves it ringing.
    EXPECT_GT(tailAfterReleasing(16, 1, 15), 0.01f);
    // A seventeenth takes the first note's voice: releasing the other sixteen leaves silence...
    EXPECT_EQ(tailAfterReleasing(17, 1, 16), 0.0f);
    // ...and the newcomer itself does sound.
    EXPECT_GT(tailAfterReleasing(17, 0, 15), 0.01f);
}

TEST(EngineSound, RendersTheSameSamplesTwiceAndStaysBelowFullScale)
{
    EngineUnderTest first;
    EngineUnderTest second;
    for (EngineUnderTest* synth : {&first, &second}) {
        synth->engine()->setParameter(Volume, 1.0f);  // +6 dB: drive the output stage
        for (int32_t note = 36; note < 36 + 16; ++note) {
            synth->midi(0x90, static_cast<unsigned char>(note), 127, note);
        }
        synth->render(24000, 300);
    }
    EXPECT_EQ(first.left, second.left);
    EXPECT_EQ(first.right, second.right);
    const float peak = std::fmax(peakOf(first.left), peakOf(first.right));
    EXPECT_GT(peak, 0.5f);
    EXPECT_LT(peak, 1.0f);
}

TEST(EngineSound, NoteStartsAtItsDeltaFrameAndVelocityScalesIt)
{
    EngineUnderTest soft;
    EngineUnderTest loud;
    soft.midi(0x90, 60, 20, 100);
    loud.midi(0x90, 60, 127, 100);
    soft.render(4800);
    loud.render(4800);
    EXPECT_EQ(peakOf(loud.left, 0, 100), 0.0f);
    EXPECT_GT(peakOf(loud.left, 100, 400), 0.0f);
    EXPECT_GT(peakOf(loud.left), 1.5f * peakOf(soft.left));
}

TEST(EngineSound, AddingRenderAddsToTheBuffersWhileReplacingOverwritesThem)
{
    EngineUnderTest adding;
    EngineUnderTest replacing;
    std::vector<float> addL(512, 0.25f), addR(512, 0.25f), repL(512, 7.0f), repR(512, 7.0f);
    float* addOut[2] = {addL.data(), addR.data()};
    float* repOut[2] = {repL.data(), repR.data()};
    adding.midi(0x90, 64, 100);
    replacing.midi(0x90, 64, 100);
    adding.engine()->renderAdding(addOut, 512);
    replacing.engine()->renderReplacing(repOut, 512);
    for (size_t i = 0; i < 512; ++i) {
        ASSERT_FLOAT_EQ(addL[i], repL[i] + 0.25f) << i;
        ASSERT_FLOAT_EQ(addR[i], repR[i] + 0.25f) << i;
    }
    EXPECT_GT(peakOf(repL), 0.0f);
}

TEST(EngineSound, HostileBuffersAndMessagesAreSurvived)
{
    EngineUnderTest synth;
    SoftSynth* engine = synth.engine();
    engine->receiveMidi(nullptr, 0);
    synth.midi(0x90, 200, 255, -5);      // data bytes out of range, negative frame
    synth.midi(0x90, 60, 100, 1 << 30);  // beyond the block: plays on its last frame
    engine->renderReplacing(nullptr, 256);
    std::vector<float> left(256, 0.0f);
    float* onlyLeft[2] = {left.data(), nullptr};
    engine->renderReplacing(onlyLeft, 256);
    engine->renderReplacing(onlyLeft, 0);
    engine->renderReplacing(onlyLeft, -1);
    engine->setSampleRate(0.0f);
    engine->setSampleRate(NAN);
    engine->setBlockSize(-4);
    for (int32_t i = 0; i < 5000; ++i) {  // more than a block's queue holds
        synth.midi(i % 2 == 0 ? 0x90 : 0x80, 60, 100, 3);
    }
    synth.render(512);
    EXPECT_TRUE(std::isfinite(peakOf(synth.left)));
    EXPECT_GT(peakOf(left), 0.0f);  // the notes still played into the one channel given
}

TEST(EngineSound, ParameterTextsFitTheirBufferAndStayTerminated)
{
    EngineUnderTest synth;
    SoftSynth* engine = synth.engine();
    const int32_t count = engine->getParameterCount();
    for (int32_t index = 0; index < count; ++index) {
        for (float value = 0.0f; value <= 1.0f; value += 1.0f / 64.0f) {
            engine->setParameter(index, value);
            for (auto get :
                 {&SoftSynth::getParameterName, &SoftSynth::getParameterLabel, &SoftSynth::getParameterDisplay}) {
                char text[16];
                std::memset(text, 'x', sizeof text);
                (engine->*get)(index, text, 9);
                ASSERT_LE(std::strlen(text), 8u) << index << " " << value;
                ASSERT_EQ(text[9], 'x') << "written past the buffer for parameter " << index;
                std::memset(text, 'x', sizeof text);
                (engine->*get)(index, text, 3);
                ASSERT_LE(std::strlen(text), 2u);
                ASSERT_EQ(text[3], 'x');
                std::memset(text, 'x', sizeof text);
                (engine->*get)(index, text, 0);
                ASSERT_EQ(text[0], 'x');
                (engine->*get)(index, nullptr, 9);
            }
        }
        char name[9];
        engine->getParameterName(index, name, sizeof name);
        EXPECT_GT(std::strlen(name), 0u) << index;
    }
    char text[9] = "unset";
    engine->getParameterName(count, text, sizeof text);
    EXPECT_STREQ(text, "");
    engine->getParameterDisplay(-1, text, sizeof text);
    EXPECT_STREQ(text, "");
}

TEST(EngineSound, ParameterValuesAreClampedAndBadIndicesIgnored)
{
    EngineUnderTest synth;
    SoftSynth* engine = synth.engine();
    engine->setParameter(2, 3.0f);
    EXPECT_EQ(engine->getParameter(2), 1.0f);
    engine->setParameter(2, -1.0f);
    EXPECT_EQ(engine->getParameter(2), 0.0f);
    engine->setParameter(2, 0.5f);
    engine->setParameter(2, NAN);
    EXPECT_EQ(engine->getParameter(2), 0.5f);
    engine->setParameter(-1, 0.5f);
    engine->setParameter(1000, 0.5f);
    EXPECT_EQ(engine->getParameter(-1), 0.0f);
    EXPECT_EQ(engine->getParameter(1000), 0.0f);
}

TEST(EngineSound, OfflineModeModulatesEverySampleWhereRealtimeModeSteps)
{
    // The LFO moves the cutoff; offline it is followed sample by sample,
    // in real time every sixteen samples, so the two renders differ slightly.
    EngineUnderTest offline;
    EngineUnderTest realtime;
    realtime.engine()->setProcessMode(SoftSynthModeRealtime);
    for (EngineUnderTest* synth : {&offline, &realtime}) {
        synth->engine()->setParameter(10, 1.0f);  // LFO Amt
        synth->midi(0x90, 48, 100);
        synth->render(4800);
    }
    EXPECT_NE(offline.left, realtime.left);
    float difference = 0.0f;
    for (size_t i = 0; i < offline.left.size(); ++i) {
        difference = std::fmax(difference, std::fabs(offline.left[i] - realtime.left[i]));
    }
    EXPECT_LT(difference, 0.25f);
}

}  // namespace
