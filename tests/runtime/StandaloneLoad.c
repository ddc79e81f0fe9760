/* A bare host: loads the plug-in from a folder of its own with plain
 * LoadLibraryA, as a DAW does, and exercises a path where exceptions cross
 * between the plug-in and its engine (state save and restore). Written in C
 * with the C runtime linked statically, so it brings no GCC runtime into the
 * process: the plug-in and the engine must find theirs beside themselves.
 * Usage: StandaloneLoad <folder holding Velmorant.dll and its engine> */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "BareHost.h"

static int fail(const char* what)
{
    printf("StandaloneLoad: FAILED: %s (error %lu)\n", what, GetLastError());
    return 1;
}

int main(int argc, char** argv)
{
    char path[MAX_PATH];
    HMODULE plugin;
    PluginMain entry;
    EffectRecord* effect;
    void* chunk = NULL;
    intptr_t size;
    char* copy;
    float left[64], right[64];
    float* outputs[2] = {left, right};

    if (argc < 2)
        return fail("usage: StandaloneLoad <plug-in folder>");
    snprintf(path, sizeof path, "%s\\Velmorant.dll", argv[1]);
    plugin = LoadLibraryA(path);
    if (!plugin)
        return fail("LoadLibraryA of the plug-in");
    entry = (PluginMain)(void*)GetProcAddress(plugin, "VSTPluginMain");
    if (!entry)
        return fail("VSTPluginMain export");
    effect = entry(host);
    if (!effect || effect->magic != 0x56737450)
        return fail("instantiation");

    effect->dispatcher(effect, 12, 0, 1, NULL, 0.0f); /* effMainsChanged on */
    effect->processReplacing(effect, NULL, outputs, 64);
    size = effect->dispatcher(effect, 23, 0, 0, &chunk, 0.0f); /* effGetChunk */
    if (size <= 0 || !chunk)
        return fail("state save");
    copy = (char*)malloc((size_t)size);
    memcpy(copy, chunk, (size_t)size);
    /* A truncated state makes the engine read past the end: the plug-in's
     * stream throws, the engine must catch it. */
    if (effect->dispatcher(effect, 24, 0, size / 2, copy, 0.0f) != 1)
        return fail("truncated restore");
    if (effect->dispatcher(effect, 24, 0, size, copy, 0.0f) != 1)
        return fail("state restore");
    free(copy);
    effect->dispatcher(effect, 12, 0, 0, NULL, 0.0f);
    if (effect->dispatcher(effect, 1, 0, 0, NULL, 0.0f) != 1)
        return fail("effClose");
    FreeLibrary(plugin);
    printf("StandaloneLoad: loaded, saved %d bytes, restored, closed\n", (int)size);
    return 0;
}
