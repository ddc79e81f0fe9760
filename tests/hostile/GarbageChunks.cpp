#include "GarbageChunks.h"

#include <cmath>
#include <cstring>

#include "GuardedMemory.h"
#include "HostileHost.h"
#include "HostileRandom.h"

namespace hostile_test {

namespace {

// A quiet host: a version, no time information, an unknown process level.
intptr_t __cdecl quietHost(EffectRecord*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : (opcode == audioMasterProcessEvents ? 1 : 0);
}

class ChunkBench {
public:
    ChunkBench(uint64_t seed, GarbageOutcome& outcome) : seed(seed), outcome(outcome) {}

    ~ChunkBench()
    {
        if (effect != nullptr) {
            enterCall(seed, step, "effClose");
            effect->dispatcherEntry(effect, effClose, 0, 0, nullptr, 0.0f);
            leaveCall();
        }
    }

    bool open(VstPluginMainProc entry)
    {
        enterCall(seed, step, "VSTPluginMain");
        effect = entry != nullptr ? entry(&quietHost) : nullptr;
        leaveCall();
        if (effect == nullptr)
            return fail("the entry gave no instance");
        dispatch(effOpen, 0, 0, nullptr, 0.0f);
        dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
        dispatch(effSetBlockSize, 0, blockFrames, nullptr, 0.0f);
        dispatch(effMainsChanged, 0, 1, nullptr, 0.0f);
        return true;
    }

    // Distinct values in every parameter, the engine's MIDI output in its
    // echo setting (so that rendering also talks back to the host), and
    // the state saved from them.
    bool makeState()
    {
        for (int32_t index = 0; index < effect->numParams; ++index) {
            char name[64] = {};
            dispatch(effGetParamName, index, 0, name, 0.0f);
            const float value =
                std::strcmp(name, "MIDI Out") == 0 ? 0.4f : static_cast<float>((index * 37) % 90 + 5) / 100.0f;
            enterCall(seed, step, "setParameter");
            effect->setParameterEntry(effect, index, value);
            leaveCall();
        }
        state = save();
        if (state.empty())
            return fail("the engine saved an empty state");
        return true;
    }

    std::vector<uint8_t> save()
    {
        void* data = nullptr;
        const intptr_t size = dispatch(effGetChunk, 0, 0, &data, 0.0f);
        if (size <= 0 || data == nullptr)
            return {};
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        return std::vector<uint8_t>(bytes, bytes + size);
    }

    // Restores `bytes` from guarded host memory, claiming `claimed` bytes
    // (or none at all: a null pointer).
    bool restore(const std::vector<uint8_t>& bytes, intptr_t claimed, bool nullData, const char* what)
    {
        GuardedArena arena;
        GuardedBlock& block = arena.make(bytes.size(), "host chunk");
        if (!bytes.empty())
            std::memcpy(block.data(), bytes.data(), bytes.size());
        block.keepSnapshot();
        const intptr_t answer = dispatch(effSetChunk, 0, claimed, nullData ? nullptr : block.data(), 0.0f);
        if (answer != 1)
            return fail(std::string(what) + ": effSetChunk answered " + std::to_string(static_cast<long long>(answer)));
        const std::string damage = arena.damage();
        if (!damage.empty())
            return fail(std::string(what) + ": " + damage);
        return failure().empty();
    }

    // A note pair over a fresh start of the engine (suspend, resume), in
    // blocks, as one run of samples, left and right interleaved by block.
    std::vector<float> renderPhrase()
    {
        dispatch(effMainsChanged, 0, 0, nullptr, 0.0f);
        dispatch(effMainsChanged, 0, 1, nullptr, 0.0f);
        std::vector<float> samples;
        const uint8_t noteOn[][3] = {{0x90, 60, 100}, {0x90, 67, 80}};
        const uint8_t noteOff[][3] = {{0x80, 60, 0}, {0x80, 67, 0}};
        events(noteOn, 37);
        for (int block = 0; block < 6; ++block)
            renderBlock(samples);
        events(noteOff, 101);
        for (int block = 0; block < 4; ++block)
            renderBlock(samples);
        return samples;
    }

    // One short block after a damaged restore: the instrument still renders
    // numbers.
    bool stillRenders(const char* what)
    {
        std::vector<float> samples;
        renderBlock(samples);
        for (float sample : samples) {
            if (!std::isfinite(sample))
                return fail(std::string(what) + ": the block after it rendered a sample that is not a number");
        }
        return failure().empty();
    }

    intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
    {
        enterCall(seed, step, "dispatcher");
        const intptr_t answer = effect->dispatcherEntry(effect, opcode, index, value, ptr, opt);
        if (!leaveCall())
            fail("a hardware exception was raised inside opcode " + std::to_string(opcode));
        return answer;
    }

    bool fail(const std::string& what)
    {
        if (outcome.failure.empty())
            outcome.failure = "seed " + std::to_string(seed) + ", mutation " + std::to_string(step) + ": " + what;
        return false;
    }

    const std::string& failure() const { return outcome.failure; }

