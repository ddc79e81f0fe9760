// Fakes for driving the bridge's parts directly: a host that answers the
// bridge's host interface from fields and records what it was asked, and an
// engine that records MIDI and parameter traffic.
#pragma once

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "SoftSynth.h"
#include "bridge/BridgeHost.h"

namespace bridge_test {

class FakeBridgeHost final : public bridge::BridgeHost {
public:
    const VstTimeInfo* requestTimeInfo(int32_t filter) override
    {
        ++timeRequests;
        lastFilter = filter;
        return giveTime ? &time : nullptr;
    }
    int32_t requestProcessLevel() override
    {
        ++levelRequests;
        return processLevel;
    }
    void automate(int32_t index, float value) override { automated.push_back({index, value}); }
    intptr_t sendEvents(VstEvents* events) override
    {
        sent.push_back(*reinterpret_cast<VstMidiEvent*>(events->events[0]));
        sentCounts.push_back(events->numEvents);
        return answer;
    }

    VstTimeInfo time{};
    bool giveTime = true;
    int timeRequests = 0;
    int32_t lastFilter = 0;
    int32_t processLevel = 0;
    int levelRequests = 0;
    struct Automation {
        int32_t index;
        float value;
    };
    std::vector<Automation> automated;
    std::vector<VstMidiEvent> sent;
    std::vector<int32_t> sentCounts;
    intptr_t answer = 1;
};

class FakeEngine final : public SoftSynth {
public:
    void suspend() override {}
    void resume() override {}
    void release() override {}
    void setSampleRate(float) override {}
    void setBlockSize(int32_t) override {}
    void receiveMidi(const unsigned char* midi, int32_t deltaFrames) override
    {
        char text[32];
        std::snprintf(text, sizeof text, "%02X %02X %02X %02X @%d", midi[0], midi[1], midi[2], midi[3],
                      static_cast<int>(deltaFrames));
        midiLog.push_back(text);
    }
    void renderAdding(float**, int32_t) override {}
    void renderReplacing(float**, int32_t) override {}
    void saveState(Korvanta::OutputStream& stream) override
    {
        for (unsigned char byte : toSave)
            stream.writeUInt8(byte);
        if (throwWhileSaving)
            throw std::runtime_error("save failed");
    }
    void loadState(Korvanta::InputStream& stream) override
    {
        loaded.clear();
        try {
            for (;;)
                loaded.push_back(stream.readUInt8());
        } catch (...) {
        }
        if (throwWhileLoading)
            throw std::runtime_error("load failed");
    }
    void getEditorSize(int32_t*, int32_t*) override {}
    void openEditor(void*) override {}
    void closeEditor() override {}
    const char* getVendorName() override { return "Vendor"; }
    const char* getProductName() override { return "Product"; }
    int32_t getVersion() override { return 1; }
    int32_t getUniqueId() override { return 1; }
    const char* getOutputName() override { return "Out"; }
    int32_t getParameterCount() override { return 8; }
    float getParameter(int32_t index) override { return 0.25f * static_cast<float>(index); }
    void setParameter(int32_t index, float) override
    {
        ++parameterWrites;
        if (onSetParameter)
            onSetParameter(index);
    }
    void getParameterLabel(int32_t, char*, int32_t) override {}
    void getParameterDisplay(int32_t, char*, int32_t) override {}
    void getParameterName(int32_t, char*, int32_t) override {}
    void setProcessMode(int32_t mode) override { modes.push_back(mode); }
    int32_t getOutputCount(int32_t) override { return 2; }

    std::vector<std::string> midiLog;
    std::vector<unsigned char> toSave;
    std::vector<unsigned char> loaded;
    bool throwWhileSaving = false;
    bool throwWhileLoading = false;
    int parameterWrites = 0;
    void (*onSetParameter)(int32_t) = nullptr;
    std::vector<int32_t> modes;
};

}  // namespace bridge_test
