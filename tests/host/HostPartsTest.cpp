#include "HostTestSupport.h"

#include <cmath>

#include "BuiltInPhrase.h"
#include "MidiFile.h"
#include "ParameterLookup.h"
#include "PluginInstance.h"
#include "Transport.h"
#include "WavWriter.h"

namespace {

using namespace host;

std::vector<uint8_t> chunk(const char* tag, std::vector<uint8_t> body)
{
    std::vector<uint8_t> bytes(tag, tag + 4);
    const uint32_t size = static_cast<uint32_t>(body.size());
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<uint8_t>(size >> shift));
    }
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

// Format 1, 96 ticks a quarter: a tempo track (120 bpm, then 60 bpm and 3/4
// from tick 192) and a note track using running status.
std::vector<uint8_t> twoTrackFile()
{
    std::vector<uint8_t> file = chunk("MThd", {0, 1, 0, 2, 0, 96});
    const std::vector<uint8_t> tempoTrack =
        chunk("MTrk", {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x81, 0x40, 0xFF, 0x51, 0x03, 0x0F, 0x42,
                       0x40, 0x00, 0xFF, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08, 0x00, 0xFF, 0x2F, 0x00});
    const std::vector<uint8_t> noteTrack =
        chunk("MTrk", {0x00, 0x90, 0x3C, 0x64, 0x60, 0x3C, 0x00, 0x00, 0xC0, 0x05, 0x60, 0xE0, 0x00, 0x40, 0x60, 0x90,
                       0x40, 0x70, 0x00, 0xF0, 0x02, 0x01, 0xF7, 0x81, 0x40, 0x80, 0x40, 0x00, 0x00, 0xFF, 0x2F, 0x00});
    file.insert(file.end(), tempoTrack.begin(), tempoTrack.end());
    file.insert(file.end(), noteTrack.begin(), noteTrack.end());
    return file;
}

TEST(HostMidiFile, ReadsFormatOneTracksWithRunningStatusTempoAndSignature)
{
    MidiSequence sequence;
    std::string error;
    ASSERT_TRUE(parseMidiFile(twoTrackFile(), sequence, error)) << error;
    EXPECT_EQ(sequence.ticksPerQuarter, 96);
    struct Expected {
        int64_t tick;
        std::vector<int> bytes;
    };
    const std::vector<Expected> expected = {{0, {0x90, 0x3C, 0x64, 0}},   {96, {0x90, 0x3C, 0x00, 0}},
                                            {96, {0xC0, 0x05, 0, 0}},     {192, {0xE0, 0x00, 0x40, 0}},
                                            {288, {0x90, 0x40, 0x70, 0}}, {480, {0x80, 0x40, 0x00, 0}}};
    ASSERT_EQ(sequence.messages.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(sequence.messages[i].tick, expected[i].tick) << i;
        for (int b = 0; b < 4; ++b) {
            EXPECT_EQ(sequence.messages[i].bytes[b], expected[i].bytes[static_cast<size_t>(b)]) << i << ":" << b;
        }
    }
    ASSERT_EQ(sequence.tempoChanges.size(), 2u);
    EXPECT_EQ(sequence.tempoChanges[1].tick, 192);
    EXPECT_EQ(sequence.tempoChanges[1].microsecondsPerQuarter, 1000000.0);
    ASSERT_EQ(sequence.signatures.size(), 1u);
    EXPECT_EQ(sequence.signatures[0].numerator, 3);
    EXPECT_EQ(sequence.signatures[0].denominator, 4);
    EXPECT_EQ(sequence.endTick, 480);
    EXPECT_EQ(sequence.notesPlayed(), 2);
}

TEST(HostMidiFile, ReadsFormatZeroWithSmpteTimingAsSeconds)
{
    // 25 frames a second, 40 ticks a frame: 1000 ticks a second, tempo events ignored.
    std::vector<uint8_t> file = chunk("MThd", {0, 0, 0, 1, 0xE7, 40});
    const std::vector<uint8_t> track = chunk("MTrk", {0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x00, 0x91, 0x30,
                                                      0x50, 0x83, 0x74, 0x81, 0x30, 0x00, 0x00, 0xFF, 0x2F, 0x00});
    file.insert(file.end(), track.begin(), track.end());
    MidiSequence sequence;
    std::string error;
    ASSERT_TRUE(parseMidiFile(file, sequence, error)) << error;
    ASSERT_EQ(sequence.messages.size(), 2u);
    EXPECT_EQ(sequence.messages[1].tick, 500);
    EXPECT_EQ(sequence.messages[1].bytes[0], 0x81);
    const Transport transport(sequence, 48000.0, 0.0, 0, 0);
    EXPECT_DOUBLE_EQ(transport.sampleOfTick(500), 24000.0);
}

