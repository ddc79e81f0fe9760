// The child's side of a run: the engine module loaded once, each named check
// run in turn, crashes caught at the top so the parent learns their code.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <exception>

#include "Checks.h"
#include "ChildChannel.h"
#include "ChildRunner.h"

namespace validator {

namespace {

LONG WINAPI recordCrash(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD* record = exception != nullptr ? exception->ExceptionRecord : nullptr;
    const uint32_t code = record != nullptr ? record->ExceptionCode : 0xC0000001u;
    void* const address = record != nullptr ? record->ExceptionAddress : nullptr;
    // The faulting module and offset, found without allocating: the heap may be damaged.
    char where[400] = "";
    HMODULE module = nullptr;
    char path[MAX_PATH] = "";
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<const char*>(address), &module) &&
        GetModuleFileNameA(module, path, sizeof path) > 0) {
        const char* name = std::strrchr(path, '\\') != nullptr ? std::strrchr(path, '\\') + 1 : path;
        std::snprintf(
            where, sizeof where, "%s+0x%llx", name,
            static_cast<unsigned long long>(static_cast<const char*>(address) - reinterpret_cast<const char*>(module)));
    }
    if (activeChannel() != nullptr) {
        activeChannel()->setCrash(code, reinterpret_cast<uintptr_t>(address), where);
    }
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

[[noreturn]] void recordTerminate()
{
    if (activeChannel() != nullptr) {
        activeChannel()->setCrash(0xE0000001u, 0);
    }
    TerminateProcess(GetCurrentProcess(), 0xE0000001u);
    for (;;) {
    }
}

}  // namespace

int runChild(const Options& options, const std::string& validatorFolder)
{
    ChildChannel* channel = ChildChannel::open(options.channelHandle);
    if (channel == nullptr) {
        return 3;
    }
    setActiveChannel(channel);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(recordCrash);
    std::set_terminate(recordTerminate);

    std::string loadError;
    const bool loaded = engineModule().load(options.enginePath, loadError);
    CheckContext context{options, engineModule(), validatorFolder};
    for (size_t index = 0; index < options.childChecks.size(); ++index) {
        Verdict verdict;
        verdict.name = options.childChecks[index];
        channel->beginCheck(static_cast<int32_t>(index));
        const CheckDefinition* check = findCheck(verdict.name);
        if (check == nullptr) {
            verdict.fail("no such check");
        } else if (!loaded) {
            verdict.fail("the engine module cannot be used: " + loadError);
        } else {
            try {
                check->run(context, verdict);
            } catch (const std::exception& error) {
                verdict.fail(std::string("an exception (") + error.what() + ") left " + channel->lastCall());
            } catch (...) {
                verdict.fail("an exception left " + channel->lastCall());
            }
        }
        channel->addResult(verdict);
    }
    return 0;
}

}  // namespace validator
