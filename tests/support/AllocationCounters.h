// Counts the heap allocations one module makes: its imports of the heap
// functions (the C allocation family, the C++ allocation operators the shared
// runtime exports, and the system heap calls) are redirected through counters,
// so every allocation the module's own code makes is seen, whichever runtime
// arrangement the build uses.
//
//     velmorant_test::ImportCounters counters(module);
//     const long before = velmorant_test::allocations.load();
//     ... the paths that must not allocate ...
//     EXPECT_EQ(velmorant_test::allocations.load() - before, 0);
#pragma once

#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

namespace velmorant_test {

namespace allocation_counting {

inline std::atomic<long> allocations{0};

constexpr int hookRoom = 16;
inline void* originals[hookRoom];

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

inline const Hook hooks[] = {
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

}  // namespace allocation_counting

using allocation_counting::allocations;
using allocation_counting::ImportCounters;

}  // namespace velmorant_test
