// An engine of the other architecture than the plug-in runs in its own
// process by itself, and renders exactly what the plug-in of its own
// architecture renders with it in the host's process. The other build's
// bin folder comes in VELMORANT_PEER_BIN; without it these cases skip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "../host/HostTestSupport.h"
#include "../shell/ShellTestSupport.h"
#include "../support/Emulation.h"
#include "RemoteTestSupport.h"
#include "common/Folders.h"

using namespace remote_test;

namespace {

#if defined(_WIN64)
const char peerEngineHost[] = "VelmorantEngineHost32.exe";
#else
const char peerEngineHost[] = "VelmorantEngineHost64.exe";
#endif

std::string peerFolder()
{
    const char* folder = std::getenv("VELMORANT_PEER_BIN");
    if (folder == nullptr || *folder == '\0')
        return "";
    // CMake hands the path in the build machine's form: "/..." is drive Z: under Wine.
    std::string path = folder[0] == '/' ? std::string("Z:") + folder : std::string(folder);
    std::replace(path.begin(), path.end(), '/', '\\');
    if (path.back() != '\\')
        path += '\\';
    return GetFileAttributesA((path + "velmorant-host.exe").c_str()) != INVALID_FILE_ATTRIBUTES ? path : "";
}

// Runs `program` with the arguments in `scratch`; answers the exit code.
DWORD runProgram(const std::string& program, const std::vector<std::string>& arguments, const ScratchFolder& scratch)
{
    std::string command = quoted(program);
    for (const std::string& argument : arguments)
        command += " " + quoted(argument);
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    DWORD code = 0xFFFFFFFF;
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, scratch.path.c_str(), &startup,
                       &process)) {
        WaitForSingleObject(process.hProcess, 1800000);  // a guard against a hang only
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return code;
}

TEST(RemotePeer, AnEngineOfTheOtherArchitectureNamedInTheRegistryRendersAsWithItsOwnPlugIn)
{
    const std::string peer = peerFolder();
    if (peer.empty())
        GTEST_SKIP() << "no build of the other architecture in VELMORANT_PEER_BIN";
    // This plug-in; the other architecture's engine under a name only the
    // registry gives; both engine host programs and the other runtime beside it.
    velmorant_test::PluginStage stage("Velmorant.dll", "", "", false);
    ASSERT_TRUE(stage.stage(peer + "VelmorantEngine.dll", "OtherEngine.dll"));
    ASSERT_TRUE(stage.stage(ownEngineHost, ownEngineHost));
    ASSERT_TRUE(stage.stage(peer + peerEngineHost, peerEngineHost));
#if defined(_WIN64)
    ASSERT_TRUE(common::copyFolder(peer + "Velmorant.Runtime", stage.folder() + "Velmorant.Runtime"));
#endif
    shell_test::EngineKeyValue value =
        shell_test::EngineKeyValue::text(HKEY_CURRENT_USER, stage.name(), stage.folder() + "OtherEngine.dll");
    ASSERT_TRUE(value.written());

    // Where 32-bit programs are emulated, each 32-bit start costs a minute.
    const char* emulated32 = std::getenv("VELMORANT_32BIT_EMULATED");
    const bool slow = velmorant_test::emulated() || (emulated32 != nullptr && *emulated32 == '1');
    const std::vector<int> blockSizes = slow ? std::vector<int>{512} : std::vector<int>{64, 512};
    for (int blockSize : blockSizes) {
        ScratchFolder scratch;
        const std::vector<std::string> common = {
            "--midi", binaryFolder() + "demo-phrase.mid", "--block", std::to_string(blockSize), "--set", "MIDI Out=1"};
        std::vector<std::string> crossed = {stage.path(), "--out", scratch / "crossed.wav"};
        crossed.insert(crossed.end(), common.begin(), common.end());
        std::vector<std::string> native = {peer + "Velmorant.dll", "--out", scratch / "native.wav"};
        native.insert(native.end(), common.begin(), common.end());
        ASSERT_EQ(runProgram(binaryFolder() + "velmorant-host.exe", crossed, scratch), 0u);
        ASSERT_EQ(runProgram(peer + "velmorant-host.exe", native, scratch), 0u);
        const std::vector<uint8_t> expected = readBytes(scratch / "native.wav");
        ASSERT_GT(expected.size(), 100000u);
        EXPECT_TRUE(readBytes(scratch / "crossed.wav") == expected) << "block size " << blockSize;
    }
}

}  // namespace
