#include "remote/EngineHostProcess.h"

#include <windows.h>

#include <string>
#include <vector>

namespace remote {

bool EngineHostProcess::start(const std::string& program, const std::string& channelName)
{
    end();
    std::string line = "\"" + program + "\" " + channelName + " " + std::to_string(GetCurrentProcessId());
    std::vector<char> commandLine(line.begin(), line.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    // No handles inherited: the host's own must not outlive it in this process.
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, &started))
        return false;
    CloseHandle(started.hThread);
    process = started.hProcess;
    return true;
}

bool EngineHostProcess::hasEnded() const
{
    return process == nullptr || WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
}

uint32_t EngineHostProcess::exitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (process != nullptr)
        GetExitCodeProcess(process, &code);
    return code;
}

bool EngineHostProcess::waitForEnd(uint32_t milliseconds) const
{
    return process == nullptr || WaitForSingleObject(process, milliseconds) == WAIT_OBJECT_0;
}

void EngineHostProcess::kill() const
{
    if (process != nullptr)
        TerminateProcess(process, 1);
}

void EngineHostProcess::end()
{
    if (process == nullptr)
        return;
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
    process = nullptr;
}

}  // namespace remote
