// One run of events at fixed sample positions, rendered in blocks of
// different sizes the way a host would split it: the samples, and the MIDI
// the engine sends, must match bit for bit.
#include "EngineTestSupport.h"

namespace {

enum : int32_t { Wave = 0, Cutoff = 2, LfoRate = 9, LfoAmount = 10, Volume = 12, MidiOut = 13 };
constexpr float arpeggioMode = 1.0f;
constexpr double sampleRate = 48000.0;
const int32_t blockSizes[] = {1, 17, 64, 512, 4096};

struct TimedMidi {
    int64_t sample;
    unsigned char bytes[3];
};

// A parameter write the host makes between blocks: at the first block
// boundary at or after `sample`.
struct TimedParameter {
    int64_t sample;
    int32_t index;
    float value;
};

struct EventRun {
    std::vector<TimedMidi> midi;
    std::vector<TimedParameter> parameters;
    int64_t frames = 0;
    bool realtime = false;
    bool hostServices = false;   // the engine is given the fake host's services
    bool hostTransport = false;  // and the host plays, its position following the samples
    double tempo = 120.0;
};

struct Rendered {
    std::vector<float> left;
    std::vector<float> right;
    std::vector<std::pair<int64_t, uint32_t>> sent;  // absolute sample, status and data bytes
};

Rendered renderInBlocks(const EventRun& run, int32_t block)
{
    FakeHostServices host;
    host.tempo = run.tempo;
    host.playing = run.hostTransport;
    EngineUnderTest synth;
    if (run.hostServices || run.hostTransport) {
        synth.attach(&host);
    }
    if (run.realtime) {
        synth.engine()->setProcessMode(SoftSynthModeRealtime);
    }
    size_t nextMidi = 0;
    size_t nextParameter = 0;
    std::vector<std::pair<int64_t, uint32_t>> sent;
    for (int64_t start = 0; start < run.frames; start += block) {
        const int32_t frames = static_cast<int32_t>(std::min<int64_t>(block, run.frames - start));
        while (nextParameter < run.parameters.size() && run.parameters[nextParameter].sample <= start) {
            const TimedParameter& change = run.parameters[nextParameter++];
            synth.engine()->setParameter(change.index, change.value);
        }
        while (nextMidi < run.midi.size() && run.midi[nextMidi].sample < start + frames) {
            const TimedMidi& message = run.midi[nextMidi++];
            synth.midi(message.bytes[0], message.bytes[1], message.bytes[2],
                       static_cast<int32_t>(message.sample - start));
        }
        host.ppq = static_cast<double>(start) / sampleRate * run.tempo / 60.0;
        host.sent.clear();
        synth.render(frames, frames);
        for (const SentMidi& message : host.sent) {
            sent.emplace_back(start + message.frame,
                              message.bytes[0] | (message.bytes[1] << 8) | (message.bytes[2] << 16));
        }
    }
    return {synth.left, synth.right, sent};
}

// The first sample at which two renders differ in their bits, or -1.
int64_t firstDifference(const std::vector<float>& a, const std::vector<float>& b)
{
    if (a.size() != b.size()) {
        return 0;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) {
            return static_cast<int64_t>(i);
        }
    }
    return -1;
}

// Renders the run at every block size and compares each with the first.
Rendered expectSameAtEveryBlockSize(const EventRun& run)
{
    const Rendered reference = renderInBlocks(run, blockSizes[0]);
    EXPECT_EQ(reference.left.size(), static_cast<size_t>(run.frames));
    for (size_t i = 1; i < std::size(blockSizes); ++i) {
        const int32_t block = blockSizes[i];
        const Rendered other = renderInBlocks(run, block);
        EXPECT_EQ(firstDifference(reference.left, other.left), -1) << "left channel, block size " << block;
        EXPECT_EQ(firstDifference(reference.right, other.right), -1) << "right channel, block size " << block;
        EXPECT_EQ(reference.sent, other.sent) << "MIDI output, block size " << block;
    }
    return reference;
}

// Notes, a chord, pitch bend and the sustain pedal, at positions that fall
// on, just before and just after modulation and parameter ticks.
std::vector<TimedMidi> phrase()
{
    return {
        {0, {0x90, 48, 100}},     {31, {0x90, 55, 90}},    {32, {0x90, 60, 80}},    {33, {0xE0, 0x00, 0x50}},
        {1000, {0xB0, 64, 127}},  {1001, {0x80, 48, 0}},   {4095, {0x90, 67, 110}}, {4096, {0xE0, 0x00, 0x30}},
        {6017, {0x80, 55, 0}},    {6017, {0x90, 72, 60}},  {9000, {0xB0, 64, 0}},   {12345, {0x80, 60, 0}},
        {14000, {0x90, 50, 127}}, {17001, {0xB0, 123, 0}}, {18000, {0x90, 62, 70}}, {23999, {0x80, 62, 0}},
    };
}

