#include <gtest/gtest.h>

#include <functional>

#include "VstTestSupport.h"

namespace {

char hostText[64];
char opaque[64];  // stands for the records the framework only passes on
VstTimeInfo hostTime;
EffectRecord otherPlug;
VstSpeakerArrangement hostArrangement;
VstEvents hostEvents;

template <typename T>
T* opaqueAs()
{
    return reinterpret_cast<T*>(opaque);
}

intptr_t address(const void* pointer)
{
    return reinterpret_cast<intptr_t>(pointer);
}

struct RequestCase {
    const char* name;
    std::function<intptr_t(DefaultEffect&)> call;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
    intptr_t hostAnswer;
    intptr_t withHost;
    intptr_t withoutHost;
};

// One request: the operation as the plug-in calls it, what reaches the host
// (opcode, index, value, ptr, opt), the host's answer, and the operation's
// result with that host and without one.
#define REQUEST(call, opcode, index, value, ptr, opt, hostAnswer, withHost, withoutHost)                               \
    {                                                                                                                  \
#call, [](DefaultEffect & e) {                                                                                 \
            return intptr_t(call);                                                                                     \
        }, opcode, index, value, ptr, opt, hostAnswer, withHost, withoutHost                                           \
    }

const std::vector<RequestCase>& requestCases()
{
    const intptr_t time = address(&hostTime), plug = address(&otherPlug), text = address(hostText);
    const intptr_t arrangement = address(&hostArrangement);
    static const std::vector<RequestCase> cases = {
        REQUEST(e.getMasterVersion(), audioMasterVersion, 0, 0, nullptr, 0.0f, 2400, 2400, 1),
        REQUEST(e.getMasterVersion(), audioMasterVersion, 0, 0, nullptr, 0.0f, 0, 1, 1),
        REQUEST(e.getCurrentId(), audioMasterCurrentId, 0, 0, nullptr, 0.0f, 7, 7, 0),
        REQUEST((e.masterIdle(), 0), audioMasterIdle, 0, 0, nullptr, 0.0f, 1, 0, 0),
        REQUEST(e.isInputConnected(3), audioMasterPinConnected, 3, 0, nullptr, 0.0f, 0, 1, 1),
        REQUEST(e.isInputConnected(3), audioMasterPinConnected, 3, 0, nullptr, 0.0f, 1, 0, 1),
        REQUEST(e.isOutputConnected(2), audioMasterPinConnected, 2, 1, nullptr, 0.0f, 1, 0, 1),
        REQUEST((e.wantEvents(1), 0), audioMasterWantMidi, 0, 1, nullptr, 0.0f, 1, 0, 0),
        REQUEST(address(e.getTimeInfo(0x3E00)), audioMasterGetTime, 0, 0x3E00, nullptr, 0.0f, time, time, 0),
        REQUEST(e.sendVstEventsToHost(&hostEvents), audioMasterProcessEvents, 0, 0, &hostEvents, 0.0f, 1, 1, 0),
        REQUEST(e.sendVstEventsToHost(&hostEvents), audioMasterProcessEvents, 0, 0, &hostEvents, 0.0f, 2, 0, 0),
        REQUEST(e.tempoAt(4410), audioMasterTempoAt, 0, 4410, nullptr, 0.0f, 1200000, 1200000, 0),
        REQUEST(e.getNumAutomatableParameters(), audioMasterGetNumAutomatableParameters, 0, 0, nullptr, 0.0f, 5, 5, 0),
        REQUEST(e.getParameterQuantization(), audioMasterGetParameterQuantization, 0, 0, nullptr, 0.0f, 3, 3, 0),
        REQUEST(e.ioChanged(), audioMasterIOChanged, 0, 0, nullptr, 0.0f, -1, 1, 0),
        REQUEST(e.needIdle(), audioMasterNeedIdle, 0, 0, nullptr, 0.0f, 1, 1, 0),
        REQUEST(e.sizeWindow(640, 480), audioMasterSizeWindow, 640, 480, nullptr, 0.0f, 1, 1, 0),
        REQUEST(e.updateSampleRate(), audioMasterGetSampleRate, 0, 0, nullptr, 0.0f, 48000, 48000, 44100),
        REQUEST(e.updateSampleRate(), audioMasterGetSampleRate, 0, 0, nullptr, 0.0f, -1, 44100, 44100),
        REQUEST(e.updateBlockSize(), audioMasterGetBlockSize, 0, 0, nullptr, 0.0f, 256, 256, 1024),
        REQUEST(e.updateBlockSize(), audioMasterGetBlockSize, 0, 0, nullptr, 0.0f, 0, 1024, 1024),
        REQUEST(e.getInputLatency(), audioMasterGetInputLatency, 0, 0, nullptr, 0.0f, 64, 64, 0),
        REQUEST(e.getOutputLatency(), audioMasterGetOutputLatency, 0, 0, nullptr, 0.0f, 128, 128, 0),
        REQUEST(address(e.getPreviousPlug(3)), audioMasterGetPreviousPlug, 0, 0, nullptr, 0.0f, plug, plug, 0),
        REQUEST(address(e.getNextPlug(3)), audioMasterGetNextPlug, 0, 0, nullptr, 0.0f, plug, plug, 0),
        REQUEST(e.willReplaceOrAccumulate(), audioMasterWillReplaceOrAccumulate, 0, 0, nullptr, 0.0f, 1, 1, 0),
        REQUEST(e.getCurrentProcessLevel(), audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f, 2, 2, 0),
        REQUEST(e.getAutomationState(), audioMasterGetAutomationState, 0, 0, nullptr, 0.0f, 3, 3, 0),
        REQUEST(e.offlineStart(opaqueAs<VstAudioFile>(), 2, 1), audioMasterOfflineStart, 1, 2, opaque, 0.0f, 1, 1, 0),
        REQUEST(e.offlineRead(opaqueAs<VstOfflineTask>(), 3, true), audioMasterOfflineRead, 1, 3, opaque, 0.0f, 1, 1,
                0),
        REQUEST(e.offlineWrite(opaqueAs<VstOfflineTask>(), 4), audioMasterOfflineWrite, 0, 4, opaque, 0.0f, 1, 1, 0),
        REQUEST(e.offlineGetCurrentPass(), audioMasterOfflineGetCurrentPass, 0, 0, nullptr, 0.0f, 1, 1, 0),
        REQUEST(e.offlineGetCurrentMetaPass(), audioMasterOfflineGetCurrentMetaPass, 0, 0, nullptr, 0.0f, 1, 1, 0),
        REQUEST((e.setOutputSampleRate(22050.0f), 0), audioMasterSetOutputSampleRate, 0, 0, nullptr, 22050.0f, 1, 0, 0),
        REQUEST(address(e.getOutputSpeakerArrangement()), audioMasterGetOutputSpeakerArrangement, 0, 0, nullptr, 0.0f,
                arrangement, arrangement, 0),
        REQUEST(e.getHostVendorString(hostText), audioMasterGetVendorString, 0, 0, hostText, 0.0f, 1, 1, 0),
        REQUEST(e.getHostProductString(hostText), audioMasterGetProductString, 0, 0, hostText, 0.0f, 1, 1, 0),
        REQUEST(e.getHostVendorVersion(), audioMasterGetVendorVersion, 0, 0, nullptr, 0.0f, 1000, 1000, 0),
        REQUEST(e.hostVendorSpecific(1, -2, opaque, 0.5f), audioMasterVendorSpecific, 1, -2, opaque, 0.5f, 42, 42, 0),
        REQUEST(e.canHostDo(hostText), audioMasterCanDo, 0, 0, hostText, 0.0f, -1, 1, 0),
        REQUEST(e.canHostDo(hostText), audioMasterCanDo, 0, 0, hostText, 0.0f, 0, 0, 0),
        REQUEST(e.getHostLanguage(), audioMasterGetLanguage, 0, 0, nullptr, 0.0f, 1, 1, 0),
        REQUEST(address(e.openWindow(opaqueAs<VstWindow>())), audioMasterOpenWindow, 0, 0, opaque, 0.0f, text, text, 0),
        REQUEST(e.closeWindow(opaqueAs<VstWindow>()), audioMasterCloseWindow, 0, 0, opaque, 0.0f, 1, 1, 0),
        REQUEST(address(e.getDirectory()), audioMasterGetDirectory, 0, 0, nullptr, 0.0f, text, text, 0),
        REQUEST(e.updateDisplay(), audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f, 1, 1, 0),
        REQUEST(e.beginEdit(5), audioMasterBeginEdit, 5, 0, nullptr, 0.0f, 1, 1, 0),
        REQUEST(e.endEdit(5), audioMasterEndEdit, 5, 0, nullptr, 0.0f, 1, 1, 0),
        REQUEST(e.openFileSelector(opaqueAs<VstFileSelect>()), audioMasterOpenFileSelector, 0, 0, opaque, 0.0f, 1, 1,
                0),
        REQUEST(e.closeFileSelector(opaqueAs<VstFileSelect>()), audioMasterCloseFileSelector, 0, 0, opaque, 0.0f, 1, 1,
                0),
        REQUEST(e.getChunkFile(hostText), audioMasterGetChunkFile, 0, 0, hostText, 0.0f, 1, 1, 0),
        REQUEST(address(e.getInputSpeakerArrangement()), audioMasterGetInputSpeakerArrangement, 0, 0, nullptr, 0.0f,
                arrangement, arrangement, 0),
    };
    return cases;
}

