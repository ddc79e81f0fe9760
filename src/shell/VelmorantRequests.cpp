// The host's requests about parameters, programs, names, capabilities and
// state chunks, forwarded to the engine through the bridge's parts.
#include "TextCopy.h"
#include "bridge/Capabilities.h"
#include "bridge/EngineTexts.h"
#include "bridge/ProgramNames.h"
#include "shell/Velmorant.h"
#include "trace/TraceMessage.h"

// May run on any host thread, also during processing; the raised depth marks
// engine reports made meanwhile as echoes of this write.
void Velmorant::setParameter(int32_t index, float value)
{
    bridge::ParameterEchoGuard::HostWrite write(parameterChangeDepth);
    if (engine != nullptr)
        engine->setParameter(index, value);
}

float Velmorant::getParameter(int32_t index)
{
    return engine != nullptr ? engine->getParameter(index) : 0.0f;
}

// The three text requests hand the host's buffer to the engine as it is (not
// cleared): the engine writes at most 9 bytes. A null buffer is not passed on.
void Velmorant::getParamLabel(int32_t index, char* text)
{
    if (engine != nullptr && text != nullptr) {
        engine->getParameterLabel(index, text, bridge::parameterTextSize);
        bridge::endParameterText(text);
    }
}

void Velmorant::getParamDisplay(int32_t index, char* text)
{
    if (engine != nullptr && text != nullptr) {
        engine->getParameterDisplay(index, text, bridge::parameterTextSize);
        bridge::endParameterText(text);
    }
}

void Velmorant::getParamName(int32_t index, char* text)
{
    if (engine != nullptr && text != nullptr) {
        engine->getParameterName(index, text, bridge::parameterTextSize);
        bridge::endParameterText(text);
    }
}

// The engine's report that parameter `index` changed (request 1): outside a
// host write the engine's value is applied and automated, so the host records
// what the user did in the engine's own interface.
void __cdecl Velmorant::engineCallback(int32_t index, int32_t request, void* context)
{
    if (context == nullptr)
        return;
    Velmorant* self = static_cast<Velmorant*>(context);
    self->parameterChangeDepth.engineReported(self->engine, self->host, index, request);
}

// The engine keeps its whole state in the chunk, so it is not told of program changes.
void Velmorant::setProgram(int32_t program)
{
    curProgram = program;
    // Trace text kept on purpose: debug-output readers match it.
    traceMessage("setProgram: %d\n", static_cast<int>(program));
}

void Velmorant::getProgramName(char* name)
{
    getProgramNameIndexed(0, getProgram(), name);
}

bool Velmorant::getProgramNameIndexed(int32_t /*category*/, int32_t index, char* text)
{
    return bridge::writeProgramName(index, text);
}

// The plug-in offers no MIDI program names: the records stay as the host gave them.
int32_t Velmorant::getMidiProgramName(int32_t /*channel*/, MidiProgramName* /*midiProgramName*/)
{
    return 0;
}

int32_t Velmorant::getCurrentMidiProgram(int32_t /*channel*/, MidiProgramName* /*currentProgram*/)
{
    return -1;
}

int32_t Velmorant::getMidiProgramCategory(int32_t /*channel*/, MidiProgramCategory* /*category*/)
{
    return 0;
}

bool Velmorant::hasMidiProgramsChanged(int32_t /*channel*/)
{
    return false;
}

bool Velmorant::getMidiKeyName(int32_t /*channel*/, MidiKeyName* /*keyName*/)
{
    return false;
}

// The effect name is the engine's product name, as is the product string.
bool Velmorant::getEffectName(char* name)
{
    Korvanta::copyText(name, bridge::effectNameSize, engine != nullptr ? engine->getProductName() : nullptr);
    return true;
}

bool Velmorant::getVendorString(char* text)
{
    Korvanta::copyText(text, bridge::vendorStringSize, engine != nullptr ? engine->getVendorName() : nullptr);
    return true;
}

bool Velmorant::getProductString(char* text)
{
    Korvanta::copyText(text, bridge::productStringSize, engine != nullptr ? engine->getProductName() : nullptr);
    return true;
}

int32_t Velmorant::getVendorVersion()
{
    return engine != nullptr ? engine->getVersion() : 0;
}

bool Velmorant::getOutputProperties(int32_t index, VstPinProperties* properties)
{
    if (index < 0 || index >= bridge::outputPinCount || properties == nullptr)
        return false;
    return bridge::describeOutputPin(index, engine != nullptr ? engine->getOutputName() : nullptr, properties);
}

int32_t Velmorant::canDo(char* text)
{
    return bridge::answerCanDo(text);
}

// Listed as a capability, yet bypass is not carried out: the engine has no
// bypass of its own, so the request is refused.
bool Velmorant::setBypass(bool /*onOff*/)
{
    return false;
}

int32_t Velmorant::idle()
{
    return 1;
}

int32_t Velmorant::getChunk(void** data, bool /*isPreset*/)
{
    return chunks.save(engine, data);
}

int32_t Velmorant::setChunk(void* data, int32_t byteSize, bool /*isPreset*/)
{
    return chunks.restore(engine, data, byteSize);
}
