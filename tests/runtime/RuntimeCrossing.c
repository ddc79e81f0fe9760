/* Which runtime arrangements keep the i686 state streams working: a stream
 * error thrown in the plug-in must be caught in the engine. Each arrangement
 * is a folder holding a Velmorant.dll and a VelmorantEngine.dll built either
 * against the shared GCC runtime (with the Velmorant.Runtime assembly beside
 * them) or with the runtime linked into the module itself. The program runs
 * every arrangement in a child process of its own, since a failing one ends
 * in std::terminate, and checks how each child ended against what the
 * toolchain's unwinder makes of that arrangement.
 * Written in C with the C runtime linked statically: the process brings no
 * GCC runtime of its own, as a host built with another compiler.
 *   RuntimeCrossing <folder of the arrangement folders>
 *   RuntimeCrossing --child <arrangement folder> [<DLL loaded first>] */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "BareHost.h"

enum { effClose = 1, effMainsChanged = 12, effGetChunk = 23, effSetChunk = 24 };

/* Child exit codes: 0 every step passed; these name the step that failed
 * without a crash. A child that terminates ends with the C runtime's abort
 * code instead. */
enum {
    ChildUsage = 20,
    ChildPreload,
    ChildLoad,
    ChildEntry,
    ChildInstance,
    ChildSave,
    ChildTruncatedRestore,
    ChildRestore,
    ChildRoundTrip,
    ChildClose
};

/* msvcrt's abort(), which std::terminate ends in, exits with this code. */
#define ABORT_EXIT_CODE 3u

/* Each step is announced before it runs, so the parent can tell where a
 * child that died stopped. */
static void step(const char* name)
{
    printf("step: %s\n", name);
    fflush(stdout);
}

static intptr_t saveChunk(EffectRecord* effect, char** copy)
{
    void* chunk = NULL;
    const intptr_t size = effect->dispatcher(effect, effGetChunk, 0, 0, &chunk, 0.0f);
    *copy = NULL;
    if (size <= 0 || !chunk)
        return 0;
    *copy = (char*)malloc((size_t)size);
    if (!*copy)
        return 0;
    memcpy(*copy, chunk, (size_t)size);
    return size;
}

static int runChild(const char* folder, const char* preload)
{
    char path[MAX_PATH];
    HMODULE plugin;
    PluginMain entry;
    EffectRecord* effect;
    char* saved;
    char* again;
    intptr_t size, againSize;
    float savedValue, left[64], right[64];
    float* outputs[2] = {left, right};
    int same;

    /* No dialog for a missing DLL or a crash: the parent reads the code. */
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    if (preload) {
        step("preload");
        if (!LoadLibraryA(preload))
            return ChildPreload;
    }
    step("load");
    snprintf(path, sizeof path, "%s\\Velmorant.dll", folder);
    plugin = LoadLibraryA(path);
    if (!plugin) {
        printf("load error %lu\n", GetLastError());
        return ChildLoad;
    }
    entry = (PluginMain)(void*)GetProcAddress(plugin, "VSTPluginMain");
    if (!entry)
        return ChildEntry;
    step("instantiate");
    effect = entry(host);
    if (!effect || effect->magic != 0x56737450)
        return ChildInstance;

    step("save");
    effect->dispatcher(effect, effMainsChanged, 0, 1, NULL, 0.0f);
    effect->processReplacing(effect, NULL, outputs, 64);
    effect->setParameter(effect, 0, 0.25f);
    savedValue = effect->getParameter(effect, 0);
    size = saveChunk(effect, &saved);
    if (size < 2)
        return ChildSave;

    /* Half a state: the engine reads past its end, the plug-in's stream
     * throws, and the engine's catch must be found by the unwinder. */
    step("truncated restore");
    if (effect->dispatcher(effect, effSetChunk, 0, size / 2, saved, 0.0f) != 1)
        return ChildTruncatedRestore;

    step("restore");
    effect->setParameter(effect, 0, 0.75f);
    if (effect->dispatcher(effect, effSetChunk, 0, size, saved, 0.0f) != 1)
        return ChildRestore;
    if (effect->getParameter(effect, 0) != savedValue)
        return ChildRoundTrip;
    againSize = saveChunk(effect, &again);
    same = againSize == size && memcmp(again, saved, (size_t)size) == 0;
    free(again);
    free(saved);
    if (!same)
        return ChildRoundTrip;

    step("close");
    effect->dispatcher(effect, effMainsChanged, 0, 0, NULL, 0.0f);
    if (effect->dispatcher(effect, effClose, 0, 0, NULL, 0.0f) != 1)
        return ChildClose;
    FreeLibrary(plugin);
    step("done");
    return 0;
}

/* One arrangement and how its child must end: the exit code, the last step
 * it announced, and a text its output must hold (NULL: none required). */
typedef struct {
    const char* name;
    const char* folder;
    const char* preload; /* relative to the root; NULL: nothing loaded first */
    DWORD exitCode;
    const char* lastStep;
    const char* text;
} Arrangement;

static const char terminateText[] = "terminate called after throwing an instance of 'Korvanta::StreamBufferException'";

