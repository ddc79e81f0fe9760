// Construction and destruction of the plug-in instance, the lifecycle calls
// it passes on to the engine, and the traced dispatcher.
#include "shell/Velmorant.h"

#include <new>

#include "bridge/ProgramNames.h"
#include "bridge/VelmorantEditor.h"
#include "remote/RemoteEngine.h"
#include "shell/EngineLoadTexts.h"
#include "shell/EngineLoading.h"
#include "trace/TracedDispatch.h"

namespace {

const int32_t engineOutputHint = 2;

}  // namespace

Velmorant::Velmorant(HostCallback hostCallback)
    : AudioEffectX(hostCallback, bridge::programCount, 0), parameterChangeDepth(), loader{}, engine(nullptr), chunks(),
      transport(), processLevel(), lastTracedOpcode(-1), repeatCount(0), host(*this), remoteEngine(nullptr)
{
    effect.processReplacingEntry = &Velmorant::replacingEntry;
    if (hostCallback == nullptr)
        return;

    loader.name = nullptr;
    loader.createFlag = engineCreateFlag;
    loader.createValue = engineCreateValue;
    remoteEngine = shell::loadEngine(loader);
    engine = loader.engine;

    // From here on the engine is foreign code: should it throw, the instance
    // gives the engine back and stays engine-less, so the entry answers null
    // instead of letting the exception reach the host. The engine is given
    // back only after the handler: the exception object may belong to the
    // engine module, which must still be loaded when it is destroyed.
    bool engineFailed = false;
    try {
        if (engine != nullptr) {
            effect.numInputs = 0;
            effect.numOutputs = engine->getOutputCount(engineOutputHint);
            effect.numParams = engine->getParameterCount();
            canProcessReplacing(true);
            hasVu(false);
            hasClip(false);
            programsAreChunks(true);
            isSynth(true);
            effect.uniqueID = engine->getUniqueId();
            setEditor(new (std::nothrow) bridge::VelmorantEditor(this, engine));
            engine->callback = &Velmorant::engineCallback;
            engine->context = this;
        }
        if (engine != nullptr)
            engine->suspend();
        if (loader.hostLink != nullptr)
            loader.hostLink->attachHost(this);
    } catch (...) {
        engineFailed = true;
    }
    if (engineFailed)
        abandonEngine();
}

Velmorant::~Velmorant()
{
    // The destructor runs inside the host's "effClose": nothing the engine
    // throws may end the host, and the module is freed even then.
    if (loader.hostLink != nullptr) {
        try {
            loader.hostLink->detachHost();
        } catch (...) {
        }
    }
    chunks.drop();
    releaseEngine();
    // The transport's listener array and the framework base (with the editor) follow
    // in the order of destruction.
}

void Velmorant::releaseEngine()
{
    remoteEngine = nullptr;
    if (engine != nullptr) {
        engine->callback = nullptr;
        engine->context = nullptr;
    }
    try {
        loader.unload();
    } catch (...) {
    }
    // A throwing release left the module loaded (the engine field is already
    // cleared); it is freed outside the handler, whose exception object may
    // live in that module.
    loader.unload();
}

void Velmorant::abandonEngine()
{
    // The link may be half attached; it is dropped without another call.
    loader.hostLink = nullptr;
    if (AEffEditor* const editorOfEngine = getEditor()) {
        setEditor(nullptr);
        delete editorOfEngine;
    }
    releaseEngine();
    engine = nullptr;
    EngineLoader::showLoadError(shell::factoryFailedFormat, shell::defaultEngineName);
}

intptr_t Velmorant::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    traceDispatcherCall(lastTracedOpcode, repeatCount, opcode, index, value, ptr, opt);
    // Failures reach the host as return values only: an exception out of an
    // operation (the engine's included) answers 0.
    try {
        // An engine in its own process does its main-thread chores when the
        // host idles: passing on what it did meanwhile, starting again after a stop.
        if (remoteEngine != nullptr && (opcode == effIdle || opcode == effEditIdle))
            remoteEngine->idle();
        return AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
        return 0;
    }
}

void Velmorant::suspend()
{
    if (engine != nullptr)
        engine->suspend();
}

void Velmorant::resume()
{
    processLevel.reset();
    if (engine != nullptr) {
        engine->resume();
        needIdle();
        wantEvents(1);
    }
}

void Velmorant::setSampleRate(float rate)
{
    AudioEffectX::setSampleRate(rate);
    if (engine != nullptr)
        engine->setSampleRate(rate);
}

void Velmorant::setBlockSize(int32_t size)
{
    AudioEffectX::setBlockSize(size);
    if (engine != nullptr)
        engine->setBlockSize(size);
}
