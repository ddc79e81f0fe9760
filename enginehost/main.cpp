// VelmorantEngineHost32.exe / VelmorantEngineHost64.exe: runs one engine for
// one plug-in instance in a process of its own. The plug-in starts it with
// the name of the control block it made and its own process id:
//     VelmorantEngineHost64.exe <channel name> <plug-in process id>
// It shows nothing and asks nothing: a fault of the engine ends this process
// at once, which the plug-in sees and answers for.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "ControlServer.h"

namespace {

// A fault nobody handles ends the process at once, without the system's
// crash dialog or debugger, which would keep it alive and hold the plug-in.
LONG WINAPI endAtOnce(EXCEPTION_POINTERS* exception)
{
    const DWORD code = exception != nullptr && exception->ExceptionRecord != nullptr
                           ? exception->ExceptionRecord->ExceptionCode
                           : 0xC0000001u;
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

[[noreturn]] void terminateAtOnce()
{
    TerminateProcess(GetCurrentProcess(), 3);
    std::abort();
}

// The words of the command line after the program's own name.
std::vector<std::string> arguments()
{
    std::vector<std::string> words;
    const char* line = GetCommandLineA();
    bool first = true;
    while (line != nullptr && *line != '\0') {
        while (*line == ' ' || *line == '\t')
            ++line;
        if (*line == '\0')
            break;
        std::string word;
        if (*line == '"') {
            ++line;
            while (*line != '\0' && *line != '"')
                word += *line++;
            if (*line == '"')
                ++line;
        } else {
            while (*line != '\0' && *line != ' ' && *line != '\t')
                word += *line++;
        }
        if (!first)
            words.push_back(word);
        first = false;
    }
    return words;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(&endAtOnce);
    std::set_terminate(&terminateAtOnce);

    const std::vector<std::string> words = arguments();
    if (words.size() != 2)
        return 2;
    char* end = nullptr;
    const unsigned long parentId = std::strtoul(words[1].c_str(), &end, 10);
    if (end == words[1].c_str() || *end != '\0')
        return 2;

    try {
        enginehost::ControlServer server;
        if (!server.open(words[0].c_str(), static_cast<DWORD>(parentId)))
            return 4;
        return server.run();
    } catch (...) {
        return 5;
    }
}
