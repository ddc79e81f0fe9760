// Helpers of the engine-process tests: the musician's setting, stages that
// carry the engine host programs, the engine hosts a process started, and a
// small host loop that renders blocks and keeps what came back.
//
// These tests run in a Wine prefix of their own (scripts/wine-run with
// VELMORANT_REMOTE_PREFIX=1), so that switching the setting, which every
// plug-in instance in a prefix reads, reaches no other test.
#pragma once

#include <windows.h>

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../support/PluginStage.h"
#include "../support/RecordingHost.h"

namespace remote_test {

#if defined(_WIN64)
inline constexpr char ownEngineHost[] = "VelmorantEngineHost64.exe";
#else
inline constexpr char ownEngineHost[] = "VelmorantEngineHost32.exe";
#endif

// HKCU\Software\Korvanta\Velmorant, value EngineProcess, for the life of the object.
class EngineProcessSetting {
public:
    explicit EngineProcessSetting(DWORD value, HKEY root = HKEY_CURRENT_USER) : root_(root)
    {
        HKEY key = nullptr;
        if (RegCreateKeyExA(root, "Software\\Korvanta\\Velmorant", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return;
        written_ = RegSetValueExA(key, "EngineProcess", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                  sizeof value) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    ~EngineProcessSetting() { erase(root_); }
    EngineProcessSetting(const EngineProcessSetting&) = delete;
    EngineProcessSetting& operator=(const EngineProcessSetting&) = delete;

    bool written() const { return written_; }

    static void erase(HKEY root)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(root, "Software\\Korvanta\\Velmorant", 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "EngineProcess");
            RegCloseKey(key);
        }
    }

private:
    HKEY root_;
    bool written_ = false;
};

// A plug-in stage with this architecture's engine host program beside it.
class RemoteStage : public velmorant_test::PluginStage {
public:
    explicit RemoteStage(const std::string& engineDll, bool withEngineHost = true)
        : PluginStage("Velmorant.dll", engineDll, "", false)
    {
        if (withEngineHost)
            hostStaged_ = stage(ownEngineHost, ownEngineHost);
        load();
    }
    bool ready() const { return staged() && loaded() && hostStaged_; }

private:
    bool hostStaged_ = true;
};

// The engine host processes whose parent is `parent` (this process by default).
inline std::vector<DWORD> engineHostsOf(DWORD parent = GetCurrentProcessId())
{
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return found;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID == parent && _strnicmp(entry.szExeFile, "VelmorantEngineHost", 19) == 0)
            found.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return found;
}

// Waits up to `milliseconds` for `parent` to have no engine host left.
inline bool noEngineHostsWithin(DWORD milliseconds, DWORD parent = GetCurrentProcessId())
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (!engineHostsOf(parent).empty()) {
        if (GetTickCount64() >= end)
            return false;
        Sleep(20);
    }
    return true;
}

inline bool killProcess(DWORD id)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (process == nullptr)
        return false;
    const bool ended = TerminateProcess(process, 9) && WaitForSingleObject(process, 5000) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

// Blocks of stereo audio through an effect, as a host's render loop makes
// them: an event list and the time for each block, then processReplacing.
class BlockRunner {
public:
    BlockRunner(velmorant_test::StagedEffect& effect, velmorant_test::RecordingHost& host, int32_t blockSize = 64)
        : effect_(effect), host_(host), blockSize_(blockSize), left_(blockSize), right_(blockSize)
    {
        time_.sampleRate = 44100.0;
        time_.tempo = 120.0;
        time_.timeSigNumerator = 4;
        time_.timeSigDenominator = 4;
        time_.flags = kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid;
        host_.answerTime(&time_);
    }

    void start(int32_t processLevel = 4)
    {
        host_.processLevel(processLevel);
        effect_.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
        effect_.dispatch(effSetBlockSize, 0, blockSize_);
        effect_.dispatch(effMainsChanged, 0, 1);
    }

    // One block; the messages (status, data1, data2 at frame) go first.
    struct Message {
        unsigned char status, data1, data2;
        int32_t frame;
    };
    void block(const std::vector<Message>& messages = {}, int32_t extraFlags = 0)
    {
        std::vector<VstMidiEvent> events(messages.size());
        struct {
            int32_t numEvents;
            intptr_t reserved;
            VstEvent* events[64];
        } list = {};
        for (size_t i = 0; i < messages.size() && i < 64; ++i) {
            VstMidiEvent& event = events[i];
            event = VstMidiEvent{};
            event.type = kVstMidiType;
            event.byteSize = sizeof(VstMidiEvent);
            event.deltaFrames = messages[i].frame;
            event.midiData[0] = static_cast<char>(messages[i].status);
            event.midiData[1] = static_cast<char>(messages[i].data1);
            event.midiData[2] = static_cast<char>(messages[i].data2);
            list.events[i] = reinterpret_cast<VstEvent*>(&event);
            ++list.numEvents;
        }
        time_.flags = (kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid) | extraFlags;
        if (list.numEvents > 0)
            effect_.dispatch(effProcessEvents, 0, 0, &list);
        float* outputs[2] = {left_.data(), right_.data()};
        effect_.processReplacing(nullptr, outputs, blockSize_);
        time_.samplePos += blockSize_;
        time_.ppqPos = time_.samplePos / 44100.0 * 2.0;
        for (int32_t i = 0; i < blockSize_; ++i)
            output.push_back(left_[static_cast<size_t>(i)]);
    }

    void silentBlocks(int count)
    {
        for (int i = 0; i < count; ++i)
            block();
    }

    VstTimeInfo& time() { return time_; }
    int32_t blockSize() const { return blockSize_; }

    // The left channel of every block so far.
    std::vector<float> output;

private:
    velmorant_test::StagedEffect& effect_;
    velmorant_test::RecordingHost& host_;
    int32_t blockSize_;
    std::vector<float> left_;
    std::vector<float> right_;
    VstTimeInfo time_{};
};

// An instance whose engine runs in its own process, resumed at 64 frames.
struct OwnProcessInstance {
    explicit OwnProcessInstance(const std::string& engineDll, int32_t processLevel = kVstProcessLevelOffline)
        : stage(engineDll), effect(stage.instantiate(host.callback())), runner(effect, host)
    {
        if (effect)
            runner.start(processLevel);
    }

    EngineProcessSetting setting{1};
    RemoteStage stage;
    velmorant_test::RecordingHost host;
    velmorant_test::StagedEffect effect;
    BlockRunner runner;
};

// The loudest sample of output[from, to).
inline float peakOf(const std::vector<float>& output, size_t from, size_t to)
{
    float peak = 0.0f;
    for (size_t i = from; i < to && i < output.size(); ++i)
        peak = std::max(peak, std::fabs(output[i]));
    return peak;
}

// The effect's state chunk, copied.
inline std::vector<uint8_t> chunkOf(velmorant_test::StagedEffect& effect)
{
    void* data = nullptr;
    const intptr_t size = effect.dispatch(effGetChunk, 0, 0, &data);
    if (size <= 0 || data == nullptr)
        return {};
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

inline void restoreChunk(velmorant_test::StagedEffect& effect, std::vector<uint8_t>& bytes)
{
    effect.dispatch(effSetChunk, 0, static_cast<intptr_t>(bytes.size()), bytes.data());
}

}  // namespace remote_test
