// params.*: values in [0, 1] that read back as written, texts that fit the
// 9-byte buffers the plug-in lends, and harmless out-of-range indices.
#include <climits>
#include <cmath>

#include "Checks.h"
#include "GuardedBuffer.h"

namespace validator {

namespace {

constexpr int32_t textSize = 9;  // what the plug-in hands the engine: 8 characters and the terminator
const float probeValues[] = {0.0f, 1.0f, 0.5f, 0.25f, 0.75f, 0.1f, 0.9f, 0.3333333f};

int32_t parameterCount(EngineInstance& engine)
{
    const int32_t count = engine.getParameterCount();
    return count < 0 ? 0 : (count > 10000 ? 10000 : count);
}

void range(CheckContext& context, Verdict& verdict)
{
    EngineInstance engine(context.module);
    if (!engine.created()) {
        verdict.fail("no engine object from the factory");
        return;
    }
    for (int32_t index = 0; index < parameterCount(engine); ++index) {
        const float value = engine.getParameter(index);
        if (!(value >= 0.0f && value <= 1.0f)) {
            verdict.fail(format("getParameter(%d)", index), "a value in [0, 1]", format("%g", value));
        }
    }
}

void roundTrip(CheckContext& context, Verdict& verdict)
{
    EngineInstance engine(context.module);
    if (!engine.created()) {
        verdict.fail("no engine object from the factory");
        return;
    }
    double largest = 0.0;
    int32_t worstIndex = -1;
    float worstValue = 0.0f;
    float worstRead = 0.0f;
    for (int32_t index = 0; index < parameterCount(engine); ++index) {
        for (float value : probeValues) {
            engine.setParameter(index, value);
            const float read = engine.getParameter(index);
            const double error = std::isnan(read) ? INFINITY : std::fabs(static_cast<double>(read) - value);
            if (error > largest) {
                largest = error;
                worstIndex = index;
                worstValue = value;
                worstRead = read;
            }
        }
    }
    verdict.note(format("largest error %g", largest));
    if (largest > 1.0e-6) {
        verdict.fail(format("setParameter(%d, %g) then getParameter(%d)", worstIndex, worstValue, worstIndex),
                     format("%g (within 1e-6)", worstValue), format("%g", worstRead));
    }
}

using TextCall = void (EngineInstance::*)(int32_t, char*, int32_t);

struct TextKind {
    const char* name;
    TextCall call;
};

const TextKind textKinds[] = {{"getParameterName", &EngineInstance::getParameterName},
                              {"getParameterLabel", &EngineInstance::getParameterLabel},
                              {"getParameterDisplay", &EngineInstance::getParameterDisplay}};

// The text written into an exactly-sized buffer with a guard page behind it:
// an overrun ends the check as an access violation.
void checkTextFits(EngineInstance& engine, Verdict& verdict, const TextKind& kind, int32_t index)
{
    GuardedBuffer buffer(textSize);
    (engine.*kind.call)(index, buffer.data(), textSize);
    if (buffer.terminatedLength() < 0) {
        verdict.fail(format("%s(%d)", kind.name, index), "a text terminated within 9 bytes",
                     "no terminator in the buffer");
    }
}

void texts(CheckContext& context, Verdict& verdict)
{
    EngineInstance engine(context.module);
    if (!engine.created()) {
        verdict.fail("no engine object from the factory");
        return;
    }
    int32_t unnamed = 0;
    for (int32_t index = 0; index < parameterCount(engine); ++index) {
        GuardedBuffer name(textSize, 0);
        engine.getParameterName(index, name.data(), textSize);
        unnamed += name.terminatedLength() == 0 ? 1 : 0;
        for (const TextKind& kind : textKinds) {
            checkTextFits(engine, verdict, kind, index);
        }
        for (float value : {0.0f, 0.5f, 1.0f}) {
            engine.setParameter(index, value);
            checkTextFits(engine, verdict, textKinds[2], index);
        }
    }
    if (unnamed > 0) {
        verdict.note(format("%d parameters have an empty name", unnamed));
    }
}

void outOfRange(CheckContext& context, Verdict& verdict)
{
    EngineInstance engine(context.module);
    if (!engine.created()) {
        verdict.fail("no engine object from the factory");
        return;
    }
    const int32_t count = parameterCount(engine);
    std::vector<float> before;
    for (int32_t index = 0; index < count; ++index) {
        before.push_back(engine.getParameter(index));
    }
    const int32_t outside[] = {-1, count, count + 1, count + 1000, INT_MAX, INT_MIN};
    for (int32_t index : outside) {
        engine.getParameter(index);
        engine.setParameter(index, 0.77f);
        for (const TextKind& kind : textKinds) {
            GuardedBuffer buffer(textSize);
            (engine.*kind.call)(index, buffer.data(), textSize);
        }
    }
    for (int32_t index = 0; index < count; ++index) {
        const float after = engine.getParameter(index);
        if (!(after == before[static_cast<size_t>(index)])) {
            verdict.fail(format("parameter %d after writes to out-of-range indices", index),
                         format("%g as before", before[static_cast<size_t>(index)]), format("%g", after));
        }
    }
}

}  // namespace

void addParameterChecks(std::vector<CheckDefinition>& checks)
{
    checks.push_back({"params.range", range});
    checks.push_back({"params.roundtrip", roundTrip});
    checks.push_back({"params.texts", texts});
    checks.push_back({"params.out-of-range", outOfRange});
}

}  // namespace validator
