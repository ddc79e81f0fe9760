#include "HostileHost.h"

#include <atomic>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <limits>

#include "../support/Emulation.h"

namespace hostile_test {

namespace {

// What the crash and hang reporters print: plain data, readable from an
// exception handler or another thread without locks or allocation.
struct Progress {
    std::atomic<int> inCall{0};
    std::atomic<unsigned long long> callStarted{0};
    std::atomic<long> hardwareExceptions{0};
    unsigned long long seed = 0;
    long long call = 0;
    char description[512] = {};
};

Progress progress;
unsigned hangMilliseconds = 0;

bool isHardwareException(DWORD code)
{
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_IN_PAGE_ERROR:
        return true;
    default:
        return false;
    }
}

void printProgress(const char* what, DWORD code, const void* address)
{
    std::fprintf(stderr, "hostile host: %s 0x%08lx at %p in seed %llu, call %lld: %s\n", what,
                 static_cast<unsigned long>(code), address, progress.seed, progress.call, progress.description);
    std::fflush(stderr);
}

LONG CALLBACK noteHardwareException(EXCEPTION_POINTERS* pointers)
{
    const DWORD code = pointers->ExceptionRecord->ExceptionCode;
    if (progress.inCall.load() != 0 && isHardwareException(code)) {
        ++progress.hardwareExceptions;
        printProgress("exception", code, pointers->ExceptionRecord->ExceptionAddress);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI endOnUnhandledException(EXCEPTION_POINTERS* pointers)
{
    printProgress("unhandled exception", pointers->ExceptionRecord->ExceptionCode,
                  pointers->ExceptionRecord->ExceptionAddress);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

DWORD WINAPI watchForHangs(void*)
{
    for (;;) {
        Sleep(250);
        if (progress.inCall.load() != 0 && GetTickCount64() - progress.callStarted.load() > hangMilliseconds) {
            printProgress("hang: no return within the limit,", 0, nullptr);
            TerminateProcess(GetCurrentProcess(), 4);
        }
    }
}

HostileHost* currentHost = nullptr;

size_t fitText(char* destination, size_t room, const char* text)
{
    const size_t length = std::strlen(text) < room - 1 ? std::strlen(text) : room - 1;
    std::memcpy(destination, text, length);
    destination[length] = '\0';
    return length;
}

bool finite(float sample)
{
    return std::isfinite(sample);
}

const int32_t kTimeFlags[] = {kVstTransportChanged,   kVstTransportPlaying, kVstTransportCycleActive,
                              kVstTransportRecording, kVstNanosValid,       kVstPpqPosValid,
                              kVstTempoValid,         kVstBarsValid,        kVstCyclePosValid,
                              kVstTimeSigValid,       kVstSmpteValid,       kVstClockValid};

const char* const kCapabilities[] = {"receiveVstEvents",
                                     "receiveVstMidiEvent",
                                     "sendVstEvents",
                                     "sendVstMidiEvent",
                                     "bypass",
                                     "ReceiveVstEvents",
                                     "receiveVstEvents ",
                                     "sendVstTimeInfo",
                                     "",
                                     "offline",
                                     "midiProgramNames",
                                     "receiveVstTimeInfo"};

}  // namespace

struct HostileCallback {
    static intptr_t __cdecl dispatch(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                     float opt)
    {
        if (currentHost == nullptr)
            return opcode == audioMasterVersion ? 2400 : 0;
        return currentHost->answer(effect, opcode, index, value, ptr, opt);
    }
};

void installCrashReporter(unsigned hangSeconds)
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    hangMilliseconds = hangSeconds * 1000u;
    AddVectoredExceptionHandler(1, &noteHardwareException);
    SetUnhandledExceptionFilter(&endOnUnhandledException);
    // Under emulated 32-bit Wine a thread alive while another raises an
    // exception (every trace line raises one) ends the whole process; there
    // the test runner's or scripts/fuzz's time limit stands in for the
    // watchdog.
    if (!velmorant_test::emulated()) {
        if (HANDLE watchdog = CreateThread(nullptr, 0, &watchForHangs, nullptr, 0, nullptr))
            CloseHandle(watchdog);
    }
}

HostileHost::HostileHost(const HostileOptions& options)
    : options(options), random(options.seed), answers(options.seed ^ 0x5EEDFACE0DDBA11ull)
{
    currentHost = this;
}

HostileHost::~HostileHost()
{
    if (effect != nullptr)
        close();
    dropHostWindow();
    if (currentHost == this)
        currentHost = nullptr;
}

std::string HostileHost::report() const
{
    if (fault.empty())
        return "seed " + std::to_string(options.seed) + ": no fault in " + std::to_string(callsMade) + " calls";
    return "seed " + std::to_string(options.seed) + ", call " + std::to_string(failedCall) + " (" + failedDescription +
           "): " + fault;
}

bool HostileHost::open(VstPluginMainProc entry)
{
    describe("VSTPluginMain");
    if (entry == nullptr) {
        fail("no entry point");
        return false;
    }
    EffectRecord* made = nullptr;
    into([&] { made = entry(&HostileCallback::dispatch); });
    if (made == nullptr) {
        fail("the entry answered null");
        return false;
    }
    if (made->magic != kEffectMagic || made->dispatcherEntry == nullptr) {
        fail("the entry answered a record without the magic or a dispatcher");
        return false;
    }
    this->entry = entry;
    effect = made;
    // The host's own field: the plug-in must leave it as the host set it.
    effect->user = reinterpret_cast<void*>(static_cast<intptr_t>(0x5A5A));
    std::memcpy(&recordAtOpen, effect, sizeof recordAtOpen);
    return fault.empty();
}

bool HostileHost::close()
{
    if (effect == nullptr)
        return false;
    describe("dispatcher(effClose)");
    intptr_t answered = 0;
    // The record dies with the instance: forget it before the call, so that
    // the check after it does not read freed memory.
    EffectRecord* closing = effect;
    effect = nullptr;
    into([&] { answered = closing->dispatcherEntry(closing, effClose, 0, 0, nullptr, 0.0f); });
    if (answered != 1 && fault.empty())
        fail("effClose answered " + std::to_string(static_cast<long long>(answered)));
    dropHostWindow();
    return fault.empty();
}

bool HostileHost::run(int64_t calls)
{
    for (int64_t i = 0; i < calls && fault.empty() && effect != nullptr; ++i) {
        step();
        ++callsMade;
    }
    return fault.empty();
}

void HostileHost::fail(const std::string& what)
{
    if (!fault.empty())
        return;
    fault = what;
    failedCall = callsMade;
    failedDescription = description;
}

void HostileHost::describe(const char* format, ...)
{
    char text[sizeof progress.description];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    description = text;
    if (options.verbose) {
        std::printf("%lld: %s\n", static_cast<long long>(callsMade), text);
        std::fflush(stdout);
    }
}

namespace {
long exceptionsAtEntry = 0;
}  // namespace

void enterCall(uint64_t seed, int64_t call, const char* what)
{
    progress.seed = seed;
    progress.call = call;
    fitText(progress.description, sizeof progress.description, what);
    exceptionsAtEntry = progress.hardwareExceptions.load();
    progress.callStarted.store(GetTickCount64());
    progress.inCall.store(1);
}

bool leaveCall()
{
    progress.inCall.store(0);
    return progress.hardwareExceptions.load() == exceptionsAtEntry;
}

template <typename Call>
void HostileHost::into(Call&& call)
{
    enterCall(options.seed, callsMade, description.c_str());
    call();
    if (!leaveCall())
        fail("a hardware exception was raised inside the call");
    check();
}

void HostileHost::check()
{
    const std::string damage = arena.damage();
    if (!damage.empty())
        fail(damage);
    if (effect != nullptr && std::memcmp(effect, &recordAtOpen, sizeof recordAtOpen) != 0)
        fail("the effect record changed");
    const char* breach = nullptr;
    if (options.engineBreaches != nullptr && options.engineBreaches(&breach) != 0)
        fail(std::string("the plug-in breached the engine contract: ") + (breach != nullptr ? breach : ""));
}

// The host side of the conversation: well-formed requests get plausible
// answers drawn from their own stream; malformed ones are the fault.
intptr_t HostileHost::answer(EffectRecord* from, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    (void)index;
    (void)value;
    (void)opt;
    // The entry asks for the version before any record exists, and a second
    // instance under construction has a record the host does not know yet.
    const bool known = from == effect || (from != nullptr && from == otherEffect) || constructing ||
                       (from == nullptr && opcode == audioMasterVersion);
    if (effect != nullptr && !known) {
        fail("a host request with opcode " + std::to_string(opcode) + " came with a foreign effect record");
        return 0;
    }
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        return timeAvailable ? reinterpret_cast<intptr_t>(&timeInfo) : 0;
    case audioMasterGetCurrentProcessLevel:
        return processLevel;
    case audioMasterProcessEvents: {
        const VstEvents* list = static_cast<const VstEvents*>(ptr);
        if (list == nullptr || list->numEvents < 1 || list->numEvents > 4096) {
            fail("audioMasterProcessEvents without a list of events");
            return 0;
        }
        for (int32_t i = 0; i < list->numEvents; ++i) {
            const VstEvent* event = list->events[i];
            if (event == nullptr || (event->type == kVstMidiType && event->byteSize != 24)) {
                fail("audioMasterProcessEvents with a null or misshapen event");
                return 0;
            }
        }
        static const intptr_t eventAnswers[] = {1, 1, 0, -1, 2};
        return answers.pick(eventAnswers);
    }
    case audioMasterAutomate:
        // Hosts read the new value and its text back at once, from inside
        // the request.
        if (answers.chance(300))
            readBack(from, index);
        return answers.below(2);
    case audioMasterNeedIdle:
    case audioMasterWantMidi:
        return answers.below(2);
    default:
        return 0;
    }
}

void HostileHost::readBack(EffectRecord* from, int32_t index)
{
    if (from == nullptr)
        return;
    (void)from->getParameterEntry(from, index);
    GuardedBlock text(9, 0xCC, "parameter display read back inside audioMasterAutomate");
    from->dispatcherEntry(from, effGetParamDisplay, index, 0, text.data(), 0.0f);
    const std::string damage = text.damage();
    if (!damage.empty())
        fail(damage);
    else if (text.written(0xCC) && !text.terminated())
        fail(text.name() + ": written without a terminator inside the buffer");
}

void HostileHost::step()
{
    arena.clear();
    const uint32_t kind = random.below(100);
    if (kind < 48)
        dispatcherCall();
    else if (kind < 76)
        processingBlock();
    else if (kind < 84)
        parameterCall();
    else if (kind < 94)
        chunkCall();
    else if (kind < 97)
        windowCall();
    else
        secondInstance();
}

// A second instance of the same plug-in lives and dies beside the first, its
// editor in the same host window: the engine module and its window class are
// shared, their release must not disturb the first.
void HostileHost::secondInstance()
{
    const bool withEditor = random.chance(500);
    const int32_t frames = random.between(0, 256);
    GuardedBlock& left = arena.make(sizeof(float) * static_cast<size_t>(frames), "second instance output");
    GuardedBlock& right = arena.make(sizeof(float) * static_cast<size_t>(frames), "second instance output");
    float* outputs[2] = {reinterpret_cast<float*>(left.data()), reinterpret_cast<float*>(right.data())};
    HWND parent = withEditor ? hostWindow() : nullptr;
    describe("a second instance: open, resume, a block of %d, %s, close", static_cast<int>(frames),
             withEditor ? "its editor in the host window" : "no editor");
    into([&] {
        constructing = true;
        EffectRecord* other = entry != nullptr ? entry(&HostileCallback::dispatch) : nullptr;
        constructing = false;
        if (other == nullptr) {
            fail("the entry gave no second instance");
            return;
        }
        otherEffect = other;
        other->dispatcherEntry(other, effOpen, 0, 0, nullptr, 0.0f);
        other->dispatcherEntry(other, effMainsChanged, 0, 1, nullptr, 0.0f);
        if (other->numOutputs == 2)
            other->processReplacingEntry(other, nullptr, outputs, frames);
        if (parent != nullptr)
            other->dispatcherEntry(other, effEditOpen, 0, 0, parent, 0.0f);
        other->dispatcherEntry(other, effClose, 0, 0, nullptr, 0.0f);
        otherEffect = nullptr;
    });
}

// ---------------------------------------------------------------------------
// Buffers of the shapes the interface defines

char* HostileHost::textBuffer(size_t size, const char* name, GuardedBlock** block)
{
    GuardedBlock& made = arena.make(size, name, 0xCC);
    if (block != nullptr)
        *block = &made;
    return reinterpret_cast<char*>(made.data());
}

// A zero-terminated text the host owns: capability names, near misses,
// nothing, or a long run of arbitrary bytes.
char* HostileHost::hostText(const char* name)
{
    std::string text;
    switch (random.below(4)) {
    case 0:
        text = random.pick(kCapabilities);
        break;
    case 1:
        text.assign(random.below(2000), 'x');
        break;
    default:
        for (uint32_t n = random.below(80); n > 0; --n)
            text.push_back(static_cast<char>(random.between(1, 255)));
        break;
    }
    GuardedBlock& block = arena.make(text.size() + 1, name);
    std::memcpy(block.data(), text.c_str(), text.size() + 1);
    block.keepSnapshot();
    return reinterpret_cast<char*>(block.data());
}

// Records the plug-in passes on without reading (offline tasks, variable I/O,
// MIDI program names, patch information): filled room it must not write.
void* HostileHost::opaqueRecord(const char* name)
{
    if (random.chance(300))
        return nullptr;
    GuardedBlock& block = arena.make(1024, name, random.chance(500) ? 0x00 : 0x7F);
    block.keepSnapshot();
    return block.data();
}

void* HostileHost::speakerArrangement(const char* name)
{
    if (random.chance(300))
        return nullptr;
    const int32_t room = random.between(0, 8);
    GuardedBlock& block = arena.make(8 + 112 * static_cast<size_t>(room), name, 0);
    auto* arrangement = reinterpret_cast<VstSpeakerArrangement*>(block.data());
    arrangement->type = random.int32Boundary();
    // A count beyond the room is the host's lie; only sizes it allocated are sent.
    arrangement->numChannels = random.chance(800) ? room : -room - 1;
    block.keepSnapshot();
    return arrangement;
}

HWND HostileHost::hostWindow()
{
    if (window == nullptr || !IsWindow(window))
        window = CreateWindowExA(0, "STATIC", "hostile host", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    return window;
}

void HostileHost::dropHostWindow()
{
    if (window != nullptr && IsWindow(window))
        DestroyWindow(window);
    window = nullptr;
}

// ---------------------------------------------------------------------------
// Dispatcher calls: every opcode from -1 to 80 but effClose

void HostileHost::dispatcherCall()
{
    int32_t opcode = random.between(-1, 80);
    if (opcode == effClose)
        opcode = effOpen;
    int32_t index = random.int32Boundary();
    intptr_t value = random.intptrBoundary();
    float opt = random.floatBoundary();
    void* ptr = nullptr;
    // What to verify once the call answered, beyond the guards.
    GuardedBlock* text = nullptr;
    void** slot = nullptr;
    void** secondSlot = nullptr;
    void* const slotMark = reinterpret_cast<void*>(static_cast<intptr_t>(0x13579BDF));
    VstPinProperties* pin = nullptr;
    const bool null = random.chance(150);

    switch (opcode) {
    case effSetProgramName:
    case effString2Parameter:
    case effCanDo:
        ptr = null ? nullptr : hostText("host text");
        break;
    case effGetProgramName:
    case effGetProgramNameIndexed:
        ptr = null ? nullptr : textBuffer(24, "program name", &text);
        break;
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
        // 8 characters and the terminator: the size handed to the engine.
        ptr = null ? nullptr : textBuffer(9, "parameter text", &text);
        break;
    case effGetEffectName:
        ptr = null ? nullptr : textBuffer(32, "effect name", &text);
        break;
    case effGetVendorString:
    case effGetProductString:
        ptr = null ? nullptr : textBuffer(64, "vendor or product string", &text);
        break;
    case effGetErrorText:
    case effShellGetNextPlugin:
        if (!null) {
            textBuffer(256, "text the default leaves alone", &text);
            text->keepSnapshot();
            ptr = text->data();
            text = nullptr;
        }
        break;
    case effGetInputProperties:
    case effGetOutputProperties:
        if (!null) {
            pin = arena.make<VstPinProperties>("pin properties", 0xCC);
            ptr = pin;
        }
        break;
    case effEditGetRect:
    case effGetChunk:
        if (!null) {
            slot = arena.make<void*>(opcode == effGetChunk ? "chunk data place" : "rectangle place");
            *slot = slotMark;
            ptr = slot;
        }
        break;
    case effSetChunk: {
        std::vector<uint8_t> bytes = lastChunk;
        if (random.chance(500))
            mutate(bytes);
        if (random.chance(150)) {
            ptr = nullptr;
            value = random.intptrBoundary();
        } else {
            GuardedBlock& block = arena.make(bytes.size(), "host chunk");
            if (!bytes.empty())
                std::memcpy(block.data(), bytes.data(), bytes.size());
            block.keepSnapshot();
            ptr = block.data();
            // The host never claims more than it holds; fewer, none or a
            // negative count are its slips.
            value = random.chance(850) ? static_cast<intptr_t>(bytes.size())
                                       : static_cast<intptr_t>(random.between(-3, static_cast<int32_t>(bytes.size())));
            if (random.chance(30))
                value = std::numeric_limits<int32_t>::min();
        }
        break;
    }
    case effProcessEvents:
        ptr = null ? nullptr : eventList(lastFrames);
        break;
    case effEditOpen:
        ptr = null ? nullptr : hostWindow();
        break;
    case effEditDraw:
        if (!null) {
            GuardedBlock& rect = arena.make(sizeof(ERect), "draw rectangle");
            rect.keepSnapshot();
            ptr = rect.data();
        }
        break;
    case effSetSpeakerArrangement:
        value = reinterpret_cast<intptr_t>(speakerArrangement("input arrangement"));
        ptr = speakerArrangement("output arrangement");
        break;
    case effGetSpeakerArrangement:
        value = 0;  // the place for the input arrangement, like ptr: null or real
        if (!null) {
            slot = arena.make<void*>("input arrangement place");
            *slot = slotMark;
            value = reinterpret_cast<intptr_t>(slot);
        }
        if (random.chance(850)) {
            secondSlot = arena.make<void*>("output arrangement place");
            *secondSlot = slotMark;
            ptr = secondSlot;
        }
        break;
    case effOfflineNotify:
    case effOfflinePrepare:
    case effOfflineRun:
    case effProcessVarIo:
    case effGetParameterProperties:
    case effGetMidiProgramName:
    case effGetCurrentMidiProgram:
    case effGetMidiProgramCategory:
    case effGetMidiKeyName:
    case effBeginLoadBank:
    case effBeginLoadProgram:
    case effVendorSpecific:
        ptr = opaqueRecord("record the plug-in must not write");
        break;
    case effSetSampleRate:
        if (random.chance(300))
            opt = 0.0f;
        break;
    case effMainsChanged:
        value = random.chance(700) ? static_cast<intptr_t>(random.below(2)) : value;
        break;
    default:
        // Opcodes without a pointer argument: hosts send null, now and then
        // scratch memory that must come back untouched.
        if (random.chance(200))
            ptr = opaqueRecord("unused pointer argument");
        break;
    }

    describe("dispatcher(opcode %d, index %d, value %lld, ptr %s, opt %g)", static_cast<int>(opcode),
             static_cast<int>(index), static_cast<long long>(value), ptr != nullptr ? "given" : "null",
             static_cast<double>(opt));
    intptr_t answered = 0;
    into([&] { answered = effect->dispatcherEntry(effect, opcode, index, value, ptr, opt); });
    if (!fault.empty())
        return;

    if (opcode == effEditOpen && ptr != nullptr)
        editorOpen = true;
    if (opcode == effEditClose)
        editorOpen = false;
    // A text the plug-in wrote ends inside the host's buffer.
    if (text != nullptr && text->written(0xCC) && !text->terminated())
        fail(text->name() + ": written without a terminator inside the buffer");
    if (pin != nullptr && answered != 0 && std::memchr(pin->label, 0, sizeof pin->label) == nullptr)
        fail("pin label without a terminator inside its 64 bytes");
    if (opcode == effGetChunk) {
        if (answered < 0) {
            fail("effGetChunk answered a negative size");
        } else if (slot != nullptr && answered > 0) {
            if (*slot == slotMark || *slot == nullptr) {
                fail("effGetChunk answered a size but no data");
            } else {
                const uint8_t* bytes = static_cast<const uint8_t*>(*slot);
                lastChunk.assign(bytes, bytes + answered);
            }
        } else if (slot != nullptr) {
            lastChunk.clear();
        }
    }
    if (opcode == effSetChunk && answered != 1)
        fail("effSetChunk answered " + std::to_string(static_cast<long long>(answered)) + ", not 1");
    if (opcode == effEditGetRect && slot != nullptr && answered != 0) {
        if (*slot == slotMark || *slot == nullptr) {
            fail("effEditGetRect answered 1 without a rectangle");
        } else {
            const ERect* rect = static_cast<const ERect*>(*slot);
            if (rect->top > rect->bottom || rect->left > rect->right)
                fail("effEditGetRect gave an inverted rectangle");
        }
    }
    if (opcode == effGetSpeakerArrangement &&
        ((slot != nullptr && *slot != slotMark && *slot != nullptr) ||
         (secondSlot != nullptr && *secondSlot != slotMark && *secondSlot != nullptr)))
        fail("effGetSpeakerArrangement stored an arrangement the plug-in does not have");
}

// ---------------------------------------------------------------------------
// Processing

void HostileHost::chooseTime(int32_t frames)
{
    static const intptr_t levels[] = {0, 1, 2, 2, 3, 4, -1, 99};
    processLevel = random.pick(levels);
    timeAvailable = !random.chance(150);
    if (!timeAvailable)
        return;
    int32_t flags = 0;
    for (int32_t flag : kTimeFlags)
        flags |= random.chance(500) ? flag : 0;
    if (random.chance(50))
        flags = static_cast<int32_t>(random.next());
    timeInfo.flags = flags;

    static const double rates[] = {44100.0, 48000.0, 0.0, -44100.0, 1.0e300};
    timeInfo.sampleRate = random.chance(800) ? 44100.0 : random.pick(rates);
    switch (random.below(10)) {
    case 0:
        timeInfo.samplePos = random.doubleBoundary();
        break;
    case 1:
        timeInfo.samplePos -= static_cast<double>(random.between(1, 1 << 20));  // backwards, maybe below 0
        break;
    default:
        timeInfo.samplePos += frames > 0 ? frames : 0;
        break;
    }
    static const double tempos[] = {120.0, 0.0, -120.0, 1.0e9, 1.0e-9, 33.3};
    timeInfo.tempo = random.chance(600) ? 120.0 : random.chance(500) ? random.doubleBoundary() : random.pick(tempos);
    if (random.chance(700) && std::isfinite(timeInfo.samplePos) && timeInfo.sampleRate > 0.0)
        timeInfo.ppqPos = timeInfo.samplePos / timeInfo.sampleRate * 2.0;
    else
        timeInfo.ppqPos = random.doubleBoundary();
    timeInfo.barStartPos = random.chance(700) ? std::floor(timeInfo.ppqPos / 4.0) * 4.0 : random.doubleBoundary();
    timeInfo.cycleStartPos = random.chance(600) ? 0.0 : random.doubleBoundary();
    timeInfo.cycleEndPos = random.chance(600) ? 16.0 : random.doubleBoundary();
    timeInfo.nanoSeconds = random.doubleBoundary();
    static const int32_t signatures[][2] = {{4, 4},
                                            {0, 0},
                                            {3, 4},
                                            {7, 8},
                                            {4, 0},
                                            {0, 4},
                                            {-1, -1},
                                            {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min()},
                                            {std::numeric_limits<int32_t>::max(), 1},
                                            {1, std::numeric_limits<int32_t>::max()}};
    const int32_t(&signature)[2] = random.chance(600) ? signatures[0] : random.pick(signatures);
    timeInfo.timeSigNumerator = signature[0];
    timeInfo.timeSigDenominator = signature[1];
    timeInfo.smpteOffset = random.int32Boundary();
    timeInfo.smpteFrameRate = random.int32Boundary();
    timeInfo.samplesToNextClock = random.int32Boundary();
}

VstEvent* HostileHost::randomEvent(size_t index, int32_t frames)
{
    const std::string name = "event " + std::to_string(index);
    const uint32_t kind = random.below(100);
    if (kind < 8)
        return nullptr;
    int32_t delta = random.chance(700) ? random.between(0, frames > 0 ? frames - 1 : 0) : random.int32Boundary();
    if (kind < 78) {
        auto* midi = arena.make<VstMidiEvent>(name);
        midi->type = kVstMidiType;
        midi->byteSize = random.chance(900) ? 24 : random.int32Boundary();
        midi->deltaFrames = delta;
        static const uint8_t statuses[] = {0x90, 0x90, 0x80, 0x80, 0xB0, 0xE0, 0xC0, 0xF0, 0xFF, 0x00, 0x40};
        midi->midiData[0] =
            static_cast<char>(random.chance(850) ? (random.pick(statuses) | random.below(16)) : random.byte());
        midi->midiData[1] = static_cast<char>(random.chance(800) ? random.between(36, 96) : random.byte());
        midi->midiData[2] = static_cast<char>(random.chance(800) ? random.between(0, 127) : random.byte());
        midi->midiData[3] = static_cast<char>(random.byte());
        midi->noteLength = random.int32Boundary();
        midi->noteOffset = random.int32Boundary();
        return reinterpret_cast<VstEvent*>(midi);
    }
    if (kind < 93) {
        auto* sysex = arena.make<VstMidiSysexEvent>(name);
        sysex->type = kVstSysExType;
        sysex->byteSize = static_cast<int32_t>(sizeof(VstMidiSysexEvent) - 8);
        sysex->deltaFrames = delta;
        if (random.chance(700)) {
            const size_t size = random.between(0, 300);
            GuardedBlock& dump = arena.make(size, name + " dump", 0xF7);
            dump.keepSnapshot();
            sysex->sysexDump = reinterpret_cast<char*>(dump.data());
            sysex->dumpBytes = static_cast<int32_t>(size);
        } else {
            sysex->sysexDump = nullptr;
            sysex->dumpBytes = random.int32Boundary();
        }
        return reinterpret_cast<VstEvent*>(sysex);
    }
    // A type this interface does not know, of the generic event's size.
    auto* other = arena.make<VstEvent>(name, random.byte());
    other->type = random.chance(500) ? random.between(2, 5) : random.int32Boundary();
    other->byteSize = random.int32Boundary();
    other->deltaFrames = delta;
    return other;
}

VstEvents* HostileHost::eventList(int32_t frames)
{
    int32_t count = static_cast<int32_t>(random.below(random.chance(900) ? 8 : 200));
    int32_t declared = count;
    if (random.chance(60))
        declared = random.chance(500) ? -1 : std::numeric_limits<int32_t>::min();
    const size_t entries = count < 2 ? 2 : static_cast<size_t>(count);
    GuardedBlock& block = arena.make(offsetof(VstEvents, events) + entries * sizeof(VstEvent*), "event list", 0);
    auto* list = reinterpret_cast<VstEvents*>(block.data());
    list->numEvents = declared;
    list->reserved = random.chance(900) ? 0 : random.intptrBoundary();
    for (int32_t i = 0; i < count; ++i)
        list->events[i] = randomEvent(static_cast<size_t>(i), frames);
    block.keepSnapshot();
    return list;
}

void HostileHost::processingBlock()
{
    static const int32_t blockSizes[] = {0, -1, 1, 16, 64, 64, 128, 256, 257, 512, 1024, 4096};
    int32_t frames = random.chance(850) ? random.pick(blockSizes) : random.int32Boundary();
    const int32_t channels = effect->numOutputs;
    const uint32_t render = random.below(100);  // replacing, accumulating, or double replacing
    const bool adding = render >= 70 && render < 95;
    const bool doubles = render >= 95;
    // Buffers as long as the block claims, within reason; a larger claim
    // comes only with buffers the host does not give (a host never passes
    // fewer samples than frames, but nulls are the threat).
    const bool realBuffers = frames <= 8192;
    const int32_t length = frames > 0 ? frames : static_cast<int32_t>(random.below(65));

    chooseTime(frames);
    lastFrames = frames;

    // Events for the block, as hosts send them: none, one list, or several.
    for (uint32_t n = random.below(4); n > 0 && fault.empty(); --n) {
        arena.clear();
        void* list = random.chance(100) ? nullptr : eventList(frames);
        describe("dispatcher(effProcessEvents, %s) before a block of %d", list != nullptr ? "list" : "null",
                 static_cast<int>(frames));
        into([&] { effect->dispatcherEntry(effect, effProcessEvents, 0, 0, list, 0.0f); });
    }
    if (!fault.empty())
        return;
    arena.clear();

    const size_t sampleSize = doubles ? sizeof(double) : sizeof(float);
    std::vector<GuardedBlock*> buffers(static_cast<size_t>(channels > 0 ? channels : 0), nullptr);
    void** outputs = nullptr;
    GuardedBlock* outputArray = nullptr;
    if (random.chance(930) && channels > 0) {
        outputArray = &arena.make(sizeof(void*) * static_cast<size_t>(channels), "output channel array");
        outputs = reinterpret_cast<void**>(outputArray->data());
        for (int32_t c = 0; c < channels; ++c) {
            if (!realBuffers || random.chance(40))
                continue;
            GuardedBlock& buffer = arena.make(sampleSize * static_cast<size_t>(length), "output channel");
            // Replacing output starts as garbage the plug-in must overwrite;
            // accumulating output holds the host's mix the engine adds to.
            for (int32_t i = 0; i < length; ++i) {
                if (doubles)
                    reinterpret_cast<double*>(buffer.data())[i] = 0.125;
                else if (adding)
                    reinterpret_cast<float*>(buffer.data())[i] = static_cast<float>(random.between(-64, 64)) / 256.0f;
                else
                    reinterpret_cast<float*>(buffer.data())[i] = std::numeric_limits<float>::quiet_NaN();
            }
            if (frames <= 0 || doubles)
                buffer.keepSnapshot();  // nothing to render: nothing may be written
            buffers[static_cast<size_t>(c)] = &buffer;
            outputs[c] = buffer.data();
        }
        outputArray->keepSnapshot();
    }
    void** inputs = nullptr;
    if (realBuffers && random.chance(500)) {
        GuardedBlock& inputArray = arena.make(2 * sizeof(void*), "input channel array");
        inputs = reinterpret_cast<void**>(inputArray.data());
        for (int c = 0; c < 2; ++c) {
            GuardedBlock& input = arena.make(sampleSize * static_cast<size_t>(length), "input channel", 0x3C);
            input.keepSnapshot();
            inputs[c] = input.data();
        }
        inputArray.keepSnapshot();
    }

    describe("%s(inputs %s, outputs %s, frames %d), time %s, level %d",
             doubles  ? "processDoubleReplacing"
             : adding ? "process"
                      : "processReplacing",
             inputs != nullptr ? "given" : "null", outputs != nullptr ? "given" : "null", static_cast<int>(frames),
             timeAvailable ? "given" : "none", static_cast<int>(processLevel));
    if (doubles) {
        into([&] {
            effect->processDoubleReplacingEntry(effect, reinterpret_cast<double**>(inputs),
                                                reinterpret_cast<double**>(outputs), frames);
        });
    } else if (adding) {
        into([&] {
            effect->processEntry(effect, reinterpret_cast<float**>(inputs), reinterpret_cast<float**>(outputs), frames);
        });
    } else {
        into([&] {
            effect->processReplacingEntry(effect, reinterpret_cast<float**>(inputs), reinterpret_cast<float**>(outputs),
                                          frames);
        });
    }
    if (!fault.empty() || doubles || frames <= 0)
        return;

    const float limit = options.maxAmplitude > 0.0f ? options.maxAmplitude + (adding ? 0.25f : 0.0f) : 0.0f;
    for (GuardedBlock* buffer : buffers) {
        if (buffer == nullptr)
            continue;
        const float* samples = reinterpret_cast<const float*>(buffer->data());
        for (int32_t i = 0; i < frames; ++i) {
            if (!finite(samples[i])) {
                fail("sample " + std::to_string(i) + " of a rendered channel is not a finite number");
                return;
            }
            if (limit > 0.0f && std::fabs(samples[i]) > limit) {
                fail("sample " + std::to_string(i) + " of a rendered channel is " + std::to_string(samples[i]));
                return;
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Parameters, chunks and the editor window

void HostileHost::parameterCall()
{
    const int32_t index = random.chance(600) ? random.between(-1, effect->numParams) : random.int32Boundary();
    if (random.chance(500)) {
        const float value = random.floatBoundary();
        describe("setParameter(%d, %g)", static_cast<int>(index), static_cast<double>(value));
        into([&] { effect->setParameterEntry(effect, index, value); });
    } else {
        describe("getParameter(%d)", static_cast<int>(index));
        into([&] { (void)effect->getParameterEntry(effect, index); });
    }
}

// Flips bits, cuts, extends, or sets a 32-bit word (a count, a length) to a
// huge or negative value.
void HostileHost::mutate(std::vector<uint8_t>& bytes)
{
    switch (random.below(5)) {
    case 0:
        for (uint32_t n = random.between(1, 8); n > 0 && !bytes.empty(); --n)
            bytes[random.below(static_cast<uint32_t>(bytes.size()))] ^= static_cast<uint8_t>(1u << random.below(8));
        break;
    case 1:
        bytes.resize(random.below(static_cast<uint32_t>(bytes.size()) + 1));
        break;
    case 2:
        for (uint32_t n = random.between(1, 64); n > 0; --n)
            bytes.push_back(random.byte());
        break;
    case 3:
        if (bytes.size() >= 4) {
            static const uint32_t words[] = {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 0xFFFFFFFEu, 0x10000u, 0u};
            const uint32_t word = random.chance(800) ? random.pick(words) : static_cast<uint32_t>(random.next());
            const size_t at = random.below(static_cast<uint32_t>(bytes.size() / 4)) * 4;
            std::memcpy(&bytes[at], &word, sizeof word);
        }
        break;
    default:
        bytes.resize(random.below(256));
        for (uint8_t& byte : bytes)
            byte = random.byte();
        break;
    }
}

// Saves, restores what was saved, and saves again: the same bytes must come
// back, and the host's copy must not be written.
void HostileHost::chunkCall()
{
    void** place = arena.make<void*>("chunk data place");
    const int32_t preset = random.chance(500) ? 1 : 0;
    describe("dispatcher(effGetChunk, index %d) for a round trip", static_cast<int>(preset));
    intptr_t size = 0;
    into([&] { size = effect->dispatcherEntry(effect, effGetChunk, preset, 0, place, 0.0f); });
    if (!fault.empty())
        return;
    if (size < 0 || (size > 0 && *place == nullptr)) {
        fail("effGetChunk answered size " + std::to_string(static_cast<long long>(size)) + " with no data");
        return;
    }
    const uint8_t* saved = static_cast<const uint8_t*>(*place);
    lastChunk.assign(saved, saved + size);

    arena.clear();
    GuardedBlock& copy = arena.make(lastChunk.size(), "host chunk");
    if (!lastChunk.empty())
        std::memcpy(copy.data(), lastChunk.data(), lastChunk.size());
    copy.keepSnapshot();
    describe("dispatcher(effSetChunk, index %d, value %lld) with the chunk just saved", static_cast<int>(preset),
             static_cast<long long>(size));
    intptr_t restored = 0;
    into([&] { restored = effect->dispatcherEntry(effect, effSetChunk, preset, size, copy.data(), 0.0f); });
    if (!fault.empty())
        return;
    if (restored != 1) {
        fail("effSetChunk of a saved chunk answered " + std::to_string(static_cast<long long>(restored)));
        return;
    }

    arena.clear();
    place = arena.make<void*>("chunk data place");
    describe("dispatcher(effGetChunk, index %d) after the restore", static_cast<int>(preset));
    into([&] { size = effect->dispatcherEntry(effect, effGetChunk, preset, 0, place, 0.0f); });
    if (!fault.empty())
        return;
    const uint8_t* again = static_cast<const uint8_t*>(*place);
    if (size < 0 || (size > 0 && again == nullptr)) {
        fail("effGetChunk answered size " + std::to_string(static_cast<long long>(size)) + " with no data");
        return;
    }
    if (!options.chunksRoundTrip) {
        lastChunk.assign(again, again + size);
        return;
    }
    if (size != static_cast<intptr_t>(lastChunk.size()) ||
        (size > 0 && (again == nullptr || std::memcmp(again, lastChunk.data(), lastChunk.size()) != 0)))
        fail("a chunk restored and saved again came back different");
}

// The host's side of the editor: its window comes and goes (also while the
// editor is open in it), and its message loop runs the editor's messages.
void HostileHost::windowCall()
{
    switch (random.below(3)) {
    case 0:
        describe("host destroys its window%s", editorOpen ? " under the open editor" : "");
        into([&] { dropHostWindow(); });
        break;
    case 1:
        describe("host creates its window");
        into([&] { hostWindow(); });
        break;
    default: {
        describe("host runs its message loop");
        into([&] {
            MSG message;
            for (int n = 0; n < 64 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++n) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        });
        break;
    }
    }
}

}  // namespace hostile_test
