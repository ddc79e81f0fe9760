// What the bridge test engine records and how a test steers it. The record is
// plain data shared by the test executable and the engine DLL (each with its
// own runtime), reached through the engine's export "GetBridgeProbe".
#pragma once

#include <cstdint>

#include "IKorvantaHost.h"
#include "SoftSynth.h"

namespace bridge_test {

enum class Call : int32_t {
    Suspend,
    Resume,
    SetSampleRate,    // real
    SetBlockSize,     // a
    ReceiveMidi,      // midi, a = deltaFrames
    RenderAdding,     // a = frames, b = outputs pointer was null, real = outputs[0][0] on entry
    RenderReplacing,  // a = frames, b = 1 when every sample of every output was 0.0 on entry
    SaveState,
    LoadState,       // a = bytes read
    GetParameter,    // a = index
    SetParameter,    // a = index, real = value
    SetProcessMode,  // a = mode
};

struct ProbeCall {
    Call call;
    int32_t a;
    int32_t b;
    uint8_t midi[4];
    double real;
};

constexpr int32_t probeCallRoom = 8192;
constexpr int32_t probeByteRoom = 512;
constexpr int32_t probeParameterRoom = 16;
constexpr int32_t probeMidiRoom = 16;

struct BridgeProbe {
    // Steering, read by the engine when it needs the value.
    int32_t outputCount;
    int32_t parameterCount;
    int32_t uniqueId;
    int32_t version;
    char vendorName[160];
    char productName[160];
    char outputName[160];
    float parameters[probeParameterRoom];
    int32_t echoOnSetParameter;        // report the written parameter back while inside setParameter
    uint8_t saveBytes[probeByteRoom];  // what saveState writes, byte by byte
    int32_t saveCount;
    int32_t saveThrowsAfter;               // >= 0: throw after writing that many bytes
    int32_t loadThrows;                    // loadState throws after reading
    uint8_t renderMidi[probeMidiRoom][4];  // sent through IMidiOut from every render call
    int32_t renderMidiDelta[probeMidiRoom];
    int32_t renderMidiCount;
    float renderValue;          // renderReplacing writes it into every sample (0: nothing written)
    int32_t idle;               // MIDI and rendering do nothing at all, not even recording
    int32_t unterminatedTexts;  // parameter texts fill every byte offered, with no terminator
    int32_t renderThrows;       // both renders throw after recording the call

    // Results.
    SoftSynth* engine;    // the latest engine object made
    IKorvantaHost* host;  // what attachHost received; null again after detachHost
    int32_t attachCount;
    int32_t detachCount;
    int32_t releaseCount;
    ProbeCall calls[probeCallRoom];
    int32_t callCount;              // may exceed probeCallRoom; later calls are not kept
    uint8_t loaded[probeByteRoom];  // bytes loadState read
    int32_t loadedCount;
};

// Restores the default steering (2 outputs, 8 parameters, texts "Bridge
// Vendor", "Bridge Synth", "Out") and clears every result.
typedef BridgeProbe*(__cdecl* BridgeProbeProc)(int32_t reset);

}  // namespace bridge_test
