#include "ShellTestSupport.h"

namespace shell_test {

EngineJournal& testJournal()
{
    static EngineJournal journal{};
    return journal;
}

}  // namespace shell_test

// Found by the test engines through the executable's export table.
extern "C" __declspec(dllexport) shell_test::EngineJournal* __cdecl ShellEngineJournal()
{
    return &shell_test::testJournal();
}
