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
T* opaqueAs() {
    return reinterpret_cast<T*>(opaque);
}

intptr_t address(const void* pointer) { return reinterpret_cast<intptr_t>(pointer); }

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

const std::vector<RequestCase>& requestCases() {
    static const std::vector<RequestCase> cases = {
        {"getMasterVersion", [](DefaultEffect& e) { return e.getMasterVersion(); },
         audioMasterVersion, 0, 0, nullptr, 0.0f, 2400, 2400, 1},
        {"getMasterVersion answered 0", [](DefaultEffect& e) { return e.getMasterVersion(); },
         audioMasterVersion, 0, 0, nullptr, 0.0f, 0, 1, 1},
        {"getCurrentId", [](DefaultEffect& e) { return e.getCurrentId(); },
         audioMasterCurrentId, 0, 0, nullptr, 0.0f, 7, 7, 0},
        {"masterIdle", [](DefaultEffect& e) { e.masterIdle(); return intptr_t(0); },
         audioMasterIdle, 0, 0, nullptr, 0.0f, 1, 0, 0},
        {"isInputConnected answered 0", [](DefaultEffect& e) { return intptr_t(e.isInputConnected(3)); },
         audioMasterPinConnected, 3, 0, nullptr, 0.0f, 0, 1, 1},
        {"isInputConnected answered 1", [](DefaultEffect& e) { return intptr_t(e.isInputConnected(3)); },
         audioMasterPinConnected, 3, 0, nullptr, 0.0f, 1, 0, 1},
        {"isOutputConnected", [](DefaultEffect& e) { return intptr_t(e.isOutputConnected(2)); },
         audioMasterPinConnected, 2, 1, nullptr, 0.0f, 1, 0, 1},
        {"wantEvents", [](DefaultEffect& e) { e.wantEvents(1); return intptr_t(0); },
         audioMasterWantMidi, 0, 1, nullptr, 0.0f, 1, 0, 0},
        {"getTimeInfo", [](DefaultEffect& e) { return address(e.getTimeInfo(0x3E00)); },
         audioMasterGetTime, 0, 0x3E00, nullptr, 0.0f, address(&hostTime), address(&hostTime), 0},
        {"sendVstEventsToHost answered 1", [](DefaultEffect& e) { return intptr_t(e.sendVstEventsToHost(&hostEvents)); },
         audioMasterProcessEvents, 0, 0, &hostEvents, 0.0f, 1, 1, 0},
        {"sendVstEventsToHost answered 2", [](DefaultEffect& e) { return intptr_t(e.sendVstEventsToHost(&hostEvents)); },
         audioMasterProcessEvents, 0, 0, &hostEvents, 0.0f, 2, 0, 0},
        {"tempoAt", [](DefaultEffect& e) { return intptr_t(e.tempoAt(4410)); },
         audioMasterTempoAt, 0, 4410, nullptr, 0.0f, 1200000, 1200000, 0},
        {"getNumAutomatableParameters", [](DefaultEffect& e) { return intptr_t(e.getNumAutomatableParameters()); },
         audioMasterGetNumAutomatableParameters, 0, 0, nullptr, 0.0f, 5, 5, 0},
        {"getParameterQuantization", [](DefaultEffect& e) { return intptr_t(e.getParameterQuantization()); },
         audioMasterGetParameterQuantization, 0, 0, nullptr, 0.0f, 3, 3, 0},
        {"ioChanged", [](DefaultEffect& e) { return intptr_t(e.ioChanged()); },
         audioMasterIOChanged, 0, 0, nullptr, 0.0f, -1, 1, 0},
        {"needIdle", [](DefaultEffect& e) { return intptr_t(e.needIdle()); },
         audioMasterNeedIdle, 0, 0, nullptr, 0.0f, 1, 1, 0},
        {"sizeWindow", [](DefaultEffect& e) { return intptr_t(e.sizeWindow(640, 480)); },
         audioMasterSizeWindow, 640, 480, nullptr, 0.0f, 1, 1, 0},
        {"updateSampleRate", [](DefaultEffect& e) { return intptr_t(e.updateSampleRate()); },
         audioMasterGetSampleRate, 0, 0, nullptr, 0.0f, 48000, 48000, 44100},
        {"updateSampleRate answered -1", [](DefaultEffect& e) { return intptr_t(e.updateSampleRate()); },
         audioMasterGetSampleRate, 0, 0, nullptr, 0.0f, -1, 44100, 44100},
        {"updateBlockSize", [](DefaultEffect& e) { return intptr_t(e.updateBlockSize()); },
         audioMasterGetBlockSize, 0, 0, nullptr, 0.0f, 256, 256, 1024},
        {"updateBlockSize answered 0", [](DefaultEffect& e) { return intptr_t(e.updateBlockSize()); },
         audioMasterGetBlockSize, 0, 0, nullptr, 0.0f, 0, 1024, 1024},
        {"getInputLatency", [](DefaultEffect& e) { return intptr_t(e.getInputLatency()); },
         audioMasterGetInputLatency, 0, 0, nullptr, 0.0f, 64, 64, 0},
        {"getOutputLatency", [](DefaultEffect& e) { return intptr_t(e.getOutputLatency()); },
         audioMasterGetOutputLatency, 0, 0, nullptr, 0.0f, 128, 128, 0},
        {"getPreviousPlug sends no pin", [](DefaultEffect& e) { return address(e.getPreviousPlug(3)); },
         audioMasterGetPreviousPlug, 0, 0, nullptr, 0.0f, address(&otherPlug), address(&otherPlug), 0},
        {"getNextPlug sends no pin", [](DefaultEffect& e) { return address(e.getNextPlug(3)); },
         audioMasterGetNextPlug, 0, 0, nullptr, 0.0f, address(&otherPlug), address(&otherPlug), 0},
        {"willReplaceOrAccumulate", [](DefaultEffect& e) { return intptr_t(e.willReplaceOrAccumulate()); },
         audioMasterWillReplaceOrAccumulate, 0, 0, nullptr, 0.0f, 1, 1, 0},
        {"getCurrentProcessLevel", [](DefaultEffect& e) { return intptr_t(e.getCurrentProcessLevel()); },
         audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f, 2, 2, 0},
        {"getAutomationState", [](DefaultEffect& e) { return intptr_t(e.getAutomationState()); },
         audioMasterGetAutomationState, 0, 0, nullptr, 0.0f, 3, 3, 0},
        {"offlineStart", [](DefaultEffect& e) { return intptr_t(e.offlineStart(opaqueAs<VstAudioFile>(), 2, 1)); },
         audioMasterOfflineStart, 1, 2, opaque, 0.0f, 1, 1, 0},
        {"offlineRead", [](DefaultEffect& e) { return intptr_t(e.offlineRead(opaqueAs<VstOfflineTask>(), 3, true)); },
         audioMasterOfflineRead, 1, 3, opaque, 0.0f, 1, 1, 0},
        {"offlineWrite", [](DefaultEffect& e) { return intptr_t(e.offlineWrite(opaqueAs<VstOfflineTask>(), 4)); },
         audioMasterOfflineWrite, 0, 4, opaque, 0.0f, 1, 1, 0},
        {"offlineGetCurrentPass", [](DefaultEffect& e) { return intptr_t(e.offlineGetCurrentPass()); },
         audioMasterOfflineGetCurrentPass, 0, 0, nullptr, 0.0f, 1, 1, 0},
        {"offlineGetCurrentMetaPass", [](DefaultEffect& e) { return intptr_t(e.offlineGetCurrentMetaPass()); },
         audioMasterOfflineGetCurrentMetaPass, 0, 0, nullptr, 0.0f, 1, 1, 0},
        {"setOutputSampleRate", [](DefaultEffect& e) { e.setOutputSampleRate(22050.0f); return intptr_t(0); },
         audioMasterSetOutputSampleRate, 0, 0, nullptr, 22050.0f, 1, 0, 0},
        {"getOutputSpeakerArrangement", [](DefaultEffect& e) { return address(e.getOutputSpeakerArrangement()); },
         audioMasterGetOutputSpeakerArrangement, 0, 0, nullptr, 0.0f, address(&hostArrangement),
         address(&hostArrangement), 0},
        {"getHostVendorString", [](DefaultEffect& e) { return intptr_t(e.getHostVendorString(hostText)); },
         audioMasterGetVendorString, 0, 0, hostText, 0.0f, 1, 1, 0},
        {"getHostProductString", [](DefaultEffect& e) { return intptr_t(e.getHostProductString(hostText)); },
         audioMasterGetProductString, 0, 0, hostText, 0.0f, 1, 1, 0},
        {"getHostVendorVersion", [](DefaultEffect& e) { return intptr_t(e.getHostVendorVersion()); },
         audioMasterGetVendorVersion, 0, 0, nullptr, 0.0f, 1000, 1000, 0},
        {"hostVendorSpecific", [](DefaultEffect& e) { return e.hostVendorSpecific(1, -2, opaque, 0.5f); },
         audioMasterVendorSpecific, 1, -2, opaque, 0.5f, 42, 42, 0},
        {"canHostDo answered -1", [](DefaultEffect& e) { return intptr_t(e.canHostDo(hostText)); },
         audioMasterCanDo, 0, 0, hostText, 0.0f, -1, 1, 0},
        {"canHostDo answered 0", [](DefaultEffect& e) { return intptr_t(e.canHostDo(hostText)); },
         audioMasterCanDo, 0, 0, hostText, 0.0f, 0, 0, 0},
        {"getHostLanguage", [](DefaultEffect& e) { return intptr_t(e.getHostLanguage()); },
         audioMasterGetLanguage, 0, 0, nullptr, 0.0f, 1, 1, 0},
        {"openWindow", [](DefaultEffect& e) { return address(e.openWindow(opaqueAs<VstWindow>())); },
         audioMasterOpenWindow, 0, 0, opaque, 0.0f, address(hostText), address(hostText), 0},
        {"closeWindow", [](DefaultEffect& e) { return intptr_t(e.closeWindow(opaqueAs<VstWindow>())); },
         audioMasterCloseWindow, 0, 0, opaque, 0.0f, 1, 1, 0},
        {"getDirectory", [](DefaultEffect& e) { return address(e.getDirectory()); },
         audioMasterGetDirectory, 0, 0, nullptr, 0.0f, address(hostText), address(hostText), 0},
        {"updateDisplay", [](DefaultEffect& e) { return intptr_t(e.updateDisplay()); },
         audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f, 1, 1, 0},
        {"beginEdit", [](DefaultEffect& e) { return intptr_t(e.beginEdit(5)); },
         audioMasterBeginEdit, 5, 0, nullptr, 0.0f, 1, 1, 0},
        {"endEdit", [](DefaultEffect& e) { return intptr_t(e.endEdit(5)); },
         audioMasterEndEdit, 5, 0, nullptr, 0.0f, 1, 1, 0},
        {"openFileSelector", [](DefaultEffect& e) { return intptr_t(e.openFileSelector(opaqueAs<VstFileSelect>())); },
         audioMasterOpenFileSelector, 0, 0, opaque, 0.0f, 1, 1, 0},
        {"closeFileSelector", [](DefaultEffect& e) { return intptr_t(e.closeFileSelector(opaqueAs<VstFileSelect>())); },
         audioMasterCloseFileSelector, 0, 0, opaque, 0.0f, 1, 1, 0},
        {"getChunkFile", [](DefaultEffect& e) { return intptr_t(e.getChunkFile(hostText)); },
         audioMasterGetChunkFile, 0, 0, hostText, 0.0f, 1, 1, 0},
        {"getInputSpeakerArrangement", [](DefaultEffect& e) { return address(e.getInputSpeakerArrangement()); },
         audioMasterGetInputSpeakerArrangement, 0, 0, nullptr, 0.0f, address(&hostArrangement),
         address(&hostArrangement), 0},
    };
    return cases;
}

}  // namespace

