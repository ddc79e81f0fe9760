// The processing paths allocate nothing. The plug-in's imports of the heap
// functions (the C allocation family, the C++ allocation operators the shared
// runtime exports, and the system heap calls) are redirected through counters,
// so every allocation the staged plug-in's own code makes is seen, whichever
// runtime arrangement the build uses.
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "BridgeFixture.h"
#include "IMidiOut.h"

namespace {

using namespace bridge_test;

std::atomic<long> allocations{0};

constexpr int hookRoom = 16;
void* originals[hookRoom];

template <int N>
void* __cdecl countedSize(size_t size)
{
    ++allocations;
    return reinterpret_cast<void*(__cdecl*)(size_t)>(originals[N])(size);
}

template <int N>
void* __cdecl countedSizeNothrow(size_t size, const void* tag)
{
    ++allocations;
    return reinterpret_cast<void*(__cdecl*)(size_t, const void*)>(originals[N])(size, tag);
}

template <int N>
void* __cdecl countedCalloc(size_t count, size_t size)
{
    ++allocations;
    return reinterpret_cast<void*(__cdecl*)(size_t, size_t)>(originals[N])(count, size);
}

template <int N>
void* __cdecl countedRealloc(void* block, size_t size)
{
    ++allocations;
    return reinterpret_cast<void*(__cdecl*)(void*, size_t)>(originals[N])(block, size);
}

template <int N>
char* __cdecl countedStrdup(const char* text)
{
    ++allocations;
    return reinterpret_cast<char*(__cdecl*)(const char*)>(originals[N])(text);
}

template <int N>
LPVOID WINAPI countedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size)
{
    ++allocations;
    return reinterpret_cast<LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T)>(originals[N])(heap, flags, size);
}

template <int N>
LPVOID WINAPI countedHeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T size)
{
    ++allocations;
    return reinterpret_cast<LPVOID(WINAPI*)(HANDLE, DWORD, LPVOID, SIZE_T)>(originals[N])(heap, flags, block, size);
}

struct Hook {
    const char* name;
    void* replacement;
};

const Hook hooks[] = {
    {"malloc", reinterpret_cast<void*>(&countedSize<0>)},
    {"calloc", reinterpret_cast<void*>(&countedCalloc<1>)},
    {"realloc", reinterpret_cast<void*>(&countedRealloc<2>)},
    {"_strdup", reinterpret_cast<void*>(&countedStrdup<3>)},
    {"strdup", reinterpret_cast<void*>(&countedStrdup<4>)},
    {"_Znwj", reinterpret_cast<void*>(&countedSize<5>)},
    {"_Znaj", reinterpret_cast<void*>(&countedSize<6>)},
    {"_Znwy", reinterpret_cast<void*>(&countedSize<7>)},
    {"_Znay", reinterpret_cast<void*>(&countedSize<8>)},
    {"_ZnwjRKSt9nothrow_t", reinterpret_cast<void*>(&countedSizeNothrow<9>)},
    {"_ZnwyRKSt9nothrow_t", reinterpret_cast<void*>(&countedSizeNothrow<10>)},
    {"HeapAlloc", reinterpret_cast<void*>(&countedHeapAlloc<11>)},
    {"HeapReAlloc", reinterpret_cast<void*>(&countedHeapReAlloc<12>)},
    {"_aligned_malloc", reinterpret_cast<void*>(&countedCalloc<13>)},
};
static_assert(sizeof hooks / sizeof hooks[0] <= hookRoom, "room for every hook");

// Redirects the module's import slots; restores them on destruction.
class ImportCounters {
public:
    explicit ImportCounters(HMODULE module)
    {
        auto* base = reinterpret_cast<BYTE*>(module);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (directory.VirtualAddress == 0)
            return;
        for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
             library->Name != 0; ++library) {
            if (library->OriginalFirstThunk == 0)
                continue;  // names already overwritten: cannot tell the slots apart
            auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
            for (; names->u1.AddressOfData != 0; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                    continue;
                const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                const char* name = reinterpret_cast<const char*>(byName->Name);
                for (size_t h = 0; h < sizeof hooks / sizeof hooks[0]; ++h) {
                    if (std::strcmp(name, hooks[h].name) == 0)
                        redirect(&slots->u1.Function, h);
                }
            }
        }
    }

    ~ImportCounters()
    {
        for (const Patch& patch : patches)
            write(patch.slot, patch.original);
    }

    ImportCounters(const ImportCounters&) = delete;
    ImportCounters& operator=(const ImportCounters&) = delete;

    std::vector<std::string> hooked() const
    {
        std::vector<std::string> names;
        for (const Patch& patch : patches)
            names.push_back(hooks[patch.hook].name);
        return names;
    }

