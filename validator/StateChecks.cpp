// state.*: a saved state loads into a fresh engine and saves to the same
// bytes; damaged states (empty, truncated, bit-flipped, random) are harmless:
// no crash, no exception but a stream error out of loadState, and the next
// note sounds as before the load or as a fresh engine's.
#include <random>

#include "ByteStreams.h"
#include "Checks.h"
#include "Rendering.h"
#include "StreamBufferException.h"

namespace validator {

namespace {

constexpr float sampleRate = 44100.0f;
constexpr int32_t blockSize = 512;
constexpr size_t maxLoads = 64;

bool save(EngineInstance& engine, std::vector<uint8_t>& bytes, Verdict& verdict)
{
    ByteOutput stream;
    try {
        engine.saveState(stream);
    } catch (...) {
        verdict.fail("saveState", "no exception", "an exception");
        return false;
    }
    bytes = stream.bytes;
    return true;
}

// A short note on a resumed engine: the sound compared before and after loads.
Sound noteSound(EngineInstance& engine)
{
    engine.start(sampleRate, blockSize);
    Scenario scenario;
    scenario.noteOn(100, 64, 100);
    scenario.noteOff(6000, 64);
    scenario.frames = 12000;
    return render(engine, scenario, RenderOptions());
}

enum class LoadOutcome { Returned, StreamError, OtherException };

LoadOutcome load(EngineInstance& engine, const std::vector<uint8_t>& bytes)
{
    ByteInput stream(bytes);
    try {
        engine.loadState(stream);
    } catch (const Korvanta::StreamBufferException&) {
        return LoadOutcome::StreamError;
    } catch (...) {
        return LoadOutcome::OtherException;
    }
    return LoadOutcome::Returned;
}

void roundTrip(CheckContext& context, Verdict& verdict)
{
    EngineInstance original(context.module);
    EngineInstance fresh(context.module);
    if (!original.created() || !fresh.created()) {
        verdict.fail("no engine object from the factory");
        return;
    }
    setDistinctParameters(original, 1);
    std::vector<uint8_t> saved;
    std::vector<uint8_t> again;
    if (!save(original, saved, verdict)) {
        return;
    }
    if (load(fresh, saved) != LoadOutcome::Returned) {
        verdict.fail("loadState of a state just saved", "no exception", "an exception");
        return;
    }
    if (!save(fresh, again, verdict)) {
        return;
    }
    verdict.note(format("state of %u bytes", static_cast<unsigned>(saved.size())));
    if (again != saved) {
        size_t first = 0;
        while (first < saved.size() && first < again.size() && saved[first] == again[first]) {
            ++first;
        }
        verdict.fail("save, load into a fresh engine, save",
                     format("the same %u bytes", static_cast<unsigned>(saved.size())),
                     format("%u bytes, first difference at byte %u", static_cast<unsigned>(again.size()),
                            static_cast<unsigned>(first)));
    }
    for (int32_t index = 0; index < original.getParameterCount() && index < 10000; ++index) {
        if (!(original.getParameter(index) == fresh.getParameter(index))) {
            verdict.fail(format("parameter %d after the load", index), format("%g", original.getParameter(index)),
                         format("%g", fresh.getParameter(index)));
        }
    }
}

// Loads every damaged state into one engine set away from its defaults, then
// compares its note with an untouched twin's and with a fresh engine's.
void loadDamaged(CheckContext& context, Verdict& verdict, const char* kind,
                 const std::vector<std::vector<uint8_t>>& states)
{
    EngineInstance loaded(context.module);
    EngineInstance twin(context.module);
    EngineInstance defaults(context.module);
    if (!loaded.created() || !twin.created() || !defaults.created()) {
        verdict.fail("no engine object from the factory");
        return;
    }
    setDistinctParameters(loaded, 1);
    setDistinctParameters(twin, 1);
    int streamErrors = 0;
    for (const std::vector<uint8_t>& state : states) {
        const LoadOutcome outcome = load(loaded, state);
        if (outcome == LoadOutcome::OtherException) {
            verdict.fail(format("loadState of %s (%u bytes)", kind, static_cast<unsigned>(state.size())),
                         "no exception other than Korvanta::StreamBufferException", "another exception");
            return;
        }
        streamErrors += outcome == LoadOutcome::StreamError ? 1 : 0;
    }
    if (streamErrors > 0) {
        verdict.note(format("a stream error left loadState %d times (the plug-in does not catch it)", streamErrors));
    }
    const Sound after = noteSound(loaded);
    const double fromBefore = largestDifference(after, noteSound(twin));
    const double fromDefaults = largestDifference(after, noteSound(defaults));
    if (fromBefore == 0.0) {
        verdict.note(format("keeps its sound after %u loads", static_cast<unsigned>(states.size())));
    } else if (fromDefaults == 0.0) {
        verdict.note(format("restores its defaults after %u loads", static_cast<unsigned>(states.size())));
    } else {
        verdict.fail(format("a note after loading %u %s states", static_cast<unsigned>(states.size()), kind),
                     "the sound from before the loads, or the defaults' sound",
                     format("differences of %g from before and %g from the defaults", fromBefore, fromDefaults));
    }
}

// A valid state of other values than the engine under test holds.
bool validState(CheckContext& context, std::vector<uint8_t>& bytes, Verdict& verdict)
{
    EngineInstance source(context.module);
    if (!source.created()) {
        verdict.fail("no engine object from the factory");
        return false;
    }
    setDistinctParameters(source, 2);
    return save(source, bytes, verdict);
}

void empty(CheckContext& context, Verdict& verdict)
{
    loadDamaged(context, verdict, "empty", {std::vector<uint8_t>()});
}

void truncated(CheckContext& context, Verdict& verdict)
{
    std::vector<uint8_t> valid;
    if (!validState(context, valid, verdict)) {
        return;
    }
    std::vector<std::vector<uint8_t>> states;
    const size_t step = valid.size() / maxLoads + 1;
    for (size_t length = 1; length < valid.size(); length += step) {
        states.emplace_back(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(length));
    }
    if (valid.size() > 1) {
        states.emplace_back(valid.begin(), valid.end() - 1);
    }
    if (states.empty()) {
        verdict.skip("the saved state has fewer than two bytes: nothing to truncate");
        return;
    }
    loadDamaged(context, verdict, "truncated", states);
}

void bitFlipped(CheckContext& context, Verdict& verdict)
{
    std::vector<uint8_t> valid;
    if (!validState(context, valid, verdict)) {
        return;
    }
    if (valid.empty()) {
        verdict.skip("the saved state is empty: no bit to flip");
        return;
    }
    std::mt19937 random(context.options.seed);
    std::vector<std::vector<uint8_t>> states;
    for (size_t i = 0; i < maxLoads; ++i) {
        std::vector<uint8_t> state = valid;
        const size_t bits = valid.size() * 8;
        const size_t bit = bits <= maxLoads ? i % bits : random() % bits;
        state[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        states.push_back(state);
    }
    verdict.note(format("seed %u", static_cast<unsigned>(context.options.seed)));
    loadDamaged(context, verdict, "bit-flipped", states);
}

void randomBytes(CheckContext& context, Verdict& verdict)
{
    std::vector<uint8_t> valid;
    if (!validState(context, valid, verdict)) {
        return;
    }
    std::mt19937 random(context.options.seed);
    std::vector<std::vector<uint8_t>> states;
    for (size_t i = 0; i < maxLoads / 2; ++i) {
        std::vector<uint8_t> state(1 + random() % 512);
        for (uint8_t& byte : state) {
            byte = static_cast<uint8_t>(random());
        }
        // Every other one starts like a valid state, to get past a header check.
        if (i % 2 == 1) {
            for (size_t b = 0; b < state.size() && b < valid.size() && b < 12; ++b) {
                state[b] = valid[b];
            }
        }
        states.push_back(state);
    }
    verdict.note(format("seed %u", static_cast<unsigned>(context.options.seed)));
    loadDamaged(context, verdict, "random", states);
}

}  // namespace

void addStateChecks(std::vector<CheckDefinition>& checks)
{
    checks.push_back({"state.roundtrip", roundTrip});
    checks.push_back({"state.load.empty", empty});
    checks.push_back({"state.load.truncated", truncated});
    checks.push_back({"state.load.bitflip", bitFlipped});
    checks.push_back({"state.load.random", randomBytes});
}

}  // namespace validator
