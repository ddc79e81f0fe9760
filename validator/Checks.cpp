#include "Checks.h"

#include <regex>

namespace validator {

const std::vector<CheckDefinition>& allChecks()
{
    static const std::vector<CheckDefinition> checks = [] {
        std::vector<CheckDefinition> list;
        addExportChecks(list);
        addParameterChecks(list);
        addStateChecks(list);
        addAudioChecks(list);
        addRealtimeChecks(list);
        addServiceChecks(list);
        addEditorChecks(list);
        addPluginChecks(list);
        return list;
    }();
    return checks;
}

const CheckDefinition* findCheck(const std::string& name)
{
    for (const CheckDefinition& check : allChecks()) {
        if (name == check.name) {
            return &check;
        }
    }
    return nullptr;
}

bool selectChecks(const Options& options, std::vector<std::string>& names, std::string& error)
{
    try {
        const std::regex include(options.include.empty() ? ".*" : options.include);
        const std::regex exclude(options.exclude.empty() ? "$^" : options.exclude);
        for (const CheckDefinition& check : allChecks()) {
            if (std::regex_search(check.name, include) &&
                (options.exclude.empty() || !std::regex_search(check.name, exclude))) {
                names.push_back(check.name);
            }
        }
    } catch (const std::regex_error& bad) {
        error = std::string("bad regular expression: ") + bad.what();
        return false;
    }
    return true;
}

void setDistinctParameters(EngineInstance& engine, int variant)
{
    const int32_t count = engine.getParameterCount();
    for (int32_t index = 0; index < count && index < 4096; ++index) {
        const int step = (index * 7 + variant * 3) % 11;
        engine.setParameter(index, 0.05f + 0.09f * static_cast<float>(step));
    }
}

}  // namespace validator
