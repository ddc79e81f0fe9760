#include "CommandLine.h"

#include <cstdlib>
#include <cstring>

namespace validator {

namespace {

bool parseNumber(const char* text, unsigned long long& value)
{
    char* end = nullptr;
    value = std::strtoull(text, &end, 0);
    return end != text && *end == '\0';
}

std::vector<std::string> splitList(const std::string& text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        const size_t end = comma == std::string::npos ? text.size() : comma;
        if (end > start) {
            parts.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

}  // namespace

bool parseCommandLine(int argc, char** argv, Options& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        auto value = [&](const char* option) -> const char* {
            if (i + 1 >= argc) {
                error = std::string(option) + " needs a value";
                return nullptr;
            }
            return argv[++i];
        };
        unsigned long long number = 0;
        if (argument == "--include" || argument == "--exclude" || argument == "--json") {
            const char* text = value(argument.c_str());
            if (text == nullptr) {
                return false;
            }
            (argument == "--include"   ? options.include
             : argument == "--exclude" ? options.exclude
                                       : options.jsonPath) = text;
        } else if (argument == "--seed" || argument == "--timeout" || argument == "--channel") {
            const char* text = value(argument.c_str());
            if (text == nullptr) {
                return false;
            }
            if (!parseNumber(text, number)) {
                error = argument + " needs a number, not '" + text + "'";
                return false;
            }
            if (argument == "--seed") {
                options.seed = static_cast<uint32_t>(number);
            } else if (argument == "--timeout") {
                options.timeoutSeconds = number < 1 ? 1 : static_cast<int>(number);
            } else {
                options.channelHandle = static_cast<uintptr_t>(number);
            }
        } else if (argument == "--child") {
            const char* text = value("--child");
            if (text == nullptr) {
                return false;
            }
            options.child = true;
            options.childChecks = splitList(text);
        } else if (argument == "--only-failed") {
            options.onlyFailed = true;
        } else if (argument == "--list") {
            options.list = true;
        } else if (argument == "--one-child") {
            options.oneChild = true;
        } else if (argument.size() > 1 && argument[0] == '-' && argument[1] == '-') {
            error = "unknown option " + argument;
            return false;
        } else if (options.enginePath.empty()) {
            options.enginePath = argument;
        } else {
            error = "more than one engine given ('" + options.enginePath + "' and '" + argument + "')";
            return false;
        }
    }
    if (options.enginePath.empty() && !options.list) {
        error = "no engine DLL given";
        return false;
    }
    return true;
}

const char* usageText()
{
    return "usage: velmorant-validate ENGINE.dll [--include REGEX] [--exclude REGEX] [--only-failed]\n"
           "                          [--json FILE] [--seed N] [--timeout SECONDS] [--one-child] [--list]\n"
           "Checks that an engine module keeps the engine contract, each check in a child process.\n"
           "  --include, --exclude  select checks whose names match (ECMAScript regular expressions)\n"
           "  --only-failed         print only failures and the closing line\n"
           "  --json FILE           also write the report as JSON\n"
           "  --seed N              seed of the random state bytes (default 1)\n"
           "  --timeout SECONDS     a check that makes no engine call for this long is ended as hung (default 120)\n"
           "  --one-child           run every check in one child, restarted only after a crash\n"
           "  --list                list the check names and exit\n";
}

}  // namespace validator
