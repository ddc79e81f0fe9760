#include "EngineTestSupport.h"

namespace {

enum : int32_t { Release = 8, MidiOut = 13 };
constexpr float echoMode = 0.5f;
constexpr float arpeggioMode = 1.0f;

struct NoteEvent {
    int status;
    int note;
    int32_t frame;
    bool operator==(const NoteEvent& other) const
    {
        return status == other.status && note == other.note && frame == other.frame;
    }
};

std::vector<NoteEvent> notesSent(const FakeHostServices& host)
{
    std::vector<NoteEvent> notes;
    for (const SentMidi& sent : host.sent) {
        notes.push_back({sent.bytes[0], sent.bytes[1], sent.frame});
    }
    return notes;
}

TEST(EngineServices, AttachRegistersOneListenerAndDetachRemovesIt)
{
    FakeHostServices host;
    EngineUnderTest synth;
    synth.attach(&host);
    ASSERT_EQ(host.listeners.size(), 1u);
    synth.hostLink()->detachHost();
    EXPECT_TRUE(host.listeners.empty());
    synth.attach(&host);
    synth.attach(&host);  // a second attach does not register twice
    EXPECT_EQ(host.listeners.size(), 1u);
}

TEST(EngineServices, EchoSendsEachNoteAtTheFrameItWasPlayed)
{
    FakeHostServices host;
    EngineUnderTest synth;
    synth.attach(&host);
    synth.engine()->setParameter(MidiOut, echoMode);
    synth.midi(0x90, 60, 100, 10);
    synth.midi(0x80, 60, 0, 200);
    synth.render(256);
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(host.sent[0].bytes[0], 0x90);
    EXPECT_EQ(host.sent[0].bytes[1], 60);
    EXPECT_EQ(host.sent[0].bytes[2], 100);
    EXPECT_EQ(host.sent[0].frame, 10);
    EXPECT_EQ(host.sent[1].bytes[0], 0x80);
    EXPECT_EQ(host.sent[1].frame, 200);
    EXPECT_GT(peakOf(synth.left), 0.0f);  // the echo does not replace the sound
}

TEST(EngineServices, ArpeggioStepsOnSixteenthsOfTheHostsPosition)
{
    FakeHostServices host;
    host.playing = true;
    host.tempo = 120.0;  // a sixteenth is 0.125 s: 6000 frames at 48 kHz
    host.ppq = 0.0;
    EngineUnderTest synth;
    synth.attach(&host);
    synth.engine()->setParameter(MidiOut, arpeggioMode);
    synth.midi(0x90, 67, 100);
    synth.midi(0x90, 60, 100);
    synth.midi(0x90, 64, 100);
    for (int block = 0; block < 10; ++block) {  // 2000 frames each: the host moves its position per block
        synth.render(2000, 2000);
        host.ppq += 2000.0 / 48000.0 * 2.0;
    }
    const std::vector<NoteEvent> expected = {
        {0x90, 60, 0}, {0x80, 60, 1000}, {0x90, 64, 0}, {0x80, 64, 1000},
        {0x90, 67, 0}, {0x80, 67, 1000}, {0x90, 60, 0},
    };
    // Frames are block-relative: 6000 = block 3 frame 0, 9000 = block 4 frame 1000.
    EXPECT_EQ(notesSent(host), expected);
    EXPECT_GT(peakOf(synth.left), 0.0f);
}

TEST(EngineServices, TransportStartRestartsThePatternAndStopEndsTheSoundingNote)
{
    FakeHostServices host;
    host.playing = true;
    EngineUnderTest synth;
    synth.attach(&host);
    synth.engine()->setParameter(MidiOut, arpeggioMode);
    synth.midi(0x90, 60, 100);
    synth.midi(0x90, 64, 100);
    synth.render(3000, 3000);  // first step: 60 on, then off
    host.ppq = 0.25;
    synth.render(3000, 3000);  // second step: 64 on
    host.sent.clear();

    ASSERT_EQ(host.listeners.size(), 1u);
    host.listeners[0]->onTransportStop(240);
    host.ppq = 0.4;  // mid-step: the next boundary lies beyond this block
    synth.render(1000, 1000);
    ASSERT_EQ(notesSent(host), (std::vector<NoteEvent>{{0x80, 64, 0}}));

    host.sent.clear();
    host.listeners[0]->onTransportStart(0);
    host.ppq = 0.0;
    synth.render(1000, 1000);
    EXPECT_EQ(notesSent(host), (std::vector<NoteEvent>{{0x90, 60, 0}}));
}

TEST(EngineServices, AHostPositionThatStandsStillDoesNotRetriggerTheArpeggio)
{
    // Some hosts report "playing" with a position that does not move for a
    // while; the step already played at that position must not repeat.
    FakeHostServices host;
    host.playing = true;
    host.ppq = 1.0;
    EngineUnderTest synth;
    synth.attach(&host);
    synth.engine()->setParameter(MidiOut, arpeggioMode);
    synth.midi(0x90, 60, 100);
    for (int block = 0; block < 5; ++block) {
        synth.render(1000, 1000);
    }
    EXPECT_EQ(notesSent(host), (std::vector<NoteEvent>{{0x90, 60, 0}}));
}

TEST(EngineServices, WithoutHostServicesTheArpeggioRunsOnItsOwnClockAndSendsNothing)
{
    // The host was attached and then detached: the engine must forget it.
    FakeHostServices host;
    EngineUnderTest synth;
    synth.attach(&host);
    synth.hostLink()->detachHost();
    synth.engine()->setParameter(MidiOut, arpeggioMode);
    synth.engine()->setParameter(Release, 0.0f);  // 1 ms: each step's note ends in silence
    synth.midi(0x90, 60, 100);
    synth.render(24000);
    // Its own clock is 120 beats per minute: at 48 kHz a step every 6000
    // frames, the note sounding for the first 3000 of them.
    for (size_t step = 0; step < 4; ++step) {
        const size_t start = step * 6000;
        EXPECT_GT(peakOf(synth.left, start, start + 3000), 0.01f) << "step " << step;
        EXPECT_LT(peakOf(synth.left, start + 4500, start + 6000), 1.0e-4f) << "step " << step;
    }
    EXPECT_TRUE(host.sent.empty());
    EXPECT_TRUE(host.listeners.empty());
}

}  // namespace
