// What an engine in its own process costs, measured side by side in one run
// with the reference engine holding a four-note chord:
// - the median time of one block (processReplacing with the block's time
//   request) at 32, 64 and 512 frames, the engine in the host's process and
//   in an engine host of this architecture, and the microseconds added;
// - the same for the engine host of the other architecture, beside that
//   architecture's in-process figure, which the other build's copy of this
//   program measures when given as --peer BIN (its bin folder);
// - getParameter, and instantiating and closing an instance, in each mode;
// - the engine host's memory;
// - the floor under the real-time figure: a bare round trip to another
//   process at the same pace (one event set each way, the other side asleep
//   between blocks, as the engine host is), with nothing rendered.
// Needs Velmorant.dll, VelmorantEngine.dll and the engine host beside it.
//     engine_process_bench.exe [--peer OTHER_BIN] [--blocks N]
//     engine_process_bench.exe --in-process-only   (figures for another copy)
//     engine_process_bench.exe --answer PING PONG  (the floor's other side)
#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchHost.h"
#include "BenchTiming.h"
#include "../tests/support/PluginStage.h"
#include "common/Folders.h"
#include "vst/VstAbi.h"

namespace {

using bench::benchHost;
using bench::hostTime;

#if defined(_WIN64)
const char ownHost[] = "VelmorantEngineHost64.exe";
const char otherHost[] = "VelmorantEngineHost32.exe";
const char ownBits[] = "64-bit";
const char otherBits[] = "32-bit";
#else
const char ownHost[] = "VelmorantEngineHost32.exe";
const char otherHost[] = "VelmorantEngineHost64.exe";
const char ownBits[] = "32-bit";
const char otherBits[] = "64-bit";
#endif

void setEngineProcess(bool on)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Korvanta\\Velmorant", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    if (on) {
        const DWORD one = 1;
        RegSetValueExA(key, "EngineProcess", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    } else {
        RegDeleteValueA(key, "EngineProcess");
    }
    RegCloseKey(key);
}

struct Figures {
    double blockMicroseconds[3] = {};  // at 32, 64, 512 frames, back to back
    double pacedMicroseconds = 0.0;    // at 64 frames, one block every 64 frames of time
    double getParameterNanoseconds = 0.0;
    double instantiateMilliseconds = 0.0;
    double engineHostMegabytes = 0.0;
};

const int32_t blockSizes[3] = {32, 64, 512};

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Waits for the next block's time as a host's audio thread waits for its
// device: asleep for most of the period, spinning only the last part, so
// that the processor is free meanwhile (a 2-core machine has no other).
void waitUntil(double next)
{
    while (next - bench::now() > 0.0012)
        Sleep(1);
    while (bench::now() < next) {
    }
}

// The private memory of this process's engine host, if one runs.
double engineHostMegabytes()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    double megabytes = 0.0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID != GetCurrentProcessId() ||
            _strnicmp(entry.szExeFile, "VelmorantEngineHost", 19) != 0)
            continue;
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, entry.th32ProcessID);
        PROCESS_MEMORY_COUNTERS_EX counters = {};
        counters.cb = sizeof counters;
        if (process != nullptr &&
            GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
            megabytes = static_cast<double>(std::max<SIZE_T>(counters.PrivateUsage, counters.PagefileUsage)) /
                        (1024.0 * 1024.0);
        if (process != nullptr)
            CloseHandle(process);
    }
    CloseHandle(snapshot);
    return megabytes;
}

