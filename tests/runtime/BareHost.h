/* What the bare C hosts of these tests share: the effect record as a host
 * sees it, the entry's type, and a host callback that answers the version
 * request alone. */
#pragma once

#include <stdint.h>

typedef struct EffectRecord EffectRecord;
typedef intptr_t(__cdecl* HostCallback)(EffectRecord*, int32_t, int32_t, intptr_t, void*, float);
typedef intptr_t(__cdecl* Dispatcher)(EffectRecord*, int32_t, int32_t, intptr_t, void*, float);
typedef void(__cdecl* Process)(EffectRecord*, float**, float**, int32_t);
typedef void(__cdecl* SetParameter)(EffectRecord*, int32_t, float);
typedef float(__cdecl* GetParameter)(EffectRecord*, int32_t);
struct EffectRecord {
    int32_t magic;
    Dispatcher dispatcher;
    Process process;
    SetParameter setParameter;
    GetParameter getParameter;
    int32_t numPrograms, numParams, numInputs, numOutputs, flags;
    intptr_t reserved1, reserved2;
    int32_t initialDelay, realQualities, offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueID, version;
    Process processReplacing;
    void* processDoubleReplacing;
    char future[56];
};
typedef EffectRecord*(__cdecl* PluginMain)(HostCallback);

static intptr_t __cdecl host(EffectRecord* e, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    (void)e;
    (void)index;
    (void)value;
    (void)ptr;
    (void)opt;
    return opcode == 1 ? 2400 : 0; /* audioMasterVersion */
}