TEST(HostMidiFile, RefusesDamagedFilesWithAReason)
{
    const std::vector<uint8_t> good = twoTrackFile();
    std::vector<std::pair<std::vector<uint8_t>, std::string>> cases;
    cases.push_back({std::vector<uint8_t>(good.begin(), good.end() - 5), "past the end"});
    std::vector<uint8_t> formatTwo = good;
    formatTwo[9] = 2;
    cases.push_back({formatTwo, "format 2"});
    cases.push_back({{'R', 'I', 'F', 'F', 0, 0, 0, 4, 'W', 'A', 'V', 'E'}, "not a Standard MIDI File"});
    cases.push_back({chunk("MThd", {0, 0, 0, 1, 0, 0}), "time division"});
    std::vector<uint8_t> longQuantity = chunk("MThd", {0, 0, 0, 1, 0, 96});
    const std::vector<uint8_t> badTrack = chunk("MTrk", {0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 0x3C, 0x64});
    longQuantity.insert(longQuantity.end(), badTrack.begin(), badTrack.end());
    cases.push_back({longQuantity, "delta time"});
    std::vector<uint8_t> noStatus = chunk("MThd", {0, 0, 0, 1, 0, 96});
    const std::vector<uint8_t> dataFirst = chunk("MTrk", {0x00, 0x3C, 0x64});
    noStatus.insert(noStatus.end(), dataFirst.begin(), dataFirst.end());
    cases.push_back({noStatus, "without a status"});
    std::vector<uint8_t> longMeta = chunk("MThd", {0, 0, 0, 1, 0, 96});
    const std::vector<uint8_t> metaTrack = chunk("MTrk", {0x00, 0xFF, 0x01, 0x7F, 'a'});
    longMeta.insert(longMeta.end(), metaTrack.begin(), metaTrack.end());
    cases.push_back({longMeta, "meta event"});
    cases.push_back({{}, "not a Standard MIDI File"});

    for (const auto& [bytes, reason] : cases) {
        MidiSequence sequence;
        std::string error;
        EXPECT_FALSE(parseMidiFile(bytes, sequence, error)) << reason;
        EXPECT_NE(error.find(reason), std::string::npos) << "expected '" << reason << "' in '" << error << "'";
    }
}

TEST(HostTransport, TempoChangesPlaceNotesAndTheTimeInfoFollowsThem)
{
    MidiSequence sequence;
    std::string error;
    ASSERT_TRUE(parseMidiFile(twoTrackFile(), sequence, error));
    const Transport transport(sequence, 1000.0, 0.0, 0, 0);  // 1000 Hz: 500 samples a quarter at 120 bpm
    EXPECT_DOUBLE_EQ(transport.sampleOfTick(96), 500.0);
    EXPECT_DOUBLE_EQ(transport.sampleOfTick(192), 1000.0);
    EXPECT_DOUBLE_EQ(transport.sampleOfTick(288), 2000.0);  // 60 bpm from quarter 2
    EXPECT_DOUBLE_EQ(transport.sampleOfTick(480), 4000.0);

    const VstTimeInfo early = transport.timeInfo(600.0, true, true);
    EXPECT_DOUBLE_EQ(early.ppqPos, 1.2);
    EXPECT_DOUBLE_EQ(early.tempo, 120.0);
    EXPECT_DOUBLE_EQ(early.barStartPos, 0.0);
    EXPECT_EQ(early.timeSigNumerator, 4);
    EXPECT_EQ(early.flags & (kVstTransportPlaying | kVstTransportChanged | kVstPpqPosValid | kVstTempoValid |
                             kVstBarsValid | kVstTimeSigValid),
              kVstTransportPlaying | kVstTransportChanged | kVstPpqPosValid | kVstTempoValid | kVstBarsValid |
                  kVstTimeSigValid);
    EXPECT_DOUBLE_EQ(early.sampleRate, 1000.0);

    const VstTimeInfo later = transport.timeInfo(4500.0, true, false);
    EXPECT_DOUBLE_EQ(later.ppqPos, 5.5);
    EXPECT_DOUBLE_EQ(later.tempo, 60.0);
    EXPECT_EQ(later.timeSigNumerator, 3);
    EXPECT_EQ(later.timeSigDenominator, 4);
    EXPECT_DOUBLE_EQ(later.barStartPos, 5.0);  // 3/4 bars counted from quarter 2: 2, 5, 8
    EXPECT_EQ(later.flags & (kVstTransportPlaying | kVstTransportChanged), kVstTransportPlaying);

    const Transport overridden(sequence, 1000.0, 240.0, 6, 8);
    EXPECT_DOUBLE_EQ(overridden.sampleOfTick(480), 1250.0);
    const VstTimeInfo eighths = overridden.timeInfo(1000.0, false, false);
    EXPECT_DOUBLE_EQ(eighths.barStartPos, 3.0);  // 6/8 bars are three quarters long
    EXPECT_EQ(eighths.flags & kVstTransportPlaying, 0);
}

