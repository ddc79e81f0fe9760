// A staged plug-in with the recording engine beside it, a recording host and
// a debug-output capture: the bridge driven from outside, as a host drives it.
#pragma once

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "../support/DebugOutputCapture.h"
#include "../support/PluginStage.h"
#include "../support/RecordingHost.h"
#include "BridgeProbe.h"
#include "MidiContext.h"
#include "MidiTransportNotifier.h"

namespace bridge_test {

using velmorant_test::DebugOutputCapture;
using velmorant_test::PluginStage;
using velmorant_test::RecordingHost;
using velmorant_test::StagedEffect;

class BridgeFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(stage.staged());
        // Loading the engine first gives the test its probe before the plug-in
        // reads the steering at construction; the plug-in's load shares the module.
        engineModule = LoadLibraryA(stage.enginePath().c_str());
        ASSERT_NE(engineModule, nullptr);
        auto get =
            reinterpret_cast<BridgeProbeProc>(reinterpret_cast<void*>(GetProcAddress(engineModule, "GetBridgeProbe")));
        ASSERT_NE(get, nullptr);
        probe = get(1);
    }

    void TearDown() override
    {
        instance.reset();
        if (engineModule != nullptr)
            FreeLibrary(engineModule);
    }

    // Instantiates the plug-in with the current steering; clears what the
    // construction recorded so that tests see only their own calls.
    void open()
    {
        instance.reset();
        EffectRecord* record = stage.instantiate(RecordingHost::callback());
        ASSERT_NE(record, nullptr);
        instance.emplace(record);
        probe->callCount = 0;
        host.clear();
        capture.clear();
    }

    std::vector<ProbeCall> calls(Call kind) const
    {
        std::vector<ProbeCall> found;
        for (int32_t i = 0; i < probe->callCount && i < probeCallRoom; ++i)
            if (probe->calls[i].call == kind)
                found.push_back(probe->calls[i]);
        return found;
    }

    // Captured trace texts that contain `part`.
    std::vector<std::string> traced(const std::string& part) const
    {
        std::vector<std::string> found;
        for (const std::string& text : capture.texts())
            if (text.find(part) != std::string::npos)
                found.push_back(text);
        return found;
    }

    StagedEffect& effect() { return *instance; }

    template <typename Interface>
    Interface* service(const char* name)
    {
        return probe->host != nullptr ? static_cast<Interface*>(probe->host->get_interface(name)) : nullptr;
    }

    Korvanta::MidiContext* context() { return service<Korvanta::MidiContext>("Korvanta::MidiContext"); }
    Korvanta::MidiTransportNotifier* notifier()
    {
        return service<Korvanta::MidiTransportNotifier>("Korvanta::MidiTransportNotifier");
    }

    // One processing block: the events, then a replacing render of `frames`.
    void block(int32_t frames = 16)
    {
        std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
        float* outputs[2] = {left.data(), right.data()};
        effect().processReplacing(nullptr, outputs, frames);
    }

    PluginStage stage{"Velmorant.dll", "BridgeTestEngine.dll"};
    RecordingHost host;
    DebugOutputCapture capture;
    std::optional<StagedEffect> instance;
    HMODULE engineModule = nullptr;
    BridgeProbe* probe = nullptr;
};

// A host event list with room for any number of events.
class EventList {
public:
    void midi(uint8_t status, uint8_t data1, uint8_t data2, uint8_t data3, int32_t deltaFrames)
    {
        VstMidiEvent event;
        std::memset(&event, 0, sizeof event);
        event.type = kVstMidiType;
        event.byteSize = 24;
        event.deltaFrames = deltaFrames;
        event.midiData[0] = static_cast<char>(status);
        event.midiData[1] = static_cast<char>(data1);
        event.midiData[2] = static_cast<char>(data2);
        event.midiData[3] = static_cast<char>(data3);
        add(&event, sizeof event);
    }

    void sysex(int32_t deltaFrames)
    {
        VstMidiSysexEvent event;
        std::memset(&event, 0, sizeof event);
        event.type = kVstSysExType;
        event.byteSize = static_cast<int32_t>(sizeof event - 8);
        event.deltaFrames = deltaFrames;
        add(&event, sizeof event);
    }

    void null() { storage.emplace_back(); }

    // Valid until the next change.
    VstEvents* list()
    {
        pointers.assign(sizeof(VstEvents) / sizeof(VstEvent*) + storage.size(), nullptr);
        auto* events = reinterpret_cast<VstEvents*>(pointers.data());
        events->numEvents = static_cast<int32_t>(storage.size());
        for (size_t i = 0; i < storage.size(); ++i)
            events->events[i] = storage[i].empty() ? nullptr : reinterpret_cast<VstEvent*>(storage[i].data());
        return events;
    }

private:
    void add(const void* event, size_t size)
    {
        std::vector<unsigned char> bytes(size);
        std::memcpy(bytes.data(), event, size);
        storage.push_back(std::move(bytes));
    }

    std::vector<std::vector<unsigned char>> storage;
    std::vector<VstEvent*> pointers;
};

// A transport listener in the test, recording what it hears as text.
class RecordingListener : public Korvanta::MidiTransportListener {
public:
    explicit RecordingListener(std::vector<std::string>& log, const char* name) : log(log), name(name) {}

    void onTransportStart(int32_t tick) override { log.push_back(name + " start " + std::to_string(tick)); }
    void onTransportStop(int32_t tick) override { log.push_back(name + " stop " + std::to_string(tick)); }
    void onCycle(int32_t startTick, int32_t endTick) override
    {
        log.push_back(name + " cycle " + std::to_string(startTick) + " " + std::to_string(endTick));
    }

private:
    std::vector<std::string>& log;
    std::string name;
};

}  // namespace bridge_test
