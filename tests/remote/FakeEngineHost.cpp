// Stands in for the engine host program and answers the plug-in's first
// request with another protocol version, as an engine host of another
// release would; then waits to be ended.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "channel/ChannelLayout.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // The command line: the program, the channel's name, the plug-in's process id.
    std::string line = GetCommandLineA();
    const size_t programEnd = line[0] == '"' ? line.find('"', 1) + 1 : line.find(' ');
    const size_t nameStart = line.find_first_not_of(' ', programEnd);
    const size_t nameEnd = line.find(' ', nameStart);
    if (nameStart == std::string::npos || nameEnd == std::string::npos)
        return 2;
    const std::string name = line.substr(nameStart, nameEnd - nameStart);

    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
    HANDLE request = OpenEventA(SYNCHRONIZE, FALSE, (name + ".Request").c_str());
    HANDLE reply = OpenEventA(EVENT_MODIFY_STATE, FALSE, (name + ".Reply").c_str());
    if (mapping == nullptr || request == nullptr || reply == nullptr)
        return 3;
    auto* block = static_cast<channel::ControlBlock*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (block == nullptr || WaitForSingleObject(request, 60000) != WAIT_OBJECT_0)
        return 4;
    channel::ControlReply answer{};
    answer.results[0] = channel::protocolVersion + 1;
    answer.results[1] = static_cast<int64_t>(sizeof(void*) * 8);
    block->reply = answer;
    block->replySeq.store(block->requestSeq.load());
    SetEvent(reply);
    Sleep(60000);
    return 0;
}
