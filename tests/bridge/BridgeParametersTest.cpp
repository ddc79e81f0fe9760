// Parameters, automation, programs, names, pins and capabilities.
#include <cstring>
#include <string>
#include <vector>

#include "BridgeFixture.h"

namespace {

using namespace bridge_test;

class BridgeParameters : public BridgeFixture {
protected:
    void SetUp() override
    {
        BridgeFixture::SetUp();
        open();
    }

    // A host buffer of `size` bytes filled with 'x', to see what is written.
    static std::string hostBuffer(size_t size) { return std::string(size, 'x'); }

    std::string text(int32_t opcode, int32_t index, size_t size = 80)
    {
        std::string buffer = hostBuffer(size);
        effect().dispatch(opcode, index, 0, buffer.data());
        return buffer;
    }

    std::string programName(int32_t category, int32_t index, intptr_t* answer)
    {
        std::string buffer = hostBuffer(32);
        *answer = effect().dispatch(effGetProgramNameIndexed, index, category, buffer.data());
        return buffer;
    }
};

TEST_F(BridgeParameters, ValuesPassBetweenHostAndEngineUnchanged)
{
    effect().setParameter(3, 0.625f);
    effect().setParameter(99, 2.5f);  // out of range: the engine decides
    const std::vector<ProbeCall> writes = calls(Call::SetParameter);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].a, 3);
    EXPECT_EQ(writes[0].real, 0.625);
    EXPECT_EQ(writes[1].a, 99);
    EXPECT_EQ(writes[1].real, 2.5);

    probe->parameters[4] = 0.125f;
    EXPECT_EQ(effect().getParameter(4), 0.125f);
    EXPECT_EQ(calls(Call::GetParameter).back().a, 4);
    EXPECT_TRUE(host.requests(audioMasterAutomate).empty()) << "host writes are not automated back";
}

TEST_F(BridgeParameters, ParameterTextsGetNineBytesAndNullBuffersAreIgnored)
{
    EXPECT_EQ(text(effGetParamLabel, 3), "Label3-l" + std::string(1, '\0') + hostBuffer(71));
    EXPECT_EQ(text(effGetParamDisplay, 5), "Disp5-lo" + std::string(1, '\0') + hostBuffer(71));
    EXPECT_EQ(text(effGetParamName, 7), "Name7-lo" + std::string(1, '\0') + hostBuffer(71));
    EXPECT_EQ(effect().dispatch(effGetParamLabel, 0, 0, nullptr), 0);
    EXPECT_EQ(effect().dispatch(effGetParamDisplay, 0, 0, nullptr), 0);
    EXPECT_EQ(effect().dispatch(effGetParamName, 0, 0, nullptr), 0);
}

// The host reads the text up to its terminator: one missing from the
// engine's bytes would send it past the 9 bytes it offered.
TEST_F(BridgeParameters, ParameterTexts_FromAnEngineThatFillsAllNineBytes_EndInsideThem)
{
    probe->unterminatedTexts = 1;
    const std::string cut = std::string(8, 'W') + std::string(1, '\0') + hostBuffer(71);
    EXPECT_EQ(text(effGetParamLabel, 3), cut);
    EXPECT_EQ(text(effGetParamDisplay, 5), cut);
    EXPECT_EQ(text(effGetParamName, 7), cut);
}

TEST_F(BridgeParameters, EngineChangesAreAppliedThenAutomated)
{
    probe->parameters[5] = 0.75f;
    int32_t engineCallsAtAutomation = -1;
    host.onRequest = [&](const velmorant_test::HostRequest& request) -> std::optional<intptr_t> {
        if (request.opcode == audioMasterAutomate)
            engineCallsAtAutomation = probe->callCount;
        return std::nullopt;
    };
    SoftSynth* engine = probe->engine;
    engine->callback(5, SoftSynthParameterChanged, engine->context);

    const std::vector<ProbeCall> writes = calls(Call::SetParameter);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].a, 5);
    EXPECT_EQ(writes[0].real, 0.75);
    const std::vector<velmorant_test::HostRequest> automation = host.requests(audioMasterAutomate);
    ASSERT_EQ(automation.size(), 1u);
    EXPECT_EQ(automation[0].index, 5);
    EXPECT_EQ(automation[0].opt, 0.75f);
    EXPECT_EQ(engineCallsAtAutomation, probe->callCount) << "the engine is written before the host hears";

    // Other requests mean nothing.
    engine->callback(5, 2, engine->context);
    engine->callback(5, 0, engine->context);
    EXPECT_EQ(calls(Call::SetParameter).size(), 1u);
    EXPECT_EQ(host.count(audioMasterAutomate), 1u);
}

TEST_F(BridgeParameters, EngineEchoOfAHostWriteIsDropped)
{
    probe->echoOnSetParameter = 1;
    effect().setParameter(2, 0.5f);
    EXPECT_EQ(calls(Call::SetParameter).size(), 1u);
    EXPECT_EQ(host.count(audioMasterAutomate), 0u);

    // The depth is back to 0 afterwards: a later engine report is automated.
    probe->echoOnSetParameter = 0;
    probe->engine->callback(2, SoftSynthParameterChanged, probe->engine->context);
    EXPECT_EQ(host.count(audioMasterAutomate), 1u);
}