TEST(EngineBlockSize, ExportDeclaresTheEngineSampleAccurate)
{
    EngineUnderTest synth;
    HMODULE module = GetModuleHandleA("VelmorantEngine.dll");
    ASSERT_NE(module, nullptr);
    auto sampleAccurate = reinterpret_cast<SoftSynthSampleAccurateProc>(
        reinterpret_cast<void*>(GetProcAddress(module, "SoftSynthSampleAccurate")));
    ASSERT_NE(sampleAccurate, nullptr);
    EXPECT_EQ(sampleAccurate(), 1);
}

TEST(EngineBlockSize, APhraseRendersTheSameSamplesOfflineAndInRealTime)
{
    for (bool realtime : {false, true}) {
        EventRun run;
        run.midi = phrase();
        run.frames = 26000;
        run.realtime = realtime;
        const Rendered rendered = expectSameAtEveryBlockSize(run);
        EXPECT_GT(peakOf(rendered.left), 0.05f) << (realtime ? "real time" : "offline");
        EXPECT_GT(peakOf(rendered.right, 24000), 0.0f) << "the last note is still releasing";
    }
}

TEST(EngineBlockSize, TheLfoAndFilterModulationStayOnTheSampleClock)
{
    EventRun run;
    run.parameters = {{0, LfoRate, 1.0f}, {0, LfoAmount, 1.0f}, {0, Cutoff, 0.3f}};
    run.midi = {{7, {0x90, 40, 120}}, {20000, {0x80, 40, 0}}};
    run.frames = 24000;
    run.realtime = true;
    expectSameAtEveryBlockSize(run);
}

TEST(EngineBlockSize, TheArpeggioFollowsThePlayingHostTheSameWayAtEveryBlockSize)
{
    EventRun run;
    run.hostTransport = true;
    run.tempo = 137.0;  // a half step of 2627.7 samples: boundaries fall between block edges
    run.parameters = {{0, MidiOut, arpeggioMode}};
    run.midi = {{0, {0x90, 60, 100}}, {5, {0x90, 64, 90}}, {4000, {0x90, 67, 80}}, {15000, {0x80, 64, 0}}};
    run.frames = 24000;
    const Rendered rendered = expectSameAtEveryBlockSize(run);
    // 24000 samples hold half steps 0 to 9: five notes on, each ended on the next step.
    ASSERT_EQ(rendered.sent.size(), 10u);
    EXPECT_EQ(rendered.sent[0], std::make_pair(int64_t{0}, uint32_t{0x90 | (60 << 8) | (100 << 16)}));
    EXPECT_EQ(rendered.sent[1].first, 2628);  // ceil(60 ticks / (137 / 60 * 480 / 48000) ticks per sample)
    EXPECT_EQ(rendered.sent[2].first, 5256);
}

TEST(EngineBlockSize, TheArpeggioOnItsOwnClockIsTheSameAtEveryBlockSize)
{
    EventRun run;
    run.parameters = {{0, MidiOut, arpeggioMode}, {0, Wave, 0.3f}};
    run.midi = {{100, {0x90, 57, 100}}, {101, {0x90, 45, 100}}, {9999, {0x80, 57, 0}}};
    run.frames = 20000;
    const Rendered rendered = expectSameAtEveryBlockSize(run);
    // At 120 beats per minute a half step is 3000 samples: the notes held at
    // 100 wait for the step at 6000.
    EXPECT_EQ(peakOf(rendered.left, 0, 6000), 0.0f);
    EXPECT_GT(peakOf(rendered.left, 6000, 9000), 0.0f);
}

// Parameters are taken every 32 samples of the engine's clock: writes that
// land anywhere in one interval (here 4065..4096 and 8161..8192, which the
// block sizes reach at different boundaries) take effect together.
TEST(EngineBlockSize, ParameterWritesWithinOneControlIntervalGiveTheSameSamples)
{
    EventRun run;
    run.midi = phrase();
    run.parameters = {{4070, Cutoff, 0.9f}, {4070, Volume, 0.5f}, {8170, Wave, 0.6f}, {8170, MidiOut, 0.5f}};
    run.frames = 24000;
    run.hostServices = true;
    const Rendered changed = expectSameAtEveryBlockSize(run);

    EventRun unchanged = run;
    unchanged.parameters.clear();
    EXPECT_EQ(firstDifference(renderInBlocks(unchanged, 64).left, changed.left), 4096)
        << "the writes take effect on the tick at 4096, not before";
    ASSERT_FALSE(changed.sent.empty()) << "the echo switched on at 8192 reports the notes played after it";
    EXPECT_GE(changed.sent.front().first, 8192);

    // A write one sample after the tick waits for the next one.
    EventRun later = run;
    later.parameters = {{4097, Cutoff, 0.9f}, {4097, Volume, 0.5f}, {8170, Wave, 0.6f}, {8170, MidiOut, 0.5f}};
    EXPECT_EQ(firstDifference(renderInBlocks(later, 1).left, changed.left), 4096);
}

}  // namespace