private:
    struct Patch {
        void* slot;
        void* original;
        size_t hook;
    };

    void redirect(void* slot, size_t hook)
    {
        void* original = *static_cast<void**>(slot);
        originals[hook] = original;
        write(slot, hooks[hook].replacement);
        patches.push_back({slot, original, hook});
    }

    static void write(void* slot, void* value)
    {
        DWORD previous = 0;
        VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &previous);
        *static_cast<void**>(slot) = value;
        VirtualProtect(slot, sizeof(void*), previous, &previous);
    }

    std::vector<Patch> patches;
};

class CountingListener : public Korvanta::MidiTransportListener {
public:
    void onTransportStart(int32_t) override { ++heard; }
    void onTransportStop(int32_t) override { ++heard; }
    void onCycle(int32_t, int32_t) override { ++heard; }
    int heard = 0;
};

class BridgeAllocation : public BridgeFixture {};

TEST_F(BridgeAllocation, ProcessingPathsAllocateNothing)
{
    // Everything the processing paths will meet is set up before counting.
    probe->renderMidi[0][0] = 0x90;
    probe->renderMidi[0][1] = 0x3C;
    probe->renderMidi[0][2] = 0x40;
    probe->renderMidi[1][0] = 0x80;
    probe->renderMidi[1][1] = 0x3C;
    probe->renderMidiCount = 2;
    probe->renderValue = 0.5f;
    open();
    CountingListener first, second;
    notifier()->addListener(&first);
    notifier()->addListener(&second);
    IMidiOut* midiOut = service<IMidiOut>("IMidiOut");
    ASSERT_NE(midiOut, nullptr);
    Korvanta::MidiContext* midi = context();

    VstTimeInfo time = {};
    time.sampleRate = 44100.0;
    time.cycleStartPos = 0.0;
    time.cycleEndPos = 8.0;
    host.answerTime(&time);
    host.processLevel(kVstProcessLevelRealtime);

    EventList events;
    for (int i = 0; i < 8; ++i) {
        events.midi(0x90, static_cast<uint8_t>(0x30 + i), 0x64, 0x00, i);
        events.sysex(i);
    }
    VstEvents* list = events.list();
    std::vector<float> left(512), right(512);
    float* outputs[2] = {left.data(), right.data()};

    ImportCounters counters(stage.module());
    ASSERT_FALSE(counters.hooked().empty()) << "no allocation import found to count";

    // The counters see the plug-in's allocations: a chunk needs a buffer.
    const long beforeChunk = allocations.load();
    void* chunk = nullptr;
    effect().dispatch(effGetChunk, 0, 0, &chunk);
    ASSERT_GT(allocations.load(), beforeChunk) << "the counters miss the plug-in's allocations";

    const long before = allocations.load();
    for (int blockIndex = 0; blockIndex < 400; ++blockIndex) {
        if (blockIndex % 100 == 0)
            effect().dispatch(effMainsChanged, 0, 1);  // the process level is reported again
        const int phase = blockIndex % 40;
        time.flags = kVstTempoValid | kVstCyclePosValid | kVstTransportCycleActive;
        if (phase < 30)
            time.flags |= kVstTransportPlaying;
        if (phase == 0 || phase == 30)
            time.flags |= kVstTransportChanged;
        time.samplePos = phase < 30 ? blockIndex * 512.0 : time.samplePos;
        time.ppqPos = (phase % 16) * 0.5;  // playing loops back now and then: cycles
        time.tempo = 120.0;
        if (blockIndex % 2 == 0)
            time.flags |= kVstPpqPosValid;

        effect().dispatch(effProcessEvents, 0, 0, list);
        if (blockIndex % 5 == 0) {
            effect().process(nullptr, outputs, 512);
        } else {
            effect().processReplacing(nullptr, outputs, blockIndex % 3 == 0 ? 32 : 512);
        }
        const unsigned char message[4] = {0xB0, 0x07, static_cast<unsigned char>(blockIndex & 0x7F), 0};
        midiOut->sendMidi(message, blockIndex % 64);
        int32_t bar = 0, beat = 0, tick = 0;
        midi->ticksToBarBeatTick(blockIndex * 97 - 5000, &bar, &beat, &tick);
        midi->barBeatTickToTicks(bar, beat, tick);
    }
    const long during = allocations.load() - before;

    EXPECT_EQ(during, 0) << "allocations on the processing paths";
    EXPECT_GT(first.heard, 10);
    EXPECT_EQ(first.heard, second.heard);
    EXPECT_EQ(calls(Call::ReceiveMidi).size(), 400u * 8u);
    EXPECT_GE(host.midiEvents().size(), 400u * 3u);
    EXPECT_EQ(host.dropped(), 0u);
    EXPECT_EQ(capture.dropped(), 0u);

    notifier()->removeListener(&first);
    notifier()->removeListener(&second);
}

}  // namespace
