// The plug-in as a DAW's Wine VST server drives it (LMMS's, for one): the
// set-up calls and the names on the server's interface thread; then a
// processing thread that renders the blocks the DAW asks for, while the
// interface thread sends effEditIdle every few milliseconds, the program and
// chunk calls of the project, the parameter names and a suspend and resume
// for the sample rate. The calls come in the server's order.
//
// Every traced call raises the debug-print exception, and the interface
// thread's calls do so while the processing thread lives. Under qemu's
// emulation of 32-bit Wine that ends the process, as it ends the server
// (README), so these cases are left out there (tests/emulated.filter). Natively
// the session must render, restore the project's chunk, and raise no
// exception but debug prints: a caught fault (an address probe of a bad
// pointer, say) would end an emulated server as surely.
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "../support/PluginStage.h"

namespace {

using velmorant_test::PluginStage;

constexpr int32_t blockFrames = 256;
constexpr float sampleRate = 44100.0f;
constexpr DWORD debugPrintException = 0x40010006;
// A C++ throw on x86_64, where GCC unwinds through the system's exception
// dispatch (the registry's missing engine values throw and are caught while
// loading). On i686 GCC unwinds by itself and raises nothing.
constexpr DWORD cppThrowException = 0x20474343;
// Two seconds of a phrase: a note every quarter second at 120 BPM.
constexpr int32_t renderBlocks = 345;
constexpr int32_t blocksPerNote = 43;

// First-chance exceptions of the whole process, counted by a vectored handler
// that only looks.
struct ExceptionCount {
    std::atomic<bool> processingLives{false};
    std::atomic<int> debugPrints{0};
    std::atomic<int> debugPrintsWhileProcessingLives{0};
    std::atomic<int> others{0};
    std::atomic<DWORD> firstOther{0};
};

ExceptionCount& exceptions()
{
    static ExceptionCount count;
    return count;
}

LONG CALLBACK countException(EXCEPTION_POINTERS* info)
{
    ExceptionCount& count = exceptions();
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    if (code == debugPrintException) {
        ++count.debugPrints;
        if (count.processingLives)
            ++count.debugPrintsWhileProcessingLives;
    } else if (code != cppThrowException && count.others++ == 0) {
        count.firstOther = code;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

class ExceptionWatch {
public:
    ExceptionWatch()
    {
        ExceptionCount& count = exceptions();
        count.processingLives = false;
        count.debugPrints = 0;
        count.debugPrintsWhileProcessingLives = 0;
        count.others = 0;
        count.firstOther = 0;
        handler = AddVectoredExceptionHandler(1, &countException);
    }
    ~ExceptionWatch()
    {
        if (handler != nullptr)
            RemoveVectoredExceptionHandler(handler);
    }
    ExceptionWatch(const ExceptionWatch&) = delete;
    ExceptionWatch& operator=(const ExceptionWatch&) = delete;

    void* handler;
};

// The server's answers to the plug-in's requests, the way LMMS's server gives
// them; safe to call from both threads. The time record belongs to the
// processing thread, the only one that asks for it.
VstTimeInfo blockTime;

intptr_t __cdecl serverCallback(EffectRecord*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    switch (opcode) {
    case audioMasterVersion:
        return 2300;
    case audioMasterGetTime:
        return reinterpret_cast<intptr_t>(&blockTime);
    case audioMasterGetSampleRate:
        return static_cast<intptr_t>(sampleRate);
    case audioMasterGetBlockSize:
        return blockFrames;
    case audioMasterIOChanged:
        return 1;
    default:
        return 0;
    }
}

intptr_t dispatch(EffectRecord* effect, int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                  float opt = 0.0f)
{
    return effect->dispatcherEntry(effect, opcode, index, value, ptr, opt);
}

// The processing thread: alive from the end of the set-up on, it renders when
// the interface thread asks, a block at a time with the notes of the phrase.
class ProcessingThread {
public:
    explicit ProcessingThread(EffectRecord* effect) : effect(effect)
    {
        for (auto& channel : outputs)
            channel.assign(blockFrames, 0.0f);
        renderRequest = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        thread = CreateThread(nullptr, 0, &ProcessingThread::run, this, 0, nullptr);
        exceptions().processingLives = thread != nullptr;
    }

    ~ProcessingThread() { join(); }

    ProcessingThread(const ProcessingThread&) = delete;
    ProcessingThread& operator=(const ProcessingThread&) = delete;

    bool started() const { return thread != nullptr; }
    void render() { SetEvent(renderRequest); }
    bool rendering() const { return blocksDone < renderBlocks && !quit; }

    void join()
    {
        quit = true;
        if (thread != nullptr) {
            SetEvent(renderRequest);
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
            thread = nullptr;
        }
        exceptions().processingLives = false;
        if (renderRequest != nullptr)
            CloseHandle(renderRequest);
        renderRequest = nullptr;
    }

    std::atomic<int32_t> blocksDone{0};
    // The interface thread's idle ticks during the render. Halfway through
    // the phrase the processing thread waits for one more (ten seconds at
    // most), so that the two threads' calls always interleave.
    std::atomic<int> interfaceTicks{0};
    bool interleaved = false;
    float peak = 0.0f;
    bool finite = true;

private:
    static DWORD WINAPI run(void* self)
    {
        static_cast<ProcessingThread*>(self)->loop();
        return 0;
    }

    void loop()
    {
        WaitForSingleObject(renderRequest, INFINITE);
        float* channels[2] = {outputs[0].data(), outputs[1].data()};
        float* noInput[2] = {silence, silence};
        for (int32_t block = 0; block < renderBlocks && !quit; ++block) {
            std::memset(&blockTime, 0, sizeof blockTime);
            blockTime.samplePos = static_cast<double>(block) * blockFrames;
            blockTime.sampleRate = sampleRate;
            blockTime.tempo = 120.0;
            blockTime.ppqPos = blockTime.samplePos / sampleRate * 2.0;
            blockTime.timeSigNumerator = 4;
            blockTime.timeSigDenominator = 4;
            blockTime.flags = kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid | kVstBarsValid |
                              kVstTransportPlaying | (block == 0 ? kVstTransportChanged : 0);
            if (block == renderBlocks / 2)
                awaitInterfaceTick();
            sendNotes(block);
            effect->processReplacingEntry(effect, noInput, channels, blockFrames);
            for (const auto& channel : outputs)
                for (float sample : channel) {
                    finite = finite && std::isfinite(sample);
                    peak = std::fmax(peak, std::fabs(sample));
                }
            ++blocksDone;
        }
    }

    void awaitInterfaceTick()
    {
        const int seen = interfaceTicks;
        for (int waited = 0; waited < 10000 && !quit; ++waited) {
            if (interfaceTicks != seen) {
                interleaved = true;
                return;
            }
            Sleep(1);
        }
    }

    // A note off and the next note on at the start of every note's block.
    void sendNotes(int32_t block)
    {
        if (block % blocksPerNote != 0)
            return;
        const char note = static_cast<char>(60 + (block / blocksPerNote) % 8 * 2);
        int32_t count = 0;
        if (block > 0)
            events[count++] = midi(0x80, static_cast<char>(note - 2), 0);
        events[count++] = midi(0x90, note, 100);
        list.numEvents = count;
        list.reserved = 0;
        for (int32_t i = 0; i < count; ++i)
            list.events[i] = reinterpret_cast<VstEvent*>(&events[i]);
        dispatch(effect, effProcessEvents, 0, 0, &list);
    }

    static VstMidiEvent midi(int status, char key, char velocity)
    {
        VstMidiEvent event = {};
        event.type = kVstMidiType;
        event.byteSize = sizeof(VstMidiEvent);
        event.midiData[0] = static_cast<char>(status);
        event.midiData[1] = key;
        event.midiData[2] = velocity;
        return event;
    }

    EffectRecord* effect;
    HANDLE renderRequest = nullptr;
    HANDLE thread = nullptr;
    std::atomic<bool> quit{false};
    std::vector<float> outputs[2];
    float silence[blockFrames] = {};
    VstMidiEvent events[2] = {};
    VstEvents list = {};
};

// The server's own editor window; null where no window can be made.
class EditorWindow {
public:
    EditorWindow()
    {
        window = CreateWindowExA(WS_EX_APPWINDOW, "STATIC", "server", WS_OVERLAPPEDWINDOW & ~WS_MAXIMIZEBOX, 0, 0, 10,
                                 10, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~EditorWindow()
    {
        if (window != nullptr && IsWindow(window))
            DestroyWindow(window);
    }
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;

    HWND window;
};

// One tick of the server's interface thread: its window messages, then
// effEditIdle (the server's 50 ms timer, here without the wait).
void idleTick(EffectRecord* effect, int& ticks)
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    dispatch(effect, effEditIdle);
    ++ticks;
}

// The state of an instance whose parameters were all moved a little (the
// sound stays audible), and the values it reads back: the project's chunk.
struct ProjectState {
    std::vector<uint8_t> chunk;
    std::vector<float> parameters;
};

ProjectState saveMovedState(const PluginStage& stage)
{
    ProjectState state;
    EffectRecord* effect = stage.instantiate(&serverCallback);
    if (effect == nullptr)
        return state;
    dispatch(effect, effOpen);
    for (int32_t i = 0; i < effect->numParams; ++i) {
        const float value = effect->getParameterEntry(effect, i);
        effect->setParameterEntry(effect, i, value < 0.5f ? value + 0.15f : value - 0.15f);
        state.parameters.push_back(effect->getParameterEntry(effect, i));
    }
    void* data = nullptr;
    const intptr_t size = dispatch(effect, effGetChunk, 0, 0, &data);
    if (size > 0 && data != nullptr)
        state.chunk.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    dispatch(effect, effClose);
    return state;
}

void runServerSession(bool withEditor)
{
    PluginStage stage("Velmorant.dll", "VelmorantEngine.dll");
    ASSERT_TRUE(stage.loaded());
    const ProjectState project = saveMovedState(stage);
    ASSERT_FALSE(project.chunk.empty());

    std::unique_ptr<EditorWindow> window;
    if (withEditor) {
        window.reset(new EditorWindow);
        if (window->window == nullptr)
            GTEST_SKIP() << "no window station to create windows in";
    }
    ExceptionWatch watch;
    ASSERT_NE(watch.handler, nullptr);

    // Loading and set-up, on the interface thread.
    EffectRecord* effect = stage.instantiate(&serverCallback);
    ASSERT_NE(effect, nullptr);
    dispatch(effect, effOpen);
    dispatch(effect, effSetBlockSize, 0, blockFrames);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effect, effMainsChanged, 0, 1);
    if (withEditor) {
        ASSERT_NE(effect->flags & effFlagsHasEditor, 0);
        dispatch(effect, effEditOpen, 0, 0, window->window);
        ERect* rect = nullptr;
        dispatch(effect, effEditGetRect, 0, 0, &rect);
        ASSERT_NE(rect, nullptr);
        EXPECT_GT(rect->right - rect->left, 0);
        EXPECT_GT(rect->bottom - rect->top, 0);
        SetWindowPos(window->window, nullptr, 0, 0, rect->right - rect->left, rect->bottom - rect->top,
                     SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOZORDER);
        dispatch(effect, effEditTop);
    }
    char name[kVstEffectNameSize] = {};
    char vendor[kVstVendorStringSize] = {};
    char product[kVstProductStringSize] = {};
    dispatch(effect, effGetEffectName, 0, 0, name);
    dispatch(effect, effGetVendorVersion);
    dispatch(effect, effGetVendorString, 0, 0, vendor);
    dispatch(effect, effGetProductString, 0, 0, product);
    EXPECT_NE(name[0], '\0');
    EXPECT_STREQ(name, product);
    const int32_t parameterCount = effect->numParams;
    ASSERT_EQ(static_cast<size_t>(parameterCount), project.parameters.size());

    // From here on the processing thread lives.
    ProcessingThread processing(effect);
    ASSERT_TRUE(processing.started());
    int ticks = 0;
    idleTick(effect, ticks);
    dispatch(effect, effSetProgram, 0, 0);
    idleTick(effect, ticks);
    char programName[kVstProgramNameSize] = {};
    dispatch(effect, effGetProgramName, 0, 0, programName);
    EXPECT_EQ(dispatch(effect, effGetProgram), 0);
    idleTick(effect, ticks);
    std::vector<uint8_t> chunk = project.chunk;
    EXPECT_EQ(dispatch(effect, effSetChunk, 0, static_cast<intptr_t>(chunk.size()), chunk.data()), 1);
    for (int32_t i = 0; i < parameterCount; ++i) {
        char parameterName[kVstParameterTextSize] = {};
        dispatch(effect, effGetParamName, i, 0, parameterName);
        idleTick(effect, ticks);
    }
    // The DAW tells the sample rate again: a suspend, the rate, a resume.
    dispatch(effect, effMainsChanged, 0, 0);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effect, effMainsChanged, 0, 1);

    // Playback: the interface thread idles the editor and asks for the
    // program, as the server does once a second, while blocks are rendered.
    processing.render();
    int ticksWhileRendering = 0;
    while (processing.rendering()) {
        idleTick(effect, ticksWhileRendering);
        processing.interfaceTicks = ticksWhileRendering;
        if (ticksWhileRendering % 16 == 0) {
            EXPECT_EQ(dispatch(effect, effGetProgram), 0);
        }
        Sleep(1);
    }
    EXPECT_EQ(processing.blocksDone.load(), renderBlocks);

    // A project save after playback, while the processing thread still waits.
    void* saved = nullptr;
    const intptr_t savedSize = dispatch(effect, effGetChunk, 0, 0, &saved);
    ASSERT_GT(savedSize, 0);
    EXPECT_EQ(std::vector<uint8_t>(static_cast<const uint8_t*>(saved), static_cast<const uint8_t*>(saved) + savedSize),
              project.chunk)
        << "the project's chunk was not restored";
    for (int32_t i = 0; i < parameterCount; ++i)
        EXPECT_EQ(effect->getParameterEntry(effect, i), project.parameters[static_cast<size_t>(i)])
            << "parameter " << i;

    // Closing: the server's processing thread ends first.
    processing.join();
    if (withEditor)
        dispatch(effect, effEditClose);
    dispatch(effect, effMainsChanged, 0, 0);
    EXPECT_EQ(dispatch(effect, effClose), 1);

    EXPECT_TRUE(processing.interleaved) << "no effEditIdle came in the middle of the render";
    EXPECT_TRUE(processing.finite);
    EXPECT_GE(processing.peak, 0.01f) << "the phrase rendered no sound";
    EXPECT_LE(processing.peak, 1.0f);
    const ExceptionCount& count = exceptions();
    EXPECT_GT(count.debugPrintsWhileProcessingLives.load(), 0)
        << "no traced call came while the processing thread lived: the session misses its point";
    EXPECT_EQ(count.others.load(), 0) << "first other exception: " << std::hex << count.firstOther.load();
}

TEST(ServerOrder, HeadlessSessionRendersAndRestoresTheProjectChunkWhileTwoThreadsCall)
{
    runServerSession(false);
}

TEST(ServerOrder, WithItsOwnEditorWindowTheSessionRunsWhileTheInterfaceThreadIdlesTheEditor)
{
    runServerSession(true);
}

}  // namespace