TEST(VstHostRequest, EachRequestSendsItsArgumentsAndInterpretsTheAnswer) {
    for (const RequestCase& c : requestCases()) {
        SCOPED_TRACE(c.name);
        RecordingHost host;
        host.answers[c.opcode] = c.hostAnswer;
        DefaultEffect* effect = new DefaultEffect(RecordingHost::callback);
        EffectRecord* record = effect->getEffectRecord();

        EXPECT_EQ(c.call(*effect), c.withHost);

        ASSERT_EQ(host.requests.size(), 1u);
        const HostRequest& sent = host.requests[0];
        EXPECT_EQ(sent.effect, record);
        EXPECT_EQ(sent.opcode, c.opcode);
        EXPECT_EQ(sent.index, c.index);
        EXPECT_EQ(sent.value, c.value);
        EXPECT_EQ(sent.ptr, c.ptr);
        EXPECT_EQ(sent.opt, c.opt);
        dispatch(record, effClose);
    }
}

TEST(VstHostRequest, EachRequestWithoutAHostGivesItsNeutralAnswer) {
    for (const RequestCase& c : requestCases()) {
        SCOPED_TRACE(c.name);
        RecordingHost host;  // present, but not the effect's callback
        DefaultEffect* effect = new DefaultEffect(nullptr);

        EXPECT_EQ(c.call(*effect), c.withoutHost);

        EXPECT_TRUE(host.requests.empty());
        dispatch(effect->getEffectRecord(), effClose);
    }
}

