// The engine host program started for one plug-in instance, and the process
// handle the plug-in waits on together with every answer: a process that has
// ended, for whatever reason, is seen at once.
#pragma once

#include <cstdint>
#include <string>

namespace remote {

class EngineHostProcess {
public:
    EngineHostProcess() = default;
    ~EngineHostProcess() { end(); }
    EngineHostProcess(const EngineHostProcess&) = delete;
    EngineHostProcess& operator=(const EngineHostProcess&) = delete;

    // Starts `program` with the channel's name and this process's id; false
    // when the system cannot start it (missing, or not runnable here).
    bool start(const std::string& program, const std::string& channelName);

    void* handle() const { return process; }
    bool hasEnded() const;
    // The exit code once ended; STILL_ACTIVE (259) while it runs.
    uint32_t exitCode() const;
    // Waits up to `milliseconds` for the process to end by itself.
    bool waitForEnd(uint32_t milliseconds) const;
    // Ends it now if it still runs, and lets go of the handle.
    void end();
    // Ends it without waiting (also from the audio thread); the handle stays.
    void kill() const;

private:
    void* process = nullptr;
};

}  // namespace remote