TEST_F(BridgeParameters, ProgramsAreNamedByNumberWithinRange)
{
    intptr_t answer = 0;
    EXPECT_EQ(programName(0, 511, &answer), "Prg 511" + std::string(1, '\0') + hostBuffer(24));
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(programName(7, 3, &answer), "Prg 3" + std::string(1, '\0') + hostBuffer(26));
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(programName(0, 512, &answer), hostBuffer(32));
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(programName(0, -1, &answer), hostBuffer(32));
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(effect().dispatch(effGetProgramNameIndexed, 3, 0, nullptr), 0);

    EXPECT_EQ(effect().dispatch(effSetProgram, 0, 20), 0);
    EXPECT_EQ(effect().dispatch(effGetProgram), 20);
    EXPECT_EQ(text(effGetProgramName, 0, 24), "Prg 20" + std::string(1, '\0') + hostBuffer(17));
    EXPECT_EQ(traced("setProgram:"), std::vector<std::string>{"setProgram: 20\n"});
    EXPECT_EQ(probe->callCount, 0) << "the engine is not told of program changes";
}

TEST_F(BridgeParameters, EngineTextsAreCutToTheHostsBuffers)
{
    EXPECT_EQ(effect().dispatch(effGetVendorVersion), 1234);
    EXPECT_EQ(effect().dispatch(effGetEffectName, 0, 0, hostBuffer(80).data()), 1);
    EXPECT_EQ(text(effGetVendorString, 0), "Bridge Vendor" + std::string(1, '\0') + hostBuffer(66));
    EXPECT_EQ(text(effGetProductString, 0), "Bridge Synth" + std::string(1, '\0') + hostBuffer(67));
    EXPECT_EQ(text(effGetEffectName, 0), "Bridge Synth" + std::string(1, '\0') + hostBuffer(67));

    std::memset(probe->vendorName, 'V', 100);
    probe->vendorName[100] = '\0';
    std::memset(probe->productName, 'P', 100);
    probe->productName[100] = '\0';
    EXPECT_EQ(text(effGetVendorString, 0), std::string(63, 'V') + '\0' + hostBuffer(16));
    EXPECT_EQ(text(effGetProductString, 0), std::string(63, 'P') + '\0' + hostBuffer(16));
    EXPECT_EQ(text(effGetEffectName, 0), std::string(31, 'P') + '\0' + hostBuffer(48));
}

TEST_F(BridgeParameters, OutputPinsAreLabelledFromTheEnginesName)
{
    VstPinProperties pin;
    std::memset(&pin, 0x5A, sizeof pin);
    EXPECT_EQ(effect().dispatch(effGetOutputProperties, 1, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Out 2");
    EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
    EXPECT_EQ(pin.arrangementType, 0x5A5A5A5A) << "only label and flags are written";
    EXPECT_EQ(static_cast<unsigned char>(pin.shortLabel[0]), 0x5A);
    EXPECT_EQ(effect().dispatch(effGetOutputProperties, 0, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Out 1");

    VstPinProperties untouched;
    std::memset(&untouched, 0x5A, sizeof untouched);
    for (int32_t index : {2, 3, -1}) {
        VstPinProperties other = untouched;
        EXPECT_EQ(effect().dispatch(effGetOutputProperties, index, 0, &other), 0) << index;
        EXPECT_EQ(std::memcmp(&other, &untouched, sizeof other), 0) << index;
    }
    EXPECT_EQ(effect().dispatch(effGetOutputProperties, 0, 0, nullptr), 0);

    std::memset(probe->outputName, 'O', 100);
    probe->outputName[100] = '\0';
    std::memset(&pin, 0x5A, sizeof pin);
    EXPECT_EQ(effect().dispatch(effGetOutputProperties, 0, 0, &pin), 1);
    EXPECT_EQ(std::string(pin.label, sizeof pin.label), std::string(63, 'O') + '\0');
    EXPECT_EQ(pin.flags, 3);
}

TEST_F(BridgeParameters, CapabilitiesAnswerOneOrMinusOneAndAreTraced)
{
    for (const char* yes : {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents", "sendVstMidiEvent", "bypass"}) {
        std::string name = yes;
        EXPECT_EQ(effect().dispatch(effCanDo, 0, 0, name.data()), 1) << yes;
    }
    for (const char* no : {"sendVstTimeInfo", "ReceiveVstEvents", "receiveVstEvents ", "", "Bypass"}) {
        std::string name = no;
        EXPECT_EQ(effect().dispatch(effCanDo, 0, 0, name.data()), -1) << no;
    }
    const std::vector<std::string> lines = traced("canDo: ");
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "canDo: receiveVstEvents?\n");
    EXPECT_EQ(lines[6], "canDo: ReceiveVstEvents?\n");

    EXPECT_LE(effect().dispatch(effCanDo, 0, 0, nullptr), 0) << "no text is not a yes";
}

TEST_F(BridgeParameters, IdleAsksForMoreAndANullProgramNameIsNotRead)
{
    EXPECT_EQ(effect().dispatch(effIdle), 1);
    EXPECT_EQ(effect().dispatch(effSetProgramName, 0, 0, nullptr), 0);
    EXPECT_EQ(probe->callCount, 0);
}

}  // namespace
