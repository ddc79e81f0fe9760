// velmorant-validate's arguments.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace validator {

struct Options {
    std::string enginePath;
    std::string include;  // regular expressions over check names; empty: no filter
    std::string exclude;
    bool onlyFailed = false;
    bool list = false;
    bool oneChild = false;
    std::string jsonPath;
    uint32_t seed = 1;
    int timeoutSeconds = 120;  // per check, without an answer from the child

    // Hidden: run as the child of a validator, checks named by index.
    bool child = false;
    std::vector<std::string> childChecks;
    uintptr_t channelHandle = 0;
};

// False with `error` set on a malformed command line.
bool parseCommandLine(int argc, char** argv, Options& options, std::string& error);

const char* usageText();

}  // namespace validator
