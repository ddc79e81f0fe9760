// Runs velmorant-host.exe from beside the test as a separate process, in a
// scratch folder of its own, and reads back what it wrote.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../support/Emulation.h"
#include "common/Files.h"
#include "common/Folders.h"

namespace {

struct HostRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;
    std::string err;
};

[[maybe_unused]] std::string binaryFolder()
{
    return common::executableFolder();
}

// The whole file; empty when it cannot be read.
[[maybe_unused]] std::vector<uint8_t> readBytes(const std::string& path)
{
    std::vector<uint8_t> bytes;
    return common::readFile(path, bytes) ? bytes : std::vector<uint8_t>();
}

// A folder for one test, removed with everything in it afterwards.
class ScratchFolder {
public:
    ScratchFolder()
    {
        path = common::temporaryFolder() + "velmorant-host-test-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(GetTickCount()) + "-" + std::to_string(counter++) + "\\";
        CreateDirectoryA(path.c_str(), nullptr);
    }
    ~ScratchFolder() { common::deleteFolder(path); }
    std::string operator/(const std::string& name) const { return path + name; }

    std::string path;

private:
    static inline int counter = 0;
};

[[maybe_unused]] std::string quoted(const std::string& argument)
{
    return "\"" + argument + "\"";
}

[[maybe_unused]] HostRun runHost(const std::vector<std::string>& arguments, const ScratchFolder& scratch)
{
    HostRun run;
    std::string command = quoted(binaryFolder() + "velmorant-host.exe");
    for (const std::string& argument : arguments) {
        command += " " + quoted(argument);
    }
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    const std::string outPath = scratch / "stdout.txt";
    const std::string errPath = scratch / "stderr.txt";
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE err = CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, scratch.path.c_str(), &startup,
                       &process)) {
        WaitForSingleObject(process.hProcess, velmorant_test::emulated() ? 900000 : 120000);
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(out);
    CloseHandle(err);
    const std::vector<uint8_t> outBytes = readBytes(outPath);
    const std::vector<uint8_t> errBytes = readBytes(errPath);
    // The console runtime writes text with CR LF line ends.
    for (uint8_t byte : outBytes) {
        if (byte != '\r') {
            run.out += static_cast<char>(byte);
        }
    }
    for (uint8_t byte : errBytes) {
        if (byte != '\r') {
            run.err += static_cast<char>(byte);
        }
    }
    return run;
}

// The samples of a 32-bit float WAV, all channels interleaved.
struct FloatWav {
    uint16_t format = 0;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    std::vector<float> samples;
};

[[maybe_unused]] FloatWav readFloatWav(const std::vector<uint8_t>& bytes)
{
    FloatWav wav;
    auto u32 = [&](size_t at) {
        return static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24);
    };
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        return wav;
    }
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const uint32_t size = u32(at + 4);
        if (at + 8 + size > bytes.size()) {
            break;
        }
        if (std::memcmp(bytes.data() + at, "fmt ", 4) == 0 && size >= 16) {
            wav.format = static_cast<uint16_t>(bytes[at + 8] | bytes[at + 9] << 8);
            wav.channels = static_cast<uint16_t>(bytes[at + 10] | bytes[at + 11] << 8);
            wav.sampleRate = u32(at + 12);
        } else if (std::memcmp(bytes.data() + at, "data", 4) == 0 && wav.format == 3) {
            wav.samples.resize(size / 4);
            std::memcpy(wav.samples.data(), bytes.data() + at + 8, wav.samples.size() * 4);
        }
        at += 8 + size + (size & 1);
    }
    return wav;
}

}  // namespace