TEST(VstHostRequest, UpdatedRateAndSizeAreKeptForLaterQueries) {
    RecordingHost host;
    DefaultEffect* effect = new DefaultEffect(RecordingHost::callback);
    host.answers[audioMasterGetSampleRate] = 48000;
    host.answers[audioMasterGetBlockSize] = 333;

    effect->updateSampleRate();
    effect->updateBlockSize();
    host.answers[audioMasterGetSampleRate] = 0;
    host.answers[audioMasterGetBlockSize] = -5;

    EXPECT_EQ(effect->updateSampleRate(), 48000.0f);
    EXPECT_EQ(effect->updateBlockSize(), 333);
    EXPECT_EQ(effect->getSampleRate(), 48000.0f);
    EXPECT_EQ(effect->getBlockSize(), 333);
    dispatch(effect->getEffectRecord(), effClose);
}

TEST(VstHostRequest, NullSelectorsAndPathsAreNotSentEvenWithAHost) {
    RecordingHost host;
    host.answers[audioMasterOpenFileSelector] = 1;
    host.answers[audioMasterCloseFileSelector] = 1;
    host.answers[audioMasterGetChunkFile] = 1;
    DefaultEffect* effect = new DefaultEffect(RecordingHost::callback);

    EXPECT_FALSE(effect->openFileSelector(nullptr));
    EXPECT_FALSE(effect->closeFileSelector(nullptr));
    EXPECT_FALSE(effect->getChunkFile(nullptr));

    EXPECT_TRUE(host.requests.empty());
    dispatch(effect->getEffectRecord(), effClose);
}

TEST(VstHostRequest, SetParameterAutomatedSetsTheParameterThenReportsIt) {
    for (const bool withHost : {true, false}) {
        RecordingHost host;
        ProbeEffect* effect = new ProbeEffect(withHost ? RecordingHost::callback : nullptr);
        host.answers[audioMasterAutomate] = 1;

        effect->setParameterAutomated(5, 0.5f);

        EXPECT_EQ(effect->calls, std::vector<std::string>{"setParameter 5 0.5"});
        if (withHost) {
            ASSERT_EQ(host.requests.size(), 1u);
            EXPECT_EQ(host.requests[0].opcode, audioMasterAutomate);
            EXPECT_EQ(host.requests[0].index, 5);
            EXPECT_EQ(host.requests[0].value, 0);
            EXPECT_EQ(host.requests[0].ptr, nullptr);
            EXPECT_EQ(host.requests[0].opt, 0.5f);
        } else {
            EXPECT_TRUE(host.requests.empty());
        }
        dispatch(effect->getEffectRecord(), effClose);
    }
}
