// The engine behind every shell test engine DLL: answers as the journal says
// and records each call the plug-in makes.
#pragma once

#include <windows.h>

#include <cstring>
#include <stdexcept>

#include "EngineLoader.h"
#include "IHostLink.h"
#include "SoftSynth.h"
#include "engines/EngineJournal.h"

namespace shell_test {

inline EngineJournal& journal()
{
    static EngineJournal standalone{};
    auto find = reinterpret_cast<EngineJournalProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA(nullptr), engineJournalExport)));
    EngineJournal* shared = find != nullptr ? find() : nullptr;
    return shared != nullptr ? *shared : standalone;
}

inline void record(EngineCall call, int32_t number = 0, float rate = 0.0f, void* pointer = nullptr)
{
    EngineJournal& j = journal();
    if (j.entryCount < static_cast<int32_t>(sizeof j.entries / sizeof j.entries[0]))
        j.entries[j.entryCount++] = JournalEntry{call, number, rate, pointer};
}

class RecordingEngine final : public SoftSynth {
public:
    void suspend() override
    {
        EngineJournal& j = journal();
        bool first = true;
        for (int32_t i = 0; i < j.entryCount; ++i)
            first = first && j.entries[i].call != CallSuspend;
        if (first) {
            j.callbackAtSuspend = callback;
            j.contextAtSuspend = context;
        }
        record(CallSuspend, 0, 0.0f, context);
    }
    void resume() override { record(CallResume); }
    void release() override
    {
        journal().callbackAtRelease = callback;
        journal().contextAtRelease = context;
        record(CallRelease);
        delete this;
        if (journal().throwInRelease)
            throw std::runtime_error("release");
    }
    void setSampleRate(float rate) override { record(CallSetSampleRate, 0, rate); }
    void setBlockSize(int32_t size) override { record(CallSetBlockSize, size); }
    void receiveMidi(const unsigned char*, int32_t) override {}
    void renderAdding(float**, int32_t) override {}
    void renderReplacing(float**, int32_t) override {}
    void saveState(Korvanta::OutputStream&) override {}
    void loadState(Korvanta::InputStream&) override {}
    void getEditorSize(int32_t* width, int32_t* height) override
    {
        record(CallGetEditorSize);
        if (journal().throwInGetEditorSize)
            throw std::runtime_error("editor size");
        if (journal().editorWritesSize) {
            *width = journal().editorWidth;
            *height = journal().editorHeight;
        }
    }
    void openEditor(void* parentWindow) override { record(CallOpenEditor, 0, 0.0f, parentWindow); }
    void closeEditor() override { record(CallCloseEditor); }
    const char* getVendorName() override { return "Shell Test Vendor"; }
    const char* getProductName() override { return "Shell Test Engine"; }
    int32_t getVersion() override { return 1; }
    int32_t getUniqueId() override
    {
        record(CallGetUniqueId);
        return journal().uniqueId;
    }
    const char* getOutputName() override { return "Out"; }
    int32_t getParameterCount() override
    {
        record(CallGetParameterCount);
        return journal().parameterCount;
    }
    float getParameter(int32_t) override { return 0.0f; }
    void setParameter(int32_t, float) override {}
    void getParameterLabel(int32_t, char* text, int32_t) override { text[0] = 0; }
    void getParameterDisplay(int32_t, char* text, int32_t) override { text[0] = 0; }
    void getParameterName(int32_t, char* text, int32_t) override { text[0] = 0; }
    void setProcessMode(int32_t) override {}
    int32_t getOutputCount(int32_t hint) override
    {
        record(CallGetOutputCount, hint);
        if (journal().throwInGetOutputCount)
            throw std::runtime_error("output count");
        return journal().outputCount;
    }
};

class RecordingHostLink final : public IHostLink {
public:
    void attachHost(IKorvantaHost* host) override { record(CallAttachHost, 0, 0.0f, host); }
    void detachHost() override { record(CallDetachHost); }
};

inline RecordingHostLink& hostLink()
{
    static RecordingHostLink link;
    return link;
}

// The plug-in factory: an engine and a host link, and the name it was given.
inline void pluginFactory(EngineLoader* loader)
{
    record(CallPluginFactory);
    EngineJournal& j = journal();
    j.factoryNameWasNull = loader->name == nullptr;
    if (loader->name != nullptr) {
        std::strncpy(j.factoryName, loader->name, sizeof j.factoryName - 1);
        j.factoryName[sizeof j.factoryName - 1] = 0;
    }
    loader->engine = new RecordingEngine;
    loader->hostLink = &hostLink();
}

inline SoftSynth* legacyFactory(int32_t flag, int32_t value)
{
    record(CallLegacyFactory, value);
    journal().legacyFlag = flag;
    journal().legacyValue = value;
    return new RecordingEngine;
}

}  // namespace shell_test

#define SHELL_ENGINE_EXPORT extern "C" __declspec(dllexport)
