// The real-time entries: MIDI intake, replacing and accumulating rendering.
// Each refreshes the transport once per block, reports the process level
// after a resume, and hands its work to the engine. Nothing here allocates.
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "bridge/MidiIntake.h"
#include "shell/Velmorant.h"
#include "trace/TraceMessage.h"

namespace {

enum class Entry { Events, Replacing, Adding };

// The transport trace lines, off the common path: only blocks whose host
// record marks a change reach them. Their texts are kept on purpose:
// debug-output readers match them.
[[gnu::noinline, gnu::cold]] void traceTransport(Entry entry, const VstTimeInfo& time)
{
    const char* const suffix = (time.flags & kVstTransportPlaying) != 0 ? " -- start!" : " -- stop!";
    switch (entry) {
    case Entry::Events:
        traceMessage("%f %f processEvents%s\n", time.samplePos, time.ppqPos, suffix);
        break;
    case Entry::Replacing:
        traceMessage("%f %f processReplacing%s\n", time.samplePos, time.ppqPos, suffix);
        break;
    case Entry::Adding:
        traceMessage("%f %f process%s\n", time.samplePos, time.ppqPos, suffix);
        break;
    }
}

[[gnu::noinline, gnu::cold]] void traceCompleted(const VstTimeInfo& time)
{
    traceMessage("%f %f process completed\n", time.samplePos, time.ppqPos);
}

// Silence for one channel, every channel of every block. Short blocks get
// their zeros stored here, saving the call into the C library that dominates
// them: 16-byte stores where SSE2 is certain (x86_64), 4-byte stores
// elsewhere. Longer blocks use the library's memset.
constexpr size_t shortBlock = 128;

void clearSamples(float* samples, size_t count)
{
    if (count > shortBlock) {
        std::memset(samples, 0, sizeof(float) * count);
        return;
    }
    size_t i = 0;
#if defined(__SSE2__)
    const __m128 zero = _mm_setzero_ps();
    for (; i + 8 <= count; i += 8) {
        _mm_storeu_ps(samples + i, zero);
        _mm_storeu_ps(samples + i + 4, zero);
    }
    if (i + 4 <= count) {
        _mm_storeu_ps(samples + i, zero);
        i += 4;
    }
    for (; i < count; ++i)
        _mm_store_ss(samples + i, zero);
#else
    // Written out: a plain loop would be turned back into the memset call.
    for (; i + 8 <= count; i += 8) {
        float* const eight = samples + i;
        eight[0] = eight[1] = eight[2] = eight[3] = 0.0f;
        eight[4] = eight[5] = eight[6] = eight[7] = 0.0f;
    }
    if (i + 4 <= count) {
        samples[i] = samples[i + 1] = samples[i + 2] = samples[i + 3] = 0.0f;
        i += 4;
    }
    if (i + 2 <= count) {
        samples[i] = samples[i + 1] = 0.0f;
        i += 2;
    }
    if (i < count)
        samples[i] = 0.0f;
#endif
}

// True when every channel the effect declares can be written: the engine
// renders into all of them, so a missing array or channel means no render.
bool outputsUsable(float* const* outputs, int32_t channels)
{
    if (outputs == nullptr)
        return channels <= 0;
    for (int32_t c = 0; c < channels; ++c) {
        if (outputs[c] == nullptr)
            return false;
    }
    return true;
}

}  // namespace

// "effProcessEvents": answers 1, also without an engine (the events are then dropped).
int32_t Velmorant::processEvents(VstEvents* events)
{
    transport.refresh(host);
    if (transport.changed())
        traceTransport(Entry::Events, transport.time());
    if (engine == nullptr)
        return 1;
    processLevel.ensureReported(*engine, host);
    bridge::deliverMidiEvents(*engine, events, transport.time());
    return 1;
}

// The replacing render: outputs are cleared first (so the engine starts from
// silence, and an engine-less instance delivers silence). A null output array
// or channel, or a negative frame count, leaves the buffers alone and the
// engine is not asked to render into them; the block still ends normally.
void Velmorant::processReplacing(float** /*inputs*/, float** outputs, int32_t sampleFrames)
{
    const int32_t channels = effect.numOutputs;
    bool usable = channels <= 0;
    if (outputs != nullptr) {
        usable = true;
        const size_t frames = sampleFrames > 0 ? static_cast<size_t>(sampleFrames) : 0;
        for (int32_t c = 0; c < channels; ++c) {
            if (float* const channel = outputs[c]) {
                clearSamples(channel, frames);
            } else {
                usable = false;
            }
        }
    }

    transport.refresh(host);
    const bool changed = transport.changed();
    if (changed)
        traceTransport(Entry::Replacing, transport.time());
    // The block ends before the engine renders: should the engine throw, the
    // next block still asks the host for its time.
    transport.endBlock();
    if (engine != nullptr) {
        processLevel.ensureReported(*engine, host);
        if (usable && sampleFrames >= 0)
            engine->renderReplacing(outputs, sampleFrames);
    }
    if (changed)
        traceCompleted(transport.time());
}

// Like the framework's entries, it finds the object through the record and
// lets nothing unwind into the host.
void __cdecl Velmorant::replacingEntry(EffectRecord* record, float** inputs, float** outputs, int32_t sampleFrames)
{
    if (record == nullptr || record->object == nullptr)
        return;
    try {
        static_cast<Velmorant*>(static_cast<AudioEffect*>(record->object))
            ->processReplacing(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

// The accumulating render: the engine adds into what the host left in the
// buffers, so nothing is cleared. Same guards as processReplacing.
void Velmorant::process(float** /*inputs*/, float** outputs, int32_t sampleFrames)
{
    transport.refresh(host);
    const bool changed = transport.changed();
    if (changed)
        traceTransport(Entry::Adding, transport.time());
    transport.endBlock();
    if (engine != nullptr) {
        processLevel.ensureReported(*engine, host);
        if (sampleFrames >= 0 && outputsUsable(outputs, effect.numOutputs))
            engine->renderAdding(outputs, sampleFrames);
    }
    if (changed)
        traceCompleted(transport.time());
}
