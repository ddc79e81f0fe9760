// exports.*: the factories, the counts hosts size their buffers by, and the
// identity texts the plug-in copies into host buffers of fixed sizes.
#include <cstring>

#include "Checks.h"

namespace validator {

namespace {

constexpr int32_t maxOutputs = 64;
constexpr int32_t maxParameters = 10000;

void factory(CheckContext& context, Verdict& verdict)
{
    EngineModule& module = context.module;
    verdict.note(std::string("exports ") + (module.hasPluginFactory() && module.hasLegacyFactory()
                                                ? "CreatePluginSoftSynth and CreateSoftSynth"
                                            : module.hasPluginFactory() ? "CreatePluginSoftSynth"
                                                                        : "CreateSoftSynth"));
    if (module.hasPluginFactory()) {
        EngineInstance first(module);
        EngineInstance second(module);
        if (!first.created() || !second.created()) {
            verdict.fail("CreatePluginSoftSynth", "an engine stored in the loader record", "none");
        } else if (first.object() == second.object()) {
            verdict.fail("two CreatePluginSoftSynth calls", "two engine objects", "the same object twice");
        }
        if (first.created() && first.link() == nullptr) {
            verdict.note("the plug-in factory stores no host link: the engine gets no host services");
        }
    }
    if (module.hasLegacyFactory()) {
        EngineInstance legacy(module, EngineInstance::Factory::Legacy);
        if (!legacy.created()) {
            verdict.fail("CreateSoftSynth(0, 128)", "an engine object", "null");
        }
    }
    verdict.note(module.declaresSampleAccurate() ? "declares itself sample-accurate (SoftSynthSampleAccurate answers 1)"
                                                 : "does not declare itself sample-accurate");
}

void counts(CheckContext& context, Verdict& verdict)
{
    EngineInstance engine(context.module);
    EngineInstance other(context.module);
    if (!engine.created() || !other.created()) {
        verdict.fail("no engine object from the factory");
        return;
    }
    const int32_t outputs = engine.getOutputCount(2);
    const int32_t parameters = engine.getParameterCount();
    if (outputs < 1 || outputs > maxOutputs) {
        verdict.fail("getOutputCount(2)", format("1 to %d", maxOutputs), std::to_string(outputs));
    }
    if (parameters < 0 || parameters > maxParameters) {
        verdict.fail("getParameterCount()", format("0 to %d", maxParameters), std::to_string(parameters));
    }
    if (engine.getOutputCount(2) != outputs || other.getOutputCount(2) != outputs) {
        verdict.fail("getOutputCount(2) asked again and of a second engine", std::to_string(outputs) + " each time",
                     format("%d and %d", engine.getOutputCount(2), other.getOutputCount(2)));
    }
    if (engine.getParameterCount() != parameters || other.getParameterCount() != parameters) {
        verdict.fail("getParameterCount() asked again and of a second engine",
                     std::to_string(parameters) + " each time",
                     format("%d and %d", engine.getParameterCount(), other.getParameterCount()));
    }
    verdict.note(format("%d outputs, %d parameters", outputs, parameters));
}

// A text the plug-in copies into a host buffer of `size` bytes (terminator
// included) after `reserved` characters of its own.
void checkText(Verdict& verdict, const char* what, const char* text, size_t size, size_t reserved = 0)
{
    if (text == nullptr) {
        verdict.fail(what, "a text", "null");
        return;
    }
    const size_t room = size - 1 - reserved;
    const size_t length = strnlen(text, room + 1);
    if (length > room) {
        verdict.fail(what, format("at most %u characters", static_cast<unsigned>(room)),
                     format("more than %u", static_cast<unsigned>(room)));
    }
}

void texts(CheckContext& context, Verdict& verdict)
{
    EngineInstance engine(context.module);
    EngineInstance other(context.module);
    if (!engine.created() || !other.created()) {
        verdict.fail("no engine object from the factory");
        return;
    }
    // Host buffers: vendor and product string 64 bytes, effect name (the
    // product text again) 32, pin label 64 holding the output name and " N".
    checkText(verdict, "getVendorName()", engine.getVendorName(), 64);
    checkText(verdict, "getProductName()", engine.getProductName(), 32);
    checkText(verdict, "getOutputName()", engine.getOutputName(), 64, 2);
    const int32_t id = engine.getUniqueId();
    if (id == 0) {
        verdict.fail("getUniqueId()", "a nonzero id", "0");
    }
    if (engine.getUniqueId() != id || other.getUniqueId() != id) {
        verdict.fail("getUniqueId() asked again and of a second engine", format("0x%08X each time", id),
                     format("0x%08X and 0x%08X", engine.getUniqueId(), other.getUniqueId()));
    }
    if (!verdict.failed()) {
        verdict.note(format("vendor \"%s\", product \"%s\", output \"%s\", unique id 0x%08X, version %d",
                            engine.getVendorName(), engine.getProductName(), engine.getOutputName(), id,
                            engine.getVersion()));
    }
}

}  // namespace

void addExportChecks(std::vector<CheckDefinition>& checks)
{
    checks.push_back({"exports.factory", factory});
    checks.push_back({"exports.counts", counts});
    checks.push_back({"exports.texts", texts});
}

}  // namespace validator
