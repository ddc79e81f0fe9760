#include "ImportPatcher.h"

#include <windows.h>

#include <atomic>
#include <cstring>

namespace validator {

namespace {

// One hook per function; mangled C++ names of both architectures map onto it.
enum Hooked : int {
    HookMalloc,
    HookCalloc,
    HookRealloc,
    HookFree,
    HookNew,
    HookNewArray,
    HookNewNothrow,
    HookNewArrayNothrow,
    HookDelete,
    HookDeleteArray,
    HookDeleteSized,
    HookDeleteArraySized,
    HookHeapAlloc,
    HookHeapReAlloc,
    HookHeapFree,
    HookVirtualAlloc,
    HookWaitForSingleObject,
    HookWaitForSingleObjectEx,
    HookWaitForMultipleObjects,
    HookSleep,
    HookSleepEx,
    HookEnterCriticalSection,
    HookAcquireSRWLockExclusive,
    HookAcquireSRWLockShared,
    HookSleepConditionVariableCS,
    HookSleepConditionVariableSRW,
    HookCount
};

std::atomic<bool> armed{false};
std::atomic<uint32_t> counts_[HookCount];
void* originals[HookCount];

inline void counted(int hook)
{
    if (armed.load(std::memory_order_relaxed)) {
        counts_[hook].fetch_add(1, std::memory_order_relaxed);
    }
}

template <typename Function>
Function original(int hook)
{
    return reinterpret_cast<Function>(originals[hook]);
}

#define VALIDATOR_HOOK(hook, result, convention, parameters, arguments)                                                \
    result convention hooked_##hook parameters                                                                         \
    {                                                                                                                  \
        counted(hook);                                                                                                 \
        return original<result(convention*) parameters>(hook) arguments;                                               \
    }

VALIDATOR_HOOK(HookMalloc, void*, __cdecl, (size_t size), (size))
VALIDATOR_HOOK(HookCalloc, void*, __cdecl, (size_t count, size_t size), (count, size))
VALIDATOR_HOOK(HookRealloc, void*, __cdecl, (void* block, size_t size), (block, size))
VALIDATOR_HOOK(HookFree, void, __cdecl, (void* block), (block))
VALIDATOR_HOOK(HookNew, void*, __cdecl, (size_t size), (size))
VALIDATOR_HOOK(HookNewArray, void*, __cdecl, (size_t size), (size))
VALIDATOR_HOOK(HookNewNothrow, void*, __cdecl, (size_t size, const void* tag), (size, tag))
VALIDATOR_HOOK(HookNewArrayNothrow, void*, __cdecl, (size_t size, const void* tag), (size, tag))
VALIDATOR_HOOK(HookDelete, void, __cdecl, (void* block), (block))
VALIDATOR_HOOK(HookDeleteArray, void, __cdecl, (void* block), (block))
VALIDATOR_HOOK(HookDeleteSized, void, __cdecl, (void* block, size_t size), (block, size))
VALIDATOR_HOOK(HookDeleteArraySized, void, __cdecl, (void* block, size_t size), (block, size))
VALIDATOR_HOOK(HookHeapAlloc, LPVOID, WINAPI, (HANDLE heap, DWORD flags, SIZE_T size), (heap, flags, size))
VALIDATOR_HOOK(HookHeapReAlloc, LPVOID, WINAPI, (HANDLE heap, DWORD flags, LPVOID block, SIZE_T size),
               (heap, flags, block, size))
VALIDATOR_HOOK(HookHeapFree, BOOL, WINAPI, (HANDLE heap, DWORD flags, LPVOID block), (heap, flags, block))
VALIDATOR_HOOK(HookVirtualAlloc, LPVOID, WINAPI, (LPVOID address, SIZE_T size, DWORD type, DWORD protect),
               (address, size, type, protect))
VALIDATOR_HOOK(HookWaitForSingleObject, DWORD, WINAPI, (HANDLE object, DWORD timeout), (object, timeout))
VALIDATOR_HOOK(HookWaitForSingleObjectEx, DWORD, WINAPI, (HANDLE object, DWORD timeout, BOOL alertable),
               (object, timeout, alertable))
VALIDATOR_HOOK(HookWaitForMultipleObjects, DWORD, WINAPI, (DWORD count, const HANDLE* objects, BOOL all, DWORD timeout),
               (count, objects, all, timeout))
VALIDATOR_HOOK(HookSleep, void, WINAPI, (DWORD milliseconds), (milliseconds))
VALIDATOR_HOOK(HookSleepEx, DWORD, WINAPI, (DWORD milliseconds, BOOL alertable), (milliseconds, alertable))
VALIDATOR_HOOK(HookEnterCriticalSection, void, WINAPI, (LPCRITICAL_SECTION section), (section))
VALIDATOR_HOOK(HookAcquireSRWLockExclusive, void, WINAPI, (PSRWLOCK lock), (lock))
VALIDATOR_HOOK(HookAcquireSRWLockShared, void, WINAPI, (PSRWLOCK lock), (lock))
VALIDATOR_HOOK(HookSleepConditionVariableCS, BOOL, WINAPI,
               (PCONDITION_VARIABLE variable, PCRITICAL_SECTION section, DWORD timeout), (variable, section, timeout))
VALIDATOR_HOOK(HookSleepConditionVariableSRW, BOOL, WINAPI,
               (PCONDITION_VARIABLE variable, PSRWLOCK lock, DWORD timeout, ULONG flags),
               (variable, lock, timeout, flags))

#undef VALIDATOR_HOOK

struct HookInfo {
    const char* function;  // as reported
    CallKind kind;
    void* hook;
};

#define VALIDATOR_INFO(hook, name, kind)                                                                               \
    {                                                                                                                  \
        name, kind, reinterpret_cast<void*>(&hooked_##hook)                                                            \
    }
const HookInfo hookInfo[HookCount] = {
    VALIDATOR_INFO(HookMalloc, "malloc", CallKind::Allocation),
    VALIDATOR_INFO(HookCalloc, "calloc", CallKind::Allocation),
    VALIDATOR_INFO(HookRealloc, "realloc", CallKind::Allocation),
    VALIDATOR_INFO(HookFree, "free", CallKind::Allocation),
    VALIDATOR_INFO(HookNew, "operator new", CallKind::Allocation),
    VALIDATOR_INFO(HookNewArray, "operator new[]", CallKind::Allocation),
    VALIDATOR_INFO(HookNewNothrow, "operator new(nothrow)", CallKind::Allocation),
    VALIDATOR_INFO(HookNewArrayNothrow, "operator new[](nothrow)", CallKind::Allocation),
    VALIDATOR_INFO(HookDelete, "operator delete", CallKind::Allocation),
    VALIDATOR_INFO(HookDeleteArray, "operator delete[]", CallKind::Allocation),
    VALIDATOR_INFO(HookDeleteSized, "operator delete(sized)", CallKind::Allocation),
    VALIDATOR_INFO(HookDeleteArraySized, "operator delete[](sized)", CallKind::Allocation),
    VALIDATOR_INFO(HookHeapAlloc, "HeapAlloc", CallKind::Allocation),
    VALIDATOR_INFO(HookHeapReAlloc, "HeapReAlloc", CallKind::Allocation),
    VALIDATOR_INFO(HookHeapFree, "HeapFree", CallKind::Allocation),
    VALIDATOR_INFO(HookVirtualAlloc, "VirtualAlloc", CallKind::Allocation),
    VALIDATOR_INFO(HookWaitForSingleObject, "WaitForSingleObject", CallKind::Blocking),
    VALIDATOR_INFO(HookWaitForSingleObjectEx, "WaitForSingleObjectEx", CallKind::Blocking),
    VALIDATOR_INFO(HookWaitForMultipleObjects, "WaitForMultipleObjects", CallKind::Blocking),
    VALIDATOR_INFO(HookSleep, "Sleep", CallKind::Blocking),
    VALIDATOR_INFO(HookSleepEx, "SleepEx", CallKind::Blocking),
    VALIDATOR_INFO(HookEnterCriticalSection, "EnterCriticalSection", CallKind::Blocking),
    VALIDATOR_INFO(HookAcquireSRWLockExclusive, "AcquireSRWLockExclusive", CallKind::Blocking),
    VALIDATOR_INFO(HookAcquireSRWLockShared, "AcquireSRWLockShared", CallKind::Blocking),
    VALIDATOR_INFO(HookSleepConditionVariableCS, "SleepConditionVariableCS", CallKind::Blocking),
    VALIDATOR_INFO(HookSleepConditionVariableSRW, "SleepConditionVariableSRW", CallKind::Blocking),
};
#undef VALIDATOR_INFO

// Import names (i686 mangles size_t as j, x86_64 as y) and their hooks.
const struct {
    const char* import;
    Hooked hook;
} importNames[] = {
    {"malloc", HookMalloc},
    {"calloc", HookCalloc},
    {"realloc", HookRealloc},
    {"free", HookFree},
    {"_Znwj", HookNew},
    {"_Znwy", HookNew},
    {"_Znaj", HookNewArray},
    {"_Znay", HookNewArray},
    {"_ZnwjRKSt9nothrow_t", HookNewNothrow},
    {"_ZnwyRKSt9nothrow_t", HookNewNothrow},
    {"_ZnajRKSt9nothrow_t", HookNewArrayNothrow},
    {"_ZnayRKSt9nothrow_t", HookNewArrayNothrow},
    {"_ZdlPv", HookDelete},
    {"_ZdaPv", HookDeleteArray},
    {"_ZdlPvj", HookDeleteSized},
    {"_ZdlPvy", HookDeleteSized},
    {"_ZdaPvj", HookDeleteArraySized},
    {"_ZdaPvy", HookDeleteArraySized},
    {"HeapAlloc", HookHeapAlloc},
    {"HeapReAlloc", HookHeapReAlloc},
    {"HeapFree", HookHeapFree},
    {"VirtualAlloc", HookVirtualAlloc},
    {"WaitForSingleObject", HookWaitForSingleObject},
    {"WaitForSingleObjectEx", HookWaitForSingleObjectEx},
    {"WaitForMultipleObjects", HookWaitForMultipleObjects},
    {"Sleep", HookSleep},
    {"SleepEx", HookSleepEx},
    {"EnterCriticalSection", HookEnterCriticalSection},
    {"AcquireSRWLockExclusive", HookAcquireSRWLockExclusive},
    {"AcquireSRWLockShared", HookAcquireSRWLockShared},
    {"SleepConditionVariableCS", HookSleepConditionVariableCS},
    {"SleepConditionVariableSRW", HookSleepConditionVariableSRW},
};

int hookFor(const char* import)
{
    for (const auto& entry : importNames) {
        if (std::strcmp(entry.import, import) == 0) {
            return entry.hook;
        }
    }
    return -1;
}

bool writeSlot(void** slot, void* value)
{
    DWORD previous = 0;
    if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &previous)) {
        return false;
    }
    *slot = value;
    VirtualProtect(slot, sizeof(void*), previous, &previous);
    return true;
}

}  // namespace