static const Arrangement arrangements[] = {
    /* As shipped: one unwinder, in libgcc_s_dw2-1.dll, knows both modules. */
    {"shared plug-in, shared engine", "shared", NULL, 0, "done", NULL},
    /* The plug-in throws through its own unwinder, which knows only the
     * plug-in's frames: the engine's catch is never found. */
    {"static plug-in, shared engine", "plugin-static", NULL, ABORT_EXIT_CODE, "truncated restore", terminateText},
    /* Each module registers its frames with its own unwinder. */
    {"static plug-in, static engine", "both-static", NULL, ABORT_EXIT_CODE, "truncated restore", terminateText},
    /* A host that already holds libgcc_s_dw2-1.dll (another plug-in built
     * with the shared runtime): the static plug-in's start-up code registers
     * its frames with that DLL but throws through its own unwinder, so even
     * the registry error it throws and catches itself while locating the
     * engine ends the process. */
    {"static plug-in, static engine, shared runtime loaded first", "both-static",
     "shared\\Velmorant.Runtime\\libgcc_s_dw2-1.dll", ABORT_EXIT_CODE, "instantiate", NULL},
    /* The static engine catches with its own copy of the C++ runtime and
     * unwinder: the plug-in's throw ends the process as well. */
    {"shared plug-in, static engine", "engine-static", NULL, ABORT_EXIT_CODE, "truncated restore", NULL},
};

/* Runs one child with its output in `output`; answers its exit code, or
 * ~0 when it could not be started or did not end in time. */
static DWORD runArrangement(const char* self, const char* root, const Arrangement* a, char* output, size_t room)
{
    char commandLine[3 * MAX_PATH + 64];
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    STARTUPINFOA startup;
    PROCESS_INFORMATION child;
    HANDLE readEnd, writeEnd;
    DWORD exitCode = ~0u, got;
    size_t used = 0;

    if (a->preload)
        snprintf(commandLine, sizeof commandLine, "\"%s\" --child \"%s\\%s\" \"%s\\%s\"", self, root, a->folder, root,
                 a->preload);
    else
        snprintf(commandLine, sizeof commandLine, "\"%s\" --child \"%s\\%s\"", self, root, a->folder);
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return exitCode;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &child)) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        return exitCode;
    }
    CloseHandle(writeEnd);
    /* The pipe closes when the child ends, however it ends. */
    while (used + 1 < room && ReadFile(readEnd, output + used, (DWORD)(room - 1 - used), &got, NULL) && got > 0)
        used += got;
    output[used] = '\0';
    if (WaitForSingleObject(child.hProcess, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(child.hProcess, &exitCode);
    else
        TerminateProcess(child.hProcess, 1);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    CloseHandle(readEnd);
    return exitCode;
}

/* The name of the last step line in the output, or "" when there is none. */
static void lastStep(const char* output, char* name, size_t room)
{
    const char* at = output;
    const char* found = NULL;
    size_t length;
    while ((at = strstr(at, "step: ")) != NULL) {
        if (at == output || at[-1] == '\n')
            found = at + 6;
        at += 6;
    }
    name[0] = '\0';
    if (!found)
        return;
    length = strcspn(found, "\r\n");
    if (length >= room)
        length = room - 1;
    memcpy(name, found, length);
    name[length] = '\0';
}

int main(int argc, char** argv)
{
    static char output[16384];
    char self[MAX_PATH], last[64];
    const char* emulated = getenv("VELMORANT_EMULATED");
    size_t index;
    int failures = 0;

    if (argc >= 3 && strcmp(argv[1], "--child") == 0)
        return runChild(argv[2], argc >= 4 ? argv[3] : NULL);
    if (argc != 2) {
        printf("usage: RuntimeCrossing <folder of the arrangement folders>\n");
        return ChildUsage;
    }
    /* Under emulation every child start costs minutes. */
    if (emulated && strcmp(emulated, "0") != 0) {
        printf("RuntimeCrossing: skipped under emulation\n");
        return 77;
    }
    if (!GetModuleFileNameA(NULL, self, sizeof self))
        return ChildUsage;

    for (index = 0; index < sizeof arrangements / sizeof arrangements[0]; ++index) {
        const Arrangement* a = &arrangements[index];
        const DWORD code = runArrangement(self, argv[1], a, output, sizeof output);
        int ok;
        lastStep(output, last, sizeof last);
        ok = code == a->exitCode && strcmp(last, a->lastStep) == 0 && (!a->text || strstr(output, a->text));
        printf("%s: %s: exit code %lu (0x%08lX), last step \"%s\"\n", ok ? "ok" : "FAILED", a->name, code, code, last);
        if (!ok) {
            printf("  expected exit code %lu, last step \"%s\"%s%s\n  child output:\n%s\n", a->exitCode, a->lastStep,
                   a->text ? ", output holding: " : "", a->text ? a->text : "", output);
            ++failures;
        }
    }
    printf("RuntimeCrossing: %d of %d arrangements as expected\n",
           (int)(sizeof arrangements / sizeof arrangements[0]) - failures,
           (int)(sizeof arrangements / sizeof arrangements[0]));
    return failures == 0 ? 0 : 1;
}
