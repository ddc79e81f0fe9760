// Runs checks in child processes (the validator again, with the hidden
// --child argument), so that an engine that crashes or hangs fails the one
// check it was in, with the exception code and its last engine call, and the
// run goes on. One child per check, or with --one-child one for all, started
// again after a crash with the checks still to run.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Verdict.h"

namespace validator {

class ChildChannel;

class ChildRunner {
public:
    ChildRunner(const Options& options, const std::string& validatorPath)
        : options(options), validatorPath(validatorPath)
    {
    }

    // Calls `reported` for each verdict as it arrives, in check order.
    std::vector<Verdict> run(const std::vector<std::string>& names,
                             const std::function<void(const Verdict&)>& reported);

private:
    // One child process for the batch: its results, and why it ended early.
    struct Attempt {
        std::vector<Verdict> results;
        std::string failure;
        bool neverStarted = false;  // no engine call made: worth starting again
    };
    Attempt attempt(ChildChannel& channel, const std::vector<std::string>& batch);

    const Options& options;
    std::string validatorPath;
};

// What a crash code means, for the report ("access violation").
std::string exceptionName(uint32_t code);

// The child's side: runs the named checks and writes their verdicts to the
// channel; answers the process exit code.
int runChild(const Options& options, const std::string& validatorFolder);

}  // namespace validator