#undef REQUEST

}  // namespace

TEST(VstHostRequest, EachRequestSendsItsArgumentsAndInterpretsTheAnswer)
{
    for (const RequestCase& c : requestCases()) {
        RecordingHost host;
        host.answer(c.opcode, c.hostAnswer);
        DefaultEffect* effect = new DefaultEffect(RecordingHost::callback());
        EffectRecord* record = effect->getEffectRecord();

        EXPECT_EQ(c.call(*effect), c.withHost) << c.name;

        ASSERT_EQ(host.requests().size(), 1u) << c.name;
        const HostRequest& sent = host.requests()[0];
        EXPECT_EQ(sent.effect, record) << c.name;
        EXPECT_EQ(sent.opcode, c.opcode) << c.name;
        EXPECT_EQ(sent.index, c.index) << c.name;
        EXPECT_EQ(sent.value, c.value) << c.name;
        EXPECT_EQ(sent.ptr, c.ptr) << c.name;
        EXPECT_EQ(sent.opt, c.opt) << c.name;
        dispatch(record, effClose);
    }
}

TEST(VstHostRequest, EachRequestWithoutAHostGivesItsNeutralAnswer)
{
    for (const RequestCase& c : requestCases()) {
        RecordingHost host;  // present, but not the effect's callback
        DefaultEffect* effect = new DefaultEffect(nullptr);

        EXPECT_EQ(c.call(*effect), c.withoutHost) << c.name;

        EXPECT_TRUE(host.requests().empty()) << c.name;
        dispatch(effect->getEffectRecord(), effClose);
    }
}