    std::vector<uint8_t> state;
    int64_t step = 0;

private:
    template <size_t N>
    void events(const uint8_t (&messages)[N][3], int32_t deltaFrames)
    {
        VstMidiEvent midi[N];
        struct {
            int32_t numEvents;
            intptr_t reserved;
            VstEvent* events[N];
        } list{static_cast<int32_t>(N), 0, {}};
        for (size_t i = 0; i < N; ++i) {
            std::memset(&midi[i], 0, sizeof midi[i]);
            midi[i].type = kVstMidiType;
            midi[i].byteSize = 24;
            midi[i].deltaFrames = deltaFrames;
            std::memcpy(midi[i].midiData, messages[i], 3);
            list.events[i] = reinterpret_cast<VstEvent*>(&midi[i]);
        }
        dispatch(effProcessEvents, 0, 0, &list, 0.0f);
    }

    void renderBlock(std::vector<float>& samples)
    {
        std::vector<float> left(blockFrames), right(blockFrames);
        float* outputs[2] = {left.data(), right.data()};
        enterCall(seed, step, "processReplacing");
        effect->processReplacingEntry(effect, nullptr, outputs, blockFrames);
        if (!leaveCall())
            fail("a hardware exception was raised inside processReplacing");
        samples.insert(samples.end(), left.begin(), left.end());
        samples.insert(samples.end(), right.begin(), right.end());
    }

    static constexpr int32_t blockFrames = 256;
    uint64_t seed;
    GarbageOutcome& outcome;
    EffectRecord* effect = nullptr;
};

// One damaged copy of `good`, and the byte count the host claims for it.
struct Damage {
    std::vector<uint8_t> bytes;
    intptr_t claimed = 0;
    bool nullData = false;
    const char* kind = "";
};

Damage damage(HostileRandom& random, const std::vector<uint8_t>& good)
{
    Damage made;
    made.bytes = good;
    std::vector<uint8_t>& bytes = made.bytes;
    switch (random.below(7)) {
    case 0:
        made.kind = "bit flips";
        for (uint32_t n = random.between(1, 4); n > 0; --n)
            bytes[random.below(static_cast<uint32_t>(bytes.size()))] ^= static_cast<uint8_t>(1u << random.below(8));
        break;
    case 1:
        made.kind = "truncation";
        bytes.resize(random.below(static_cast<uint32_t>(bytes.size())));
        break;
    case 2:
        made.kind = "extension";
        for (uint32_t n = random.between(1, 512); n > 0; --n)
            bytes.push_back(random.byte());
        break;
    case 3: {
        made.kind = "a 32-bit word set huge or negative";
        static const uint32_t words[] = {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 0x80000001u,
                                         0xFFFFFF00u, 0x00010000u, 0x40000000u};
        const uint32_t word = random.chance(800) ? random.pick(words) : static_cast<uint32_t>(random.next());
        const size_t at = random.below(static_cast<uint32_t>(bytes.size() / 4)) * 4;
        std::memcpy(&bytes[at], &word, sizeof word);
        break;
    }
    case 4:
        made.kind = "random bytes";
        bytes.resize(random.below(1024));
        for (uint8_t& byte : bytes)
            byte = random.byte();
        break;
    case 5:
        made.kind = "a byte count that is negative or short of the bytes";
        made.claimed = random.chance(500) ? -static_cast<intptr_t>(random.between(1, 1 << 30))
                                          : static_cast<intptr_t>(random.below(static_cast<uint32_t>(bytes.size())));
        return made;
    default:
        made.kind = "a null pointer with a byte count";
        made.nullData = true;
        made.claimed = random.intptrBoundary();
        return made;
    }
    made.claimed = static_cast<intptr_t>(bytes.size());
    return made;
}

}  // namespace

GarbageOutcome restoreGarbageChunks(VstPluginMainProc entry, uint64_t seed, int64_t mutations)
{
    GarbageOutcome outcome;
    ChunkBench bench(seed, outcome);
    if (!bench.open(entry) || !bench.makeState())
        return outcome;
    outcome.state = bench.state;
    if (!bench.restore(bench.state, static_cast<intptr_t>(bench.state.size()), false, "the good chunk"))
        return outcome;
    outcome.phrase = bench.renderPhrase();

    HostileRandom random(seed);
    for (int64_t n = 1; n <= mutations; ++n) {
        bench.step = n;
        const Damage damaged = damage(random, bench.state);
        if (!bench.restore(damaged.bytes, damaged.claimed, damaged.nullData, damaged.kind) ||
            !bench.stillRenders(damaged.kind))
            return outcome;
        if (bench.save() != bench.state) {
            bench.fail(std::string(damaged.kind) + ": a damaged chunk changed the saved state");
            return outcome;
        }
        outcome.mutations = n;
        // Now and then, and at the end: the good chunk sounds as it did.
        if (n % 512 == 0 || n == mutations) {
            if (!bench.restore(bench.state, static_cast<intptr_t>(bench.state.size()), false, "the good chunk"))
                return outcome;
            const std::vector<float> phrase = bench.renderPhrase();
            if (phrase.size() != outcome.phrase.size() ||
                std::memcmp(phrase.data(), outcome.phrase.data(), phrase.size() * sizeof(float)) != 0) {
                bench.fail("the good chunk restored after damaged ones renders different samples");
                return outcome;
            }
        }
    }
    outcome.passed = bench.failure().empty();
    return outcome;
}

}  // namespace hostile_test
