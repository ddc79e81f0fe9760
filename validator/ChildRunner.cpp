#include "ChildRunner.h"

#include <windows.h>

#include <memory>

#include "ChildChannel.h"

namespace validator {

namespace {

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string joined(const std::vector<std::string>& names)
{
    std::string list;
    for (const std::string& name : names) {
        list += (list.empty() ? "" : ",") + name;
    }
    return list;
}

}  // namespace

std::string exceptionName(uint32_t code)
{
    switch (code) {
    case 0xC0000005u:
        return "access violation";
    case 0xC00000FDu:
        return "stack overflow";
    case 0xC0000094u:
        return "integer division by zero";
    case 0xC000001Du:
        return "illegal instruction";
    case 0xC0000409u:
        return "fast fail";
    case 0xC0000374u:
        return "heap corruption";
    case 0x80000003u:
        return "breakpoint";
    case 0xE0000001u:
        return "C++ exception reached std::terminate";
    default:
        return "exception";
    }
}

namespace {

// Under load Wine now and then fails to start a process (CreateProcess
// fails, or the new process dies before its first instruction of ours). Such
// a child never reached the engine, so it is started again.
constexpr int startAttempts = 3;

}  // namespace

ChildRunner::Attempt ChildRunner::attempt(ChildChannel& channel, const std::vector<std::string>& batch)
{
    Attempt outcome;
    channel.reset();
    std::string command = quoted(validatorPath) + " " + quoted(options.enginePath) + " --child " + joined(batch) +
                          " --channel " + std::to_string(channel.handle()) + " --seed " + std::to_string(options.seed);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        outcome.failure =
            format("the child process does not start (error %lu)", static_cast<unsigned long>(GetLastError()));
        outcome.neverStarted = true;
        return outcome;
    }
    CloseHandle(process.hThread);
    // Hung means no progress: no check begun and no engine call made for
    // the whole timeout. A slow engine (or one under a heap checker) that
    // keeps answering is waited for.
    uint32_t started = 0;
    uint32_t calls = 0;
    DWORD since = GetTickCount();
    bool hung = false;
    while (WaitForSingleObject(process.hProcess, 200) == WAIT_TIMEOUT) {
        if (channel.startedChecks() != started || channel.engineCalls() != calls) {
            started = channel.startedChecks();
            calls = channel.engineCalls();
            since = GetTickCount();
        } else if (GetTickCount() - since > static_cast<DWORD>(options.timeoutSeconds) * 1000u) {
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, INFINITE);
            hung = true;
            break;
        }
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    outcome.results = channel.results();
    const std::string last = channel.lastCall();
    const std::string during = last.empty() ? "" : "; last engine call: " + last;
    if (hung) {
        outcome.failure = format("hung: no engine call and no result within %d s", options.timeoutSeconds) + during;
    } else if (channel.crashCode() != 0) {
        const uint32_t code = channel.crashCode();
        const std::string where = channel.crashWhere();
        outcome.failure =
            format("crashed with exception 0x%08X (%s) at ", code, exceptionName(code).c_str()) +
            (where.empty() ? format("address 0x%llx", static_cast<unsigned long long>(channel.crashAddress()))
                           : where) +
            during;
    } else if (outcome.results.size() < batch.size()) {
        outcome.failure = format("the child process ended with exit code 0x%08lX (%s) before the check ended",
                                 static_cast<unsigned long>(exitCode), exceptionName(exitCode).c_str()) +
                          during;
        // No check begun and not one engine call made (loading the engine is
        // the first): the process never got going.
        outcome.neverStarted = channel.startedChecks() == 0 && channel.engineCalls() == 0;
    }
    return outcome;
}

std::vector<Verdict> ChildRunner::run(const std::vector<std::string>& names,
                                      const std::function<void(const Verdict&)>& reported)
{
    std::vector<Verdict> verdicts;
    std::unique_ptr<ChildChannel> channel(ChildChannel::create());
    std::vector<std::string> pending = names;
    while (!pending.empty()) {
        const std::vector<std::string> batch =
            options.oneChild ? pending : std::vector<std::string>(pending.begin(), pending.begin() + 1);
        Attempt outcome;
        std::vector<std::string> restarts;
        if (channel == nullptr) {
            outcome.failure = "the validator cannot make the memory it shares with its child";
        } else {
            for (int round = 1; round <= startAttempts; ++round) {
                outcome = attempt(*channel, batch);
                if (!outcome.neverStarted || round == startAttempts)
                    break;
                restarts.push_back("started again after: " + outcome.failure);
                Sleep(250);
            }
        }
        // The batch's first verdict carries the restarts.
        size_t done = 0;
        auto deliver = [&](Verdict verdict) {
            if (done == 0)
                verdict.notes.insert(verdict.notes.end(), restarts.begin(), restarts.end());
            verdicts.push_back(verdict);
            reported(verdict);
            ++done;
        };
        for (const Verdict& verdict : outcome.results) {
            if (done < batch.size() && verdict.name == batch[done])
                deliver(verdict);
        }
        if (done < batch.size()) {
            Verdict verdict;
            verdict.name = batch[done];
            verdict.fail(outcome.failure.empty() ? "the child process gave no result" : outcome.failure);
            deliver(verdict);
        }
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(done));
    }
    return verdicts;
}

}  // namespace validator