// One staged plug-in with `engine`, its blocks timed at each size.
Figures measure(const std::string& engine, const std::string& extraHost, int blocks)
{
    Figures figures;
    velmorant_test::PluginStage stage("Velmorant.dll", engine, "", false);
    stage.stage(ownHost, ownHost);
    if (!extraHost.empty()) {
        stage.stage(extraHost, otherHost);
#if defined(_WIN64)
        common::copyFolder(extraHost.substr(0, extraHost.find_last_of("\\/") + 1) + "Velmorant.Runtime",
                           stage.folder() + "Velmorant.Runtime");
#endif
    }
    if (!stage.load())
        return figures;

    const double instantiated = bench::now();
    for (int i = 0; i < 5; ++i) {
        velmorant_test::StagedEffect effect(stage.instantiate(&benchHost));
        effect.dispatch(effOpen);
    }
    figures.instantiateMilliseconds = (bench::now() - instantiated) * 1000.0 / 5;

    for (int size = 0; size < 3; ++size) {
        const int32_t frames = blockSizes[size];
        velmorant_test::StagedEffect effect(stage.instantiate(&benchHost));
        if (!effect)
            return figures;
        effect.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
        effect.dispatch(effSetBlockSize, 0, frames);
        effect.dispatch(effMainsChanged, 0, 1);
        std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
        float* outputs[2] = {left.data(), right.data()};
        // A held chord, so that the engine renders real voices.
        VstMidiEvent notes[4] = {};
        struct {
            int32_t numEvents;
            intptr_t reserved;
            VstEvent* events[4];
        } list = {4, 0, {}};
        for (int n = 0; n < 4; ++n) {
            notes[n].type = kVstMidiType;
            notes[n].byteSize = sizeof(VstMidiEvent);
            notes[n].midiData[0] = static_cast<char>(0x90);
            notes[n].midiData[1] = static_cast<char>(48 + 4 * n);
            notes[n].midiData[2] = 100;
            list.events[n] = reinterpret_cast<VstEvent*>(&notes[n]);
        }
        hostTime = VstTimeInfo{};
        hostTime.sampleRate = 44100.0;
        hostTime.tempo = 120.0;
        hostTime.flags = kVstTransportPlaying | kVstTempoValid;
        effect.dispatch(effProcessEvents, 0, 0, &list);
        std::vector<double> times;
        times.reserve(static_cast<size_t>(blocks));
        for (int block = 0; block < blocks + 200; ++block) {
            const double start = bench::now();
            effect.processReplacing(nullptr, outputs, frames);
            const double took = bench::now() - start;
            hostTime.samplePos += frames;
            if (block >= 200)
                times.push_back(took * 1e6);
        }
        figures.blockMicroseconds[size] = median(times);
        if (size == 1) {
            // At the pace of real time the engine host sleeps between blocks
            // and is woken once a block: the figure a live host sees.
            times.clear();
            const double period = frames / 44100.0;
            double next = bench::now();
            for (int block = 0; block < 600; ++block) {
                next += period;
                waitUntil(next);
                const double start = bench::now();
                effect.processReplacing(nullptr, outputs, frames);
                const double took = bench::now() - start;
                hostTime.samplePos += frames;
                if (block >= 100)
                    times.push_back(took * 1e6);
            }
            figures.pacedMicroseconds = median(times);
            volatile float sink = 0.0f;
            figures.getParameterNanoseconds =
                bench::bestNanoseconds(20000, [&](int i) { sink = sink + effect.getParameter(i % 14); });
            figures.engineHostMegabytes = engineHostMegabytes();
        }
    }
    return figures;
}

void print(const char* title, const Figures& inProcess, const Figures& ownProcess)
{
    std::printf("%s\n", title);
    std::printf("  %-24s %12s %12s %12s\n", "per block (median)", "host's", "own process", "added");
    for (int size = 0; size < 3; ++size) {
        std::printf("  %4d frames %12s %9.2f us %9.2f us %9.2f us\n", blockSizes[size], "",
                    inProcess.blockMicroseconds[size], ownProcess.blockMicroseconds[size],
                    ownProcess.blockMicroseconds[size] - inProcess.blockMicroseconds[size]);
    }
    std::printf("    64 frames in real time %9.2f us %9.2f us %9.2f us\n", inProcess.pacedMicroseconds,
                ownProcess.pacedMicroseconds, ownProcess.pacedMicroseconds - inProcess.pacedMicroseconds);
    std::printf("  getParameter            %9.1f ns %9.1f ns\n", inProcess.getParameterNanoseconds,
                ownProcess.getParameterNanoseconds);
    std::printf("  instantiate and close   %9.2f ms %9.2f ms\n", inProcess.instantiateMilliseconds,
                ownProcess.instantiateMilliseconds);
    std::printf("  engine host memory      %12s %9.1f MB private\n", "", ownProcess.engineHostMegabytes);
}

// The floor's other side: waits on one event and sets the other, until a
// second passes without a wake.
int answerWakes(const char* pingName, const char* pongName)
{
    HANDLE ping = OpenEventA(SYNCHRONIZE, FALSE, pingName);
    HANDLE pong = OpenEventA(EVENT_MODIFY_STATE, FALSE, pongName);
    if (ping == nullptr || pong == nullptr)
        return 1;
    while (WaitForSingleObject(ping, 1000) == WAIT_OBJECT_0)
        SetEvent(pong);
    CloseHandle(ping);
    CloseHandle(pong);
    return 0;
}

