// The services the engine looks up: names, tick conversions and MIDI output.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BridgeFixture.h"
#include "IMidiOut.h"

namespace {

using namespace bridge_test;

class BridgeServices : public BridgeFixture {
protected:
    void SetUp() override
    {
        BridgeFixture::SetUp();
        open();
        ASSERT_NE(probe->host, nullptr);
    }

    void signature(int32_t numerator, int32_t denominator)
    {
        VstTimeInfo time = {};
        time.timeSigNumerator = numerator;
        time.timeSigDenominator = denominator;
        time.flags = kVstTimeSigValid;
        host.answerTime(&time);
        block();
        host.answerTime(nullptr);
    }

    std::vector<int32_t> barBeatTick(int32_t ticks)
    {
        int32_t bar = -99, beat = -99, tick = -99;
        context()->ticksToBarBeatTick(ticks, &bar, &beat, &tick);
        return {bar, beat, tick};
    }
};

using Position = std::vector<int32_t>;

// The slot a virtual operation occupies, from its member pointer: the
// compiler's ABI stores 1 + the byte offset of the slot in the table.
template <typename Member>
intptr_t slotOf(Member member)
{
    static_assert(sizeof(Member) == 2 * sizeof(intptr_t), "a member pointer is a pointer and an adjustment");
    intptr_t words[2];
    std::memcpy(words, &member, sizeof words);
    return (words[0] - 1) / static_cast<intptr_t>(sizeof(void*)) + 1;
}

TEST(BridgeServiceLayout, ServiceOperationsKeepTheirSlotNumbers)
{
    using Korvanta::MidiContext;
    using Korvanta::MidiTransportListener;
    using Korvanta::MidiTransportNotifier;
    EXPECT_EQ(slotOf(&IKorvantaHost::get_interface), 1);

    EXPECT_EQ(slotOf(&MidiContext::getTicksPerQuarter), 1);
    EXPECT_EQ(slotOf(&MidiContext::getTempo), 2);
    EXPECT_EQ(slotOf(&MidiContext::barBeatTickToTicks), 3);
    EXPECT_EQ(slotOf(&MidiContext::ticksToBarBeatTick), 4);
    EXPECT_EQ(slotOf(&MidiContext::getTimeSigNumerator), 5);
    EXPECT_EQ(slotOf(&MidiContext::getTimeSigDenominator), 6);

    EXPECT_EQ(slotOf(&MidiTransportNotifier::addListener), 1);
    EXPECT_EQ(slotOf(&MidiTransportNotifier::removeListener), 2);
    EXPECT_EQ(slotOf(&MidiTransportNotifier::isPlaying), 3);
    EXPECT_EQ(slotOf(&MidiTransportNotifier::isCycleActive), 4);
    EXPECT_EQ(slotOf(&MidiTransportNotifier::getSamplePosition), 5);
    EXPECT_EQ(slotOf(&MidiTransportNotifier::getPpqPosition), 6);
    EXPECT_EQ(slotOf(&MidiTransportNotifier::getCycleStart), 7);
    EXPECT_EQ(slotOf(&MidiTransportNotifier::getCycleEnd), 8);

    EXPECT_EQ(slotOf(&MidiTransportListener::onTransportStart), 1);
    EXPECT_EQ(slotOf(&MidiTransportListener::onTransportStop), 2);
    EXPECT_EQ(slotOf(&MidiTransportListener::onCycle), 3);

    EXPECT_EQ(slotOf(&IMidiOut::sendMidi), 1);
}

TEST_F(BridgeServices, InterfacesAreFoundByTheirExactNamesOnly)
{
    IKorvantaHost* services = probe->host;
    void* midiContext = services->get_interface("Korvanta::MidiContext");
    void* notifier = services->get_interface("Korvanta::MidiTransportNotifier");
    EXPECT_NE(midiContext, nullptr);
    EXPECT_NE(notifier, nullptr);
    EXPECT_NE(midiContext, notifier);
    EXPECT_TRUE(capture.texts().empty()) << "only IMidiOut is traced";

    void* midiOut = services->get_interface("IMidiOut");
    ASSERT_NE(midiOut, nullptr);
    char expected[64];
    std::snprintf(expected, sizeof expected, "get_interface(IMidiOut) --> %p\n", midiOut);
    EXPECT_EQ(capture.texts(), std::vector<std::string>{expected});

    for (const char* name : {"imidiout", "IMidiOut ", "Korvanta::midicontext", "MidiContext", "IKorvantaHost", ""})
        EXPECT_EQ(services->get_interface(name), nullptr) << name;
    EXPECT_EQ(services->get_interface(nullptr), nullptr);
}

TEST_F(BridgeServices, TicksConvertToBarsAtFourFour)
{
    signature(4, 4);
    EXPECT_EQ(barBeatTick(2000), (Position{2, 1, 80}));
    EXPECT_EQ(context()->barBeatTickToTicks(2, 1, 80), 2000);
    EXPECT_EQ(barBeatTick(0), (Position{1, 1, 0}));
    EXPECT_EQ(barBeatTick(-1), (Position{0, 4, 479}));
    EXPECT_EQ(barBeatTick(-1920), (Position{0, 1, 0}));
    EXPECT_EQ(barBeatTick(-1921), (Position{-1, 4, 479}));
    EXPECT_EQ(context()->barBeatTickToTicks(0, 4, 479), -1);
    EXPECT_EQ(context()->barBeatTickToTicks(3, 2, 0), 2 * 1920 + 480);

    int32_t bar = 0;
    context()->ticksToBarBeatTick(5000, &bar, nullptr, nullptr);  // null out-pointers are skipped
    EXPECT_EQ(bar, 3);
}

TEST_F(BridgeServices, TicksConvertToBarsAtSixEight)
{
    signature(6, 8);
    EXPECT_EQ(barBeatTick(1440), (Position{2, 1, 0}));
    EXPECT_EQ(barBeatTick(1700), (Position{2, 2, 20}));
    EXPECT_EQ(barBeatTick(239), (Position{1, 1, 239}));
    EXPECT_EQ(barBeatTick(-240), (Position{0, 6, 0}));
    EXPECT_EQ(context()->barBeatTickToTicks(2, 2, 20), 1700);
    EXPECT_EQ(context()->barBeatTickToTicks(1, 7, 0), 1440);
}

// An engine may ask for any bar; at a signature of 2147483647/1 the lowest
// bar lies 8.9e21 ticks back, beyond 64 bits. The answer is that position
// cut to 32 bits, as for every position beyond them.
TEST_F(BridgeServices, BarBeatTickToTicks_OfExtremeBars_CutsThePositionTo32BitsWithoutOverflow)
{
    signature(INT32_MAX, 1);
    // Exactly: (-2^31 - 1) * (2^31 - 1) + (-2^31 - 1) beats = -(2^62 + 2^31) beats of 1920 ticks,
    // -(2^62 + 2^31) * 1920 = -2^62 * 1920 - 2^31 * 1920, which is 0 modulo 2^32 (1920 = 2^7 * 15).
    EXPECT_EQ(context()->barBeatTickToTicks(INT32_MIN, INT32_MIN, 5), 5);
    // Positions that fit keep their value; those just beyond 32 bits wrap.
    EXPECT_EQ(context()->barBeatTickToTicks(1, 1001, 7), 1000 * 1920 + 7);
    EXPECT_EQ(context()->barBeatTickToTicks(1, 1118483, 0), static_cast<int32_t>(uint32_t{1118482u} * 1920u));
}

TEST_F(BridgeServices, MissingOrBrokenSignaturesCountAsFourFour)
{
    // Before any time information the signature is 0/0.
    EXPECT_EQ(barBeatTick(2000), (Position{2, 1, 80}));
    EXPECT_EQ(context()->barBeatTickToTicks(2, 1, 80), 2000);

    signature(-3, 0);
    EXPECT_EQ(barBeatTick(2000), (Position{2, 1, 80}));
    EXPECT_EQ(context()->barBeatTickToTicks(2, 1, 80), 2000);

    signature(1, 1 << 30);  // a bar shorter than one tick
    EXPECT_EQ(barBeatTick(2000), (Position{2, 1, 80}));
}

TEST_F(BridgeServices, SendMidiSendsOneHostEventPerMessageAndTracesTheAnswer)
{
    IMidiOut* out = service<IMidiOut>("IMidiOut");
    ASSERT_NE(out, nullptr);
    capture.clear();
    host.answer(audioMasterProcessEvents, 0);  // a host that refuses

    const unsigned char noteOn[4] = {0x91, 0x40, 0x7F, 0x00};
    const unsigned char programChange[4] = {0xC2, 0x05, 0xEE, 0xDD};  // two bytes meant, four sent
    out->sendMidi(noteOn, 12);
    out->sendMidi(programChange, -7);
    out->sendMidi(nullptr, 3);

    const std::vector<velmorant_test::HostRequest> requests = host.requests(audioMasterProcessEvents);
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.effect, effect().record());
        EXPECT_EQ(request.index, 0);
        EXPECT_EQ(request.value, 0);
        EXPECT_EQ(request.opt, 0.0f);
    }
    const std::vector<VstMidiEvent>& events = host.midiEvents();
    ASSERT_EQ(events.size(), 2u);
    VstMidiEvent expected;
    std::memset(&expected, 0, sizeof expected);
    expected.type = kVstMidiType;
    expected.byteSize = 24;
    expected.deltaFrames = 12;
    std::memcpy(expected.midiData, noteOn, 4);
    EXPECT_EQ(std::memcmp(&events[0], &expected, sizeof expected), 0) << "every other field is 0";
    expected.deltaFrames = -7;
    std::memcpy(expected.midiData, programChange, 4);
    EXPECT_EQ(std::memcmp(&events[1], &expected, sizeof expected), 0);

    EXPECT_EQ(capture.texts(), (std::vector<std::string>{"sendVstEventsToHost([91 40 7F 00] @ 12) --> 0\n",
                                                         "sendVstEventsToHost([C2 05 EE DD] @ -7) --> 0\n"}));
}

TEST_F(BridgeServices, EngineMidiSentWhileRenderingReachesTheHostInOrder)
{
    probe->renderMidi[0][0] = 0x90;
    probe->renderMidi[0][1] = 0x30;
    probe->renderMidiDelta[0] = 5;
    probe->renderMidi[1][0] = 0x80;
    probe->renderMidi[1][1] = 0x30;
    probe->renderMidiDelta[1] = 9;
    probe->renderMidiCount = 2;
    block();
    ASSERT_EQ(host.midiEvents().size(), 2u);
    EXPECT_EQ(static_cast<uint8_t>(host.midiEvents()[0].midiData[0]), 0x90);
    EXPECT_EQ(host.midiEvents()[0].deltaFrames, 5);
    EXPECT_EQ(static_cast<uint8_t>(host.midiEvents()[1].midiData[0]), 0x80);
    EXPECT_EQ(host.midiEvents()[1].deltaFrames, 9);
    EXPECT_EQ(traced("sendVstEventsToHost").size(), 2u);
}

}  // namespace
