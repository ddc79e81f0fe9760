// The check catalogue: every check has a hierarchical name (group.aspect)
// and a function that judges the engine module loaded in this process.
#pragma once

#include <string>
#include <vector>

#include "CommandLine.h"
#include "EngineInstance.h"
#include "Verdict.h"

namespace validator {

struct CheckContext {
    const Options& options;
    EngineModule& module;
    std::string validatorFolder;  // with a trailing backslash: where Velmorant.dll is looked for
};

using CheckFunction = void (*)(CheckContext& context, Verdict& verdict);

struct CheckDefinition {
    const char* name;
    CheckFunction run;
};

// The groups, each in its own file.
void addExportChecks(std::vector<CheckDefinition>& checks);
void addParameterChecks(std::vector<CheckDefinition>& checks);
void addStateChecks(std::vector<CheckDefinition>& checks);
void addAudioChecks(std::vector<CheckDefinition>& checks);
void addRealtimeChecks(std::vector<CheckDefinition>& checks);
void addServiceChecks(std::vector<CheckDefinition>& checks);
void addEditorChecks(std::vector<CheckDefinition>& checks);
void addPluginChecks(std::vector<CheckDefinition>& checks);

// Every check, in the order they run.
const std::vector<CheckDefinition>& allChecks();
const CheckDefinition* findCheck(const std::string& name);

// The names --include and --exclude select; false with `error` for a bad expression.
bool selectChecks(const Options& options, std::vector<std::string>& names, std::string& error);

// Parameters set away from their defaults in a pattern of its own per
// `variant`, so that two states of one engine differ in every value.
void setDistinctParameters(EngineInstance& engine, int variant);

}  // namespace validator
