// Parameter values and texts, and parameter changes reported by the engine.
#include <cstring>

#include <windows.h>

#include "shell/Velmorant.h"

namespace {

// Size of the parameter text buffers handed to the engine: 8 characters and
// the terminator.
constexpr int32_t parameterTextSize = 9;

// Keeps parameterChangeDepth raised while a host write is inside the engine,
// also if the engine unwinds out of it.
class HostWriteInProgress {
public:
    explicit HostWriteInProgress(volatile long& depth) : depth(depth) { InterlockedIncrement(&depth); }
    ~HostWriteInProgress() { InterlockedDecrement(&depth); }
    HostWriteInProgress(const HostWriteInProgress&) = delete;
    HostWriteInProgress& operator=(const HostWriteInProgress&) = delete;

private:
    volatile long& depth;
};

}  // namespace

// May run on any host thread, also during processing; the raised depth marks
// engine reports made meanwhile as echoes of this write.
void Velmorant::setParameter(int32_t index, float value)
{
    HostWriteInProgress write(parameterChangeDepth);
    if (engine != nullptr)
        engine->setParameter(index, value);
}

float Velmorant::getParameter(int32_t index)
{
    return engine != nullptr ? engine->getParameter(index) : 0.0f;
}

namespace {

// An engine that fills all 9 bytes leaves the host a text without an end:
// the last byte becomes the terminator. A text that ends earlier is left
// exactly as the engine wrote it.
void endInsideBuffer(char* text)
{
    if (std::memchr(text, '\0', parameterTextSize) == nullptr)
        text[parameterTextSize - 1] = '\0';
}

}  // namespace

// The three text requests hand the host's buffer to the engine as it is (not
// cleared): the engine writes at most 9 bytes. A null buffer is not passed on.
void Velmorant::getParamLabel(int32_t index, char* text)
{
    if (engine != nullptr && text != nullptr) {
        engine->getParameterLabel(index, text, parameterTextSize);
        endInsideBuffer(text);
    }
}

void Velmorant::getParamDisplay(int32_t index, char* text)
{
    if (engine != nullptr && text != nullptr) {
        engine->getParameterDisplay(index, text, parameterTextSize);
        endInsideBuffer(text);
    }
}

void Velmorant::getParamName(int32_t index, char* text)
{
    if (engine != nullptr && text != nullptr) {
        engine->getParameterName(index, text, parameterTextSize);
        endInsideBuffer(text);
    }
}

// The engine's report that parameter `index` changed (request 1). Outside a
// host write the engine's current value is applied and automated, so the host
// records what the user did in the engine's own interface; during a host write
// the report is that write's echo and is dropped.
void __cdecl Velmorant::engineCallback(int32_t index, int32_t request, void* context)
{
    if (request != SoftSynthParameterChanged || context == nullptr)
        return;
    Velmorant* self = static_cast<Velmorant*>(context);
    if (self->parameterChangeDepth != 0 || self->engine == nullptr)
        return;
    const float value = self->engine->getParameter(index);
    self->setParameterAutomated(index, value);
}