// The median microseconds of a paced round trip through a copy of this
// program (--answer), 64 frames of time apart: what Wine charges for one
// wake each way.
double wakeFloorMicroseconds()
{
    const std::string suffix = std::to_string(GetCurrentProcessId());
    const std::string pingName = "VelmorantBenchPing" + suffix;
    const std::string pongName = "VelmorantBenchPong" + suffix;
    HANDLE ping = CreateEventA(nullptr, FALSE, FALSE, pingName.c_str());
    HANDLE pong = CreateEventA(nullptr, FALSE, FALSE, pongName.c_str());
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = "\"" + std::string(self) + "\" --answer " + pingName + " " + pongName;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    double floor = 0.0;
    if (ping != nullptr && pong != nullptr &&
        CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child)) {
        std::vector<double> times;
        const double period = 64 / 44100.0;
        double next = bench::now();
        for (int round = 0; round < 600; ++round) {
            next += period;
            waitUntil(next);
            const double start = bench::now();
            SetEvent(ping);
            if (WaitForSingleObject(pong, 5000) != WAIT_OBJECT_0)
                break;
            if (round >= 100)
                times.push_back((bench::now() - start) * 1e6);
        }
        floor = median(times);
        CloseHandle(ping);
        ping = nullptr;
        WaitForSingleObject(child.hProcess, 5000);
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
    }
    if (ping != nullptr)
        CloseHandle(ping);
    if (pong != nullptr)
        CloseHandle(pong);
    return floor;
}

// The other build's copy of this program, asked for its in-process figures.
bool peerInProcess(const std::string& peer, int blocks, Figures& figures)
{
    const std::string command =
        "\"" + peer + "engine_process_bench.exe\" --in-process-only --blocks " + std::to_string(blocks);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return false;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    const bool started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, peer.c_str(),
                                        &startup, &child) != FALSE;
    CloseHandle(writeEnd);
    std::string text;
    char buffer[512];
    DWORD read = 0;
    while (started && ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0)
        text.append(buffer, read);
    CloseHandle(readEnd);
    if (!started)
        return false;
    WaitForSingleObject(child.hProcess, INFINITE);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return std::sscanf(text.c_str(), "figures %lf %lf %lf %lf %lf %lf", &figures.blockMicroseconds[0],
                       &figures.blockMicroseconds[1], &figures.blockMicroseconds[2], &figures.getParameterNanoseconds,
                       &figures.instantiateMilliseconds, &figures.pacedMicroseconds) == 6;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string peer;
    bool inProcessOnly = false;
    int blocks = 4000;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--peer" && i + 1 < argc) {
            peer = argv[++i];
            if (!peer.empty() && peer.back() != '\\' && peer.back() != '/')
                peer += '\\';
        } else if (argument == "--blocks" && i + 1 < argc) {
            blocks = std::max(100, std::atoi(argv[++i]));
        } else if (argument == "--in-process-only") {
            inProcessOnly = true;
        } else if (argument == "--answer" && i + 2 < argc) {
            return answerWakes(argv[i + 1], argv[i + 2]);
        }
    }

    setEngineProcess(false);
    const Figures inProcess = measure("VelmorantEngine.dll", "", blocks);
    if (inProcessOnly) {
        std::printf("figures %f %f %f %f %f %f\n", inProcess.blockMicroseconds[0], inProcess.blockMicroseconds[1],
                    inProcess.blockMicroseconds[2], inProcess.getParameterNanoseconds,
                    inProcess.instantiateMilliseconds, inProcess.pacedMicroseconds);
        return 0;
    }
    setEngineProcess(true);
    const Figures ownProcess = measure("VelmorantEngine.dll", "", blocks);
    setEngineProcess(false);
    std::printf("engine process bench: the reference engine holding a chord, %d blocks a size\n\n", blocks);
    print((std::string("the ") + ownBits + " engine host (EngineProcess = 1), beside the engine in the host's process")
              .c_str(),
          inProcess, ownProcess);
    std::printf("  floor: a bare round trip to another process at that pace %9.2f us\n", wakeFloorMicroseconds());

    if (!peer.empty()) {
        Figures peerInHost;
        const bool measured = peerInProcess(peer, blocks, peerInHost);
        const Figures crossed = measure(peer + "VelmorantEngine.dll", peer + otherHost, blocks);
        std::printf("\n");
        print((std::string("the ") + otherBits + " engine host (the " + otherBits + " engine, chosen by its header)" +
               ", beside the " + otherBits + " plug-in with the engine in its process" +
               (measured ? "" : " (not measured)"))
                  .c_str(),
              peerInHost, crossed);
    }
    return 0;
}