TEST(HostWavWriter, WritesRoundedClippedPcmAndFloatWithCorrectHeaders)
{
    ScratchFolder scratch;
    const float left[2] = {0.5f, 1.0f};
    const float right[2] = {-1.5f, NAN};
    const float* channels[2] = {left, right};
    for (SampleFormat format : {SampleFormat::Pcm16, SampleFormat::Pcm24, SampleFormat::Float32}) {
        WavWriter writer;
        ASSERT_TRUE(writer.open(scratch / "out.wav", 2, 22050, format));
        ASSERT_TRUE(writer.write(channels, 2));
        ASSERT_TRUE(writer.close());
        const std::vector<uint8_t> bytes = readBytes(scratch / "out.wav");
        const int width = WavWriter::bytesPerSample(format);
        const size_t header = format == SampleFormat::Float32 ? 58 : 44;
        ASSERT_EQ(bytes.size(), header + 4u * static_cast<size_t>(width));
        EXPECT_EQ(bytes[4] | bytes[5] << 8, static_cast<int>(bytes.size()) - 8);
        EXPECT_EQ(bytes[22], 2);                       // channels
        EXPECT_EQ(bytes[24] | bytes[25] << 8, 22050);  // rate
        EXPECT_EQ(bytes[34], width * 8);               // bits
        EXPECT_EQ(bytes[header - 4], 4 * width);       // data size
        const uint8_t* data = bytes.data() + header;
        if (format == SampleFormat::Pcm16) {
            EXPECT_EQ(std::vector<uint8_t>(data, data + 8),
                      (std::vector<uint8_t>{0x00, 0x40, 0x00, 0x80, 0xFF, 0x7F, 0x00, 0x00}));
        } else if (format == SampleFormat::Pcm24) {
            EXPECT_EQ(std::vector<uint8_t>(data, data + 12),
                      (std::vector<uint8_t>{0x00, 0x00, 0x40, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0, 0, 0}));
        } else {
            EXPECT_EQ(bytes[20], 3);  // IEEE float
            EXPECT_EQ(bytes[46], 2);  // fact: two frames
            float first = 0.0f;
            std::memcpy(&first, data, 4);
            EXPECT_EQ(first, 0.5f);
        }
    }
}

TEST(HostBuiltInPhrase, HasBalancedNotesInTickOrder)
{
    const MidiSequence phrase = builtInPhrase();
    int open = 0;
    int64_t previous = 0;
    for (const MidiMessage& message : phrase.messages) {
        EXPECT_GE(message.tick, previous);
        previous = message.tick;
        const bool on = (message.bytes[0] & 0xF0) == 0x90 && message.bytes[2] > 0;
        open += on ? 1 : -1;
        EXPECT_GE(open, 0);
    }
    EXPECT_EQ(open, 0);
    EXPECT_EQ(phrase.notesPlayed(), 33);
    EXPECT_EQ(phrase.endTick, previous);
}

// --set's target: an index below the count, or a name without case and
// trailing blanks; anything else names no parameter.
TEST(HostParameterLookup, FindsAnIndexOrANameAndNothingElse)
{
    PluginInstance plugin;
    std::string error;
    ASSERT_EQ(plugin.load(binaryFolder() + "Velmorant.dll", error), LoadFailure::None) << error;
    ASSERT_EQ(plugin.parameterCount(), 14);
    int32_t index = -1;
    EXPECT_TRUE(findParameter(plugin, "13", index));
    EXPECT_EQ(index, 13);
    EXPECT_TRUE(findParameter(plugin, "midi out  ", index));
    EXPECT_EQ(index, 13);
    EXPECT_TRUE(findParameter(plugin, "CUTOFF", index));
    EXPECT_EQ(index, 2);
    for (const char* nothing : {"14", "-1", "", "Cut", "2x", " Cutoff"})
        EXPECT_FALSE(findParameter(plugin, nothing, index)) << nothing;
}

}  // namespace
