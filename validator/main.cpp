// velmorant-validate: checks that an engine module keeps the engine contract.
#include <windows.h>

#include <cstdio>

#include "Checks.h"
#include "ChildRunner.h"
#include "CommandLine.h"
#include "Report.h"

using namespace validator;

namespace {

std::string validatorPath()
{
    char path[MAX_PATH * 2] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length);
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string error;
    if (!parseCommandLine(argc, argv, options, error)) {
        std::fprintf(stderr, "velmorant-validate: %s\n%s", error.c_str(), usageText());
        return 2;
    }
    const std::string self = validatorPath();
    if (options.child) {
        return runChild(options, folderOf(self));
    }
    std::vector<std::string> names;
    if (!selectChecks(options, names, error)) {
        std::fprintf(stderr, "velmorant-validate: %s\n", error.c_str());
        return 2;
    }
    if (options.list) {
        for (const std::string& name : names) {
            std::printf("%s\n", name.c_str());
        }
        return 0;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    ChildRunner runner(options, self);
    const std::vector<Verdict> verdicts = runner.run(names, [&](const Verdict& verdict) {
        if (!options.onlyFailed || verdict.failed()) {
            std::printf("%s\n", reportLine(verdict).c_str());
        }
    });
    const Totals totals = count(verdicts);
    std::printf("%s\n", closingLine(totals).c_str());
    if (!options.jsonPath.empty()) {
        FILE* file = std::fopen(options.jsonPath.c_str(), "wb");
        const std::string json = jsonReport(options.enginePath, verdicts);
        if (file == nullptr || std::fwrite(json.data(), 1, json.size(), file) != json.size()) {
            std::fprintf(stderr, "velmorant-validate: cannot write %s\n", options.jsonPath.c_str());
            if (file != nullptr) {
                std::fclose(file);
            }
            return 2;
        }
        std::fclose(file);
    }
    return totals.failed == 0 ? 0 : 1;
}
