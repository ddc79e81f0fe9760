// An engine object made by the module's factory with the validator's host
// services attached. Every engine call goes through it, and it leaves a
// "last call" breadcrumb first, so that a crash in the child process names
// the call.
#pragma once

#include <memory>

#include "EngineModule.h"
#include "FakeHostServices.h"
#include "SoftSynth.h"

namespace validator {

class EngineInstance {
public:
    // How the object is made: the plug-in's way (the plug-in factory when it
    // exists), or explicitly through the older factory.
    enum class Factory { Preferred, Legacy };

    explicit EngineInstance(EngineModule& module, Factory factory = Factory::Preferred);
    ~EngineInstance();  // detachHost, then release: the plug-in's order
    EngineInstance(const EngineInstance&) = delete;
    EngineInstance& operator=(const EngineInstance&) = delete;

    bool created() const { return engine != nullptr; }
    SoftSynth* object() const { return engine; }
    IHostLink* link() const { return hostLink; }
    FakeHostServices& services() { return *hostServices; }

    // Prepares for rendering as a host does: rate, block size, process mode, resume.
    void start(float sampleRate, int32_t blockSize, int32_t processMode = SoftSynthModeRealtime);
    // Ends the object's life early with a plain release (no detach first).
    void releaseOnly();
    // Detaches the host link without releasing.
    void detach();

    void suspend();
    void resume();
    void setSampleRate(float rate);
    void setBlockSize(int32_t size);
    void setProcessMode(int32_t mode);
    void receiveMidi(const unsigned char* midi, int32_t deltaFrames);
    void renderAdding(float** outputs, int32_t frames);
    void renderReplacing(float** outputs, int32_t frames);
    void saveState(Korvanta::OutputStream& stream);
    void loadState(Korvanta::InputStream& stream);
    void getEditorSize(int32_t* width, int32_t* height);
    void openEditor(void* parent);
    void closeEditor();
    const char* getVendorName();
    const char* getProductName();
    int32_t getVersion();
    int32_t getUniqueId();
    const char* getOutputName();
    int32_t getParameterCount();
    float getParameter(int32_t index);
    void setParameter(int32_t index, float value);
    void getParameterLabel(int32_t index, char* text, int32_t size);
    void getParameterDisplay(int32_t index, char* text, int32_t size);
    void getParameterName(int32_t index, char* text, int32_t size);
    int32_t getOutputCount(int32_t hint);

private:
    std::unique_ptr<FakeHostServices> hostServices;
    SoftSynth* engine = nullptr;
    IHostLink* hostLink = nullptr;
    bool attached = false;
};

}  // namespace validator