TEST(VstHostRequest, UpdatedRateAndSizeAreKeptForLaterQueries)
{
    RecordingHost host;
    DefaultEffect* effect = new DefaultEffect(RecordingHost::callback());
    host.answer(audioMasterGetSampleRate, 48000);
    host.answer(audioMasterGetBlockSize, 333);

    effect->updateSampleRate();
    effect->updateBlockSize();
    host.answer(audioMasterGetSampleRate, 0);
    host.answer(audioMasterGetBlockSize, -5);

    EXPECT_EQ(effect->updateSampleRate(), 48000.0f);
    EXPECT_EQ(effect->updateBlockSize(), 333);
    EXPECT_EQ(effect->getSampleRate(), 48000.0f);
    EXPECT_EQ(effect->getBlockSize(), 333);
    dispatch(effect->getEffectRecord(), effClose);
}

TEST(VstHostRequest, NullSelectorsAndPathsAreNotSentEvenWithAHost)
{
    RecordingHost host;
    host.answer(audioMasterOpenFileSelector, 1);
    host.answer(audioMasterCloseFileSelector, 1);
    host.answer(audioMasterGetChunkFile, 1);
    DefaultEffect* effect = new DefaultEffect(RecordingHost::callback());

    EXPECT_FALSE(effect->openFileSelector(nullptr));
    EXPECT_FALSE(effect->closeFileSelector(nullptr));
    EXPECT_FALSE(effect->getChunkFile(nullptr));

    EXPECT_TRUE(host.requests().empty());
    dispatch(effect->getEffectRecord(), effClose);
}

TEST(VstHostRequest, SetParameterAutomatedSetsTheParameterThenReportsIt)
{
    for (const bool withHost : {true, false}) {
        RecordingHost host;
        ProbeEffect* effect = new ProbeEffect(withHost ? RecordingHost::callback() : nullptr);
        host.answer(audioMasterAutomate, 1);

        effect->setParameterAutomated(5, 0.5f);

        EXPECT_EQ(effect->calls, std::vector<std::string>{"setParameter 5 0.5"});
        if (withHost) {
            ASSERT_EQ(host.requests().size(), 1u);
            EXPECT_EQ(host.requests()[0].opcode, audioMasterAutomate);
            EXPECT_EQ(host.requests()[0].index, 5);
            EXPECT_EQ(host.requests()[0].value, 0);
            EXPECT_EQ(host.requests()[0].ptr, nullptr);
            EXPECT_EQ(host.requests()[0].opt, 0.5f);
        } else {
            EXPECT_TRUE(host.requests().empty());
        }
        dispatch(effect->getEffectRecord(), effClose);
    }
}
