#include "EngineInstance.h"

#include "ChildChannel.h"

namespace validator {

EngineInstance::EngineInstance(EngineModule& module, Factory factory) : hostServices(new FakeHostServices())
{
    if (factory == Factory::Preferred && module.createPlugin != nullptr) {
        EngineLoader record = {};
        record.createFlag = engineCreateFlag;
        record.createValue = engineCreateValue;
        lastCall("CreatePluginSoftSynth(loader)");
        module.createPlugin(&record);
        engine = record.engine;
        hostLink = record.hostLink;
    } else if (module.createLegacy != nullptr) {
        lastCall("CreateSoftSynth(0, 128)");
        engine = module.createLegacy(engineCreateFlag, engineCreateValue);
    }
    if (engine == nullptr) {
        return;
    }
    suspend();  // the plug-in's construction ends suspended, then attaches
    if (hostLink != nullptr) {
        lastCall("IHostLink::attachHost(host)");
        hostLink->attachHost(hostServices->host());
        attached = true;
    }
}

EngineInstance::~EngineInstance()
{
    detach();
    if (engine != nullptr) {
        releaseOnly();
    }
}

void EngineInstance::detach()
{
    if (attached) {
        lastCall("IHostLink::detachHost()");
        hostLink->detachHost();
        attached = false;
    }
}

void EngineInstance::releaseOnly()
{
    if (engine != nullptr) {
        lastCall("release()");
        SoftSynth* const released = engine;
        engine = nullptr;
        attached = false;
        released->release();
    }
}

void EngineInstance::start(float sampleRate, int32_t blockSize, int32_t processMode)
{
    hostServices->sampleRate = sampleRate;
    setSampleRate(sampleRate);
    setBlockSize(blockSize);
    resume();
    setProcessMode(processMode);
}

void EngineInstance::suspend()
{
    lastCall("suspend()");
    engine->suspend();
}

void EngineInstance::resume()
{
    lastCall("resume()");
    engine->resume();
}

void EngineInstance::setSampleRate(float rate)
{
    lastCall("setSampleRate(%g)", rate);
    engine->setSampleRate(rate);
}

void EngineInstance::setBlockSize(int32_t size)
{
    lastCall("setBlockSize(%d)", static_cast<int>(size));
    engine->setBlockSize(size);
}

void EngineInstance::setProcessMode(int32_t mode)
{
    lastCall("setProcessMode(%d)", static_cast<int>(mode));
    engine->setProcessMode(mode);
}

void EngineInstance::receiveMidi(const unsigned char* midi, int32_t deltaFrames)
{
    lastCall("receiveMidi({%02X %02X %02X %02X}, %d)", midi[0], midi[1], midi[2], midi[3],
             static_cast<int>(deltaFrames));
    engine->receiveMidi(midi, deltaFrames);
}

void EngineInstance::renderAdding(float** outputs, int32_t frames)
{
    lastCall("renderAdding(outputs, %d)", static_cast<int>(frames));
    engine->renderAdding(outputs, frames);
}

void EngineInstance::renderReplacing(float** outputs, int32_t frames)
{
    lastCall("renderReplacing(outputs, %d)", static_cast<int>(frames));
    engine->renderReplacing(outputs, frames);
}

void EngineInstance::saveState(Korvanta::OutputStream& stream)
{
    lastCall("saveState(stream)");
    engine->saveState(stream);
}

void EngineInstance::loadState(Korvanta::InputStream& stream)
{
    lastCall("loadState(stream)");
    engine->loadState(stream);
}

void EngineInstance::getEditorSize(int32_t* width, int32_t* height)
{
    lastCall("getEditorSize(&width, &height)");
    engine->getEditorSize(width, height);
}

void EngineInstance::openEditor(void* parent)
{
    lastCall("openEditor(%p)", parent);
    engine->openEditor(parent);
}

void EngineInstance::closeEditor()
{
    lastCall("closeEditor()");
    engine->closeEditor();
}

const char* EngineInstance::getVendorName()
{
    lastCall("getVendorName()");
    return engine->getVendorName();
}

const char* EngineInstance::getProductName()
{
    lastCall("getProductName()");
    return engine->getProductName();
}

int32_t EngineInstance::getVersion()
{
    lastCall("getVersion()");
    return engine->getVersion();
}

int32_t EngineInstance::getUniqueId()
{
    lastCall("getUniqueId()");
    return engine->getUniqueId();
}

const char* EngineInstance::getOutputName()
{
    lastCall("getOutputName()");
    return engine->getOutputName();
}

int32_t EngineInstance::getParameterCount()
{
    lastCall("getParameterCount()");
    return engine->getParameterCount();
}

float EngineInstance::getParameter(int32_t index)
{
    lastCall("getParameter(%d)", static_cast<int>(index));
    return engine->getParameter(index);
}

void EngineInstance::setParameter(int32_t index, float value)
{
    lastCall("setParameter(%d, %g)", static_cast<int>(index), value);
    engine->setParameter(index, value);
}

void EngineInstance::getParameterLabel(int32_t index, char* text, int32_t size)
{
    lastCall("getParameterLabel(%d, text, %d)", static_cast<int>(index), static_cast<int>(size));
    engine->getParameterLabel(index, text, size);
}

void EngineInstance::getParameterDisplay(int32_t index, char* text, int32_t size)
{
    lastCall("getParameterDisplay(%d, text, %d)", static_cast<int>(index), static_cast<int>(size));
    engine->getParameterDisplay(index, text, size);
}

void EngineInstance::getParameterName(int32_t index, char* text, int32_t size)
{
    lastCall("getParameterName(%d, text, %d)", static_cast<int>(index), static_cast<int>(size));
    engine->getParameterName(index, text, size);
}

int32_t EngineInstance::getOutputCount(int32_t hint)
{
    lastCall("getOutputCount(%d)", static_cast<int>(hint));
    return engine->getOutputCount(hint);
}

}  // namespace validator
