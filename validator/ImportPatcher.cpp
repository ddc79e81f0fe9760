#include "ImportPatcher.h"

#include <windows.h>

#include <atomic>
#include <cstring>

namespace validator {

namespace {

// C++ operators are imported by their mangled names, which spell size_t
// "j" on i686 and "y" on x86_64.
#if defined(_WIN64)
#define VALIDATOR_SIZE "y"
#else
#define VALIDATOR_SIZE "j"
#endif

// Every hooked function, once: the hook's name, the name reports give, the
// kind of call, the import it replaces, then its result, calling convention,
// parameters and the arguments it forwards.
#define VALIDATOR_HOOKS(HOOK)                                                                                          \
    HOOK(Malloc, "malloc", Allocation, "malloc", void*, __cdecl, (size_t size), (size))                                \
    HOOK(Calloc, "calloc", Allocation, "calloc", void*, __cdecl, (size_t count, size_t size), (count, size))           \
    HOOK(Realloc, "realloc", Allocation, "realloc", void*, __cdecl, (void* block, size_t size), (block, size))         \
    HOOK(Free, "free", Allocation, "free", void, __cdecl, (void* block), (block))                                      \
    HOOK(New, "operator new", Allocation, "_Znw" VALIDATOR_SIZE, void*, __cdecl, (size_t size), (size))                \
    HOOK(NewArray, "operator new[]", Allocation, "_Zna" VALIDATOR_SIZE, void*, __cdecl, (size_t size), (size))         \
    HOOK(NewNothrow, "operator new(nothrow)", Allocation, "_Znw" VALIDATOR_SIZE "RKSt9nothrow_t", void*, __cdecl,      \
         (size_t size, const void* tag), (size, tag))                                                                  \
    HOOK(NewArrayNothrow, "operator new[](nothrow)", Allocation, "_Zna" VALIDATOR_SIZE "RKSt9nothrow_t", void*,        \
         __cdecl, (size_t size, const void* tag), (size, tag))                                                         \
    HOOK(Delete, "operator delete", Allocation, "_ZdlPv", void, __cdecl, (void* block), (block))                       \
    HOOK(DeleteArray, "operator delete[]", Allocation, "_ZdaPv", void, __cdecl, (void* block), (block))                \
    HOOK(DeleteSized, "operator delete(sized)", Allocation, "_ZdlPv" VALIDATOR_SIZE, void, __cdecl,                    \
         (void* block, size_t size), (block, size))                                                                    \
    HOOK(DeleteArraySized, "operator delete[](sized)", Allocation, "_ZdaPv" VALIDATOR_SIZE, void, __cdecl,             \
         (void* block, size_t size), (block, size))                                                                    \
    HOOK(HeapAlloc, "HeapAlloc", Allocation, "HeapAlloc", LPVOID, WINAPI, (HANDLE heap, DWORD flags, SIZE_T size),     \
         (heap, flags, size))                                                                                          \
    HOOK(HeapReAlloc, "HeapReAlloc", Allocation, "HeapReAlloc", LPVOID, WINAPI,                                        \
         (HANDLE heap, DWORD flags, LPVOID block, SIZE_T size), (heap, flags, block, size))                            \
    HOOK(HeapFree, "HeapFree", Allocation, "HeapFree", BOOL, WINAPI, (HANDLE heap, DWORD flags, LPVOID block),         \
         (heap, flags, block))                                                                                         \
    HOOK(VirtualAlloc, "VirtualAlloc", Allocation, "VirtualAlloc", LPVOID, WINAPI,                                     \
         (LPVOID address, SIZE_T size, DWORD type, DWORD protect), (address, size, type, protect))                     \
    HOOK(WaitForSingleObject, "WaitForSingleObject", Blocking, "WaitForSingleObject", DWORD, WINAPI,                   \
         (HANDLE object, DWORD timeout), (object, timeout))                                                            \
    HOOK(WaitForSingleObjectEx, "WaitForSingleObjectEx", Blocking, "WaitForSingleObjectEx", DWORD, WINAPI,             \
         (HANDLE object, DWORD timeout, BOOL alertable), (object, timeout, alertable))                                 \
    HOOK(WaitForMultipleObjects, "WaitForMultipleObjects", Blocking, "WaitForMultipleObjects", DWORD, WINAPI,          \
         (DWORD count, const HANDLE* objects, BOOL all, DWORD timeout), (count, objects, all, timeout))                \
    HOOK(Sleep, "Sleep", Blocking, "Sleep", void, WINAPI, (DWORD milliseconds), (milliseconds))                        \
    HOOK(SleepEx, "SleepEx", Blocking, "SleepEx", DWORD, WINAPI, (DWORD milliseconds, BOOL alertable),                 \
         (milliseconds, alertable))                                                                                    \
    HOOK(EnterCriticalSection, "EnterCriticalSection", Blocking, "EnterCriticalSection", void, WINAPI,                 \
         (LPCRITICAL_SECTION section), (section))                                                                      \
    HOOK(AcquireSRWLockExclusive, "AcquireSRWLockExclusive", Blocking, "AcquireSRWLockExclusive", void, WINAPI,        \
         (PSRWLOCK lock), (lock))                                                                                      \
    HOOK(AcquireSRWLockShared, "AcquireSRWLockShared", Blocking, "AcquireSRWLockShared", void, WINAPI,                 \
         (PSRWLOCK lock), (lock))                                                                                      \
    HOOK(SleepConditionVariableCS, "SleepConditionVariableCS", Blocking, "SleepConditionVariableCS", BOOL, WINAPI,     \
         (PCONDITION_VARIABLE variable, PCRITICAL_SECTION section, DWORD timeout), (variable, section, timeout))       \
    HOOK(SleepConditionVariableSRW, "SleepConditionVariableSRW", Blocking, "SleepConditionVariableSRW", BOOL, WINAPI,  \
         (PCONDITION_VARIABLE variable, PSRWLOCK lock, DWORD timeout, ULONG flags), (variable, lock, timeout, flags))

enum Hooked : int {
#define VALIDATOR_ENUM(hook, ...) Hook##hook,
    VALIDATOR_HOOKS(VALIDATOR_ENUM)
#undef VALIDATOR_ENUM
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

// Each hook counts the call, then makes it.
#define VALIDATOR_DEFINE(hook, function, kind, import, result, convention, parameters, arguments)                      \
    result convention hooked##hook parameters                                                                          \
    {                                                                                                                  \
        counted(Hook##hook);                                                                                           \
        return original<result(convention*) parameters>(Hook##hook) arguments;                                         \
    }
VALIDATOR_HOOKS(VALIDATOR_DEFINE)
#undef VALIDATOR_DEFINE

struct HookInfo {
    const char* function;  // as reported
    CallKind kind;
    const char* import;
    void* hook;
};

const HookInfo hookInfo[HookCount] = {
#define VALIDATOR_INFO(hook, function, kind, import, ...)                                                              \
    {function, CallKind::kind, import, reinterpret_cast<void*>(&hooked##hook)},
    VALIDATOR_HOOKS(VALIDATOR_INFO)
#undef VALIDATOR_INFO
};

int hookFor(const char* import)
{
    for (int hook = 0; hook < HookCount; ++hook) {
        if (std::strcmp(hookInfo[hook].import, import) == 0) {
            return hook;
        }
    }
    return -1;
}

#undef VALIDATOR_HOOKS
#undef VALIDATOR_SIZE

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
