// audio.*: silence without notes, sound after a note-on, silence again in a
// stated time after the note-off, clean and bounded samples, the same samples
// whatever the block size, every usual sample rate, and the two render calls'
// treatment of what the buffers already hold.
#include <cmath>

#include "Checks.h"
#include "Rendering.h"

namespace validator {

namespace {

constexpr float defaultRate = 44100.0f;
constexpr double releaseLimitSeconds = 10.0;
const float sampleRates[] = {44100.0f, 48000.0f, 96000.0f, 192000.0f};
const int32_t blockSizes[] = {4096, 512, 64, 17, 1};

bool started(EngineInstance& engine, Verdict& verdict, float rate = defaultRate, int32_t block = 512)
{
    if (!engine.created()) {
        verdict.fail("no engine object from the factory");
        return false;
    }
    engine.start(rate, block);
    return true;
}

void silence(CheckContext& context, Verdict& verdict)
{
    EngineInstance engine(context.module);
    if (!started(engine, verdict)) {
        return;
    }
    Scenario scenario;
    scenario.frames = static_cast<int64_t>(defaultRate);
    const float loudest = peak(render(engine, scenario, RenderOptions()));
    if (loudest > silenceThreshold) {
        verdict.fail("1 s without notes", format("silence (peak at most %g)", silenceThreshold),
                     format("peak %g", loudest));
    }
}

// Sound after the first note-on, and silence within the limit after the last note-off.
void judgeNote(Verdict& verdict, const Sound& sound, const Scenario& scenario, const char* where)
{
    const int64_t noteOn = scenario.midi.front().frame;
    const int64_t noteOff = scenario.midi.back().frame;
    const float before = peak(sound, 0, noteOn);
    if (before > silenceThreshold) {
        verdict.fail(format("%sbefore the first note", where), "silence", format("peak %g", before));
    }
    const float loudest = peak(sound, noteOn, noteOff);
    if (loudest < soundThreshold) {
        verdict.fail(format("%swhile notes are held", where), format("sound (peak at least %g)", soundThreshold),
                     format("peak %g", loudest));
    }
}

void noteOn(CheckContext& context, Verdict& verdict)
{
    EngineInstance engine(context.module);
    if (!started(engine, verdict)) {
        return;
    }
    const Scenario scenario = chordScenario(defaultRate, 0.5);
    judgeNote(verdict, render(engine, scenario, RenderOptions()), scenario, "");
}

// Frames after the last note-off until the sound stays silent; -1 when it never does.
double releaseSeconds(const Sound& sound, const Scenario& scenario, double rate)
{
    const int64_t silent = silentFrom(sound, silenceThreshold);
    const int64_t tailEnd = scenario.frames - static_cast<int64_t>(rate * 0.1);
    if (silent > tailEnd) {
        return -1.0;
    }
    const int64_t noteOff = scenario.midi.back().frame;
    return silent <= noteOff ? 0.0 : static_cast<double>(silent - noteOff) / rate;
}

void noteOff(CheckContext& context, Verdict& verdict)
{
    EngineInstance engine(context.module);
    if (!started(engine, verdict)) {
        return;
    }
    const Scenario scenario = chordScenario(defaultRate, releaseLimitSeconds + 0.1);
    const double seconds = releaseSeconds(render(engine, scenario, RenderOptions()), scenario, defaultRate);
    if (seconds < 0.0) {
        verdict.fail("after the last note-off", format("silence within %g s", releaseLimitSeconds),
                     format("still sounding %g s later", releaseLimitSeconds));
    } else {
        verdict.note(format("silent %.3f s after the last note-off (limit %g s)", seconds, releaseLimitSeconds));
    }
}

// The chord at every sample rate, and at 44.1 kHz with all parameters at 0
// and at 1, where filters and envelopes are most likely to misbehave.
template <typename Judge>
void everyRender(CheckContext& context, Verdict& verdict, Judge judge)
{
    struct Setting {
        float rate;
        int extreme;  // -1 defaults, else every parameter at this value
    };
    std::vector<Setting> settings;
    for (float rate : sampleRates) {
        settings.push_back({rate, -1});
    }
    settings.push_back({defaultRate, 0});
    settings.push_back({defaultRate, 1});
    for (const Setting& setting : settings) {
        EngineInstance engine(context.module);
        if (!started(engine, verdict, setting.rate)) {
            return;
        }
        if (setting.extreme >= 0) {
            for (int32_t index = 0; index < engine.getParameterCount() && index < 10000; ++index) {
                engine.setParameter(index, static_cast<float>(setting.extreme));
            }
        }
        const Scenario scenario = chordScenario(setting.rate, 1.0);
        const std::string where = setting.extreme < 0 ? format("at %g Hz", setting.rate)
                                                      : format("with every parameter at %d", setting.extreme);
        judge(render(engine, scenario, RenderOptions()), where);
    }
}

void finite(CheckContext& context, Verdict& verdict)
{
    everyRender(context, verdict, [&](const Sound& sound, const std::string& where) {
        const int64_t bad = countNonFinite(sound);
        const int64_t denormal = countDenormal(sound);
        if (bad > 0) {
            verdict.fail("samples " + where, "no NaN or infinity", format("%lld", static_cast<long long>(bad)));
        }
        if (denormal > 0) {
            verdict.fail("samples " + where, "no denormal", format("%lld", static_cast<long long>(denormal)));
        }
    });
}

void peakLevel(CheckContext& context, Verdict& verdict)
{
    float loudest = 0.0f;
    everyRender(context, verdict, [&](const Sound& sound, const std::string& where) {
        const float level = peak(sound);
        loudest = std::fmax(loudest, level);
        if (level > 1.0f) {
            verdict.fail("peak of a full-velocity chord " + where, "at most 1.0 (full scale)", format("%g", level));
        }
    });
    verdict.note(format("loudest peak %g", loudest));
}

// The chord at every block size, with the default parameters and with the
// distinct pattern; each against its render at 4096.
void blockInvariance(CheckContext& context, Verdict& verdict)
{
    const bool exact = context.module.declaresSampleAccurate();
    const Scenario scenario = chordScenario(defaultRate, 1.0);
    const double audioSeconds = static_cast<double>(scenario.frames) / defaultRate;
    double largest = 0.0;
    int32_t worstBlock = 0;
    const char* worstPattern = "";
    for (int pattern = 0; pattern < 2; ++pattern) {
        Sound reference;
        for (int32_t block : blockSizes) {
            EngineInstance engine(context.module);
            if (!started(engine, verdict, defaultRate, block)) {
                return;
            }
            if (pattern == 1) {
                setDistinctParameters(engine, 1);
            }
            double seconds = 0.0;
            RenderOptions options;
            options.blockSize = block;
            options.renderSeconds = &seconds;
            Sound sound = render(engine, scenario, options);
            if (pattern == 0) {
                verdict.note(format("real-time factor at block size %d: %.1f", block,
                                    seconds > 0.0 ? audioSeconds / seconds : INFINITY));
            }
            if (reference.empty()) {
                reference = std::move(sound);
                continue;
            }
            const double difference = largestDifference(reference, sound);
            if (difference > largest) {
                largest = difference;
                worstBlock = block;
                worstPattern = pattern == 0 ? "default parameters" : "parameters set away from the defaults";
            }
        }
    }
    if (largest == 0.0) {
        verdict.note("identical samples at block sizes 4096, 512, 64, 17 and 1");
    } else if (exact) {
        verdict.fail(
            format("block size %d against 4096 (%s), events at the same sample positions", worstBlock, worstPattern),
            "identical samples (the engine declares itself sample-accurate)", format("largest difference %g", largest));
    } else {
        verdict.note(format("warning: block size %d differs from 4096 by up to %g with %s (the engine does not "
                            "declare itself sample-accurate)",
                            worstBlock, largest, worstPattern));
    }
}

void sampleRateRange(CheckContext& context, Verdict& verdict)
{
    for (float rate : sampleRates) {
        EngineInstance engine(context.module);
        if (!started(engine, verdict, rate)) {
            return;
        }
        const Scenario scenario = chordScenario(rate, releaseLimitSeconds + 0.1);
        const Sound sound = render(engine, scenario, RenderOptions());
        const std::string where = format("at %g Hz, ", rate);
        judgeNote(verdict, sound, scenario, where.c_str());
        const double seconds = releaseSeconds(sound, scenario, rate);
        if (seconds < 0.0) {
            verdict.fail(where + "after the last note-off", format("silence within %g s", releaseLimitSeconds),
                         "still sounding");
        }
    }
}

// renderAdding adds its sound to what the buffers hold.
void adding(CheckContext& context, Verdict& verdict)
{
    EngineInstance replacing(context.module);
    EngineInstance addingEngine(context.module);
    if (!started(replacing, verdict) || !started(addingEngine, verdict)) {
        return;
    }
    const Scenario scenario = chordScenario(defaultRate, 0.5);
    Sound expected = render(replacing, scenario, RenderOptions());
    RenderOptions options;
    options.call = RenderCall::Adding;
    options.prefill = 0.25f;
    const Sound added = render(addingEngine, scenario, options);
    for (std::vector<float>& channel : expected) {
        for (float& sample : channel) {
            sample += 0.25f;
        }
    }
    const double difference = largestDifference(expected, added);
    if (difference > 1.0e-6) {
        verdict.fail("renderAdding into buffers holding 0.25", "0.25 plus the sound of renderReplacing",
                     format("a largest difference of %g", difference));
    }
}

// renderReplacing's result does not depend on what the buffers held.
void replacing(CheckContext& context, Verdict& verdict)
{
    EngineInstance clean(context.module);
    EngineInstance dirty(context.module);
    if (!started(clean, verdict) || !started(dirty, verdict)) {
        return;
    }
    const Scenario scenario = chordScenario(defaultRate, 0.5);
    const Sound fromZero = render(clean, scenario, RenderOptions());
    RenderOptions options;
    options.prefill = 0.5f;
    const double difference = largestDifference(fromZero, render(dirty, scenario, options));
    if (difference != 0.0) {
        verdict.fail("renderReplacing into buffers holding 0.5", "the samples rendered into zeroed buffers",
                     format("a largest difference of %g", difference));
    }
}

}  // namespace

void addAudioChecks(std::vector<CheckDefinition>& checks)
{
    checks.push_back({"audio.silence", silence});
    checks.push_back({"audio.note-on", noteOn});
    checks.push_back({"audio.note-off", noteOff});
    checks.push_back({"audio.finite", finite});
    checks.push_back({"audio.peak", peakLevel});
    checks.push_back({"audio.block-invariance", blockInvariance});
    checks.push_back({"audio.sample-rates", sampleRateRange});
    checks.push_back({"audio.adding", adding});
    checks.push_back({"audio.replacing", replacing});
}

}  // namespace validator