ImportPatcher::ImportPatcher(void* module)
{
    if (module == nullptr) {
        return;
    }
    auto* const base = static_cast<unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) {
        return;
    }
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) {
        return;
    }
    for (auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         descriptor->Name != 0; ++descriptor) {
        if (descriptor->OriginalFirstThunk == 0) {
            continue;  // no name table beside the bound addresses
        }
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            const int hook = hookFor(reinterpret_cast<const char*>(byName->Name));
            if (hook < 0) {
                continue;
            }
            void** const slot = reinterpret_cast<void**>(&slots->u1.Function);
            void* const real = *slot;
            if (real == hookInfo[hook].hook) {
                continue;
            }
            originals[hook] = real;
            if (writeSlot(slot, hookInfo[hook].hook)) {
                patches.push_back({slot, real});
                patchedNames.push_back(reinterpret_cast<const char*>(byName->Name));
            }
        }
    }
}

ImportPatcher::~ImportPatcher()
{
    arm(false);
    for (const Patch& patch : patches) {
        writeSlot(patch.slot, patch.original);
    }
}

void ImportPatcher::arm(bool on)
{
    armed.store(on);
}

void ImportPatcher::resetCounts()
{
    for (auto& count : counts_) {
        count.store(0);
    }
}

std::vector<CallCount> ImportPatcher::counts()
{
    std::vector<CallCount> seen;
    for (int hook = 0; hook < HookCount; ++hook) {
        const uint32_t count = counts_[hook].load();
        if (count != 0) {
            seen.push_back({hookInfo[hook].function, hookInfo[hook].kind, count});
        }
    }
    return seen;
}

uint32_t ImportPatcher::total(CallKind kind)
{
    uint32_t sum = 0;
    for (int hook = 0; hook < HookCount; ++hook) {
        if (hookInfo[hook].kind == kind) {
            sum += counts_[hook].load();
        }
    }
    return sum;
}

}  // namespace validator
