// A fake VST host: a cdecl host callback that records every request and
// answers from a table the test sets.
//
// The host callback carries no user pointer, so the callback reaches the
// RecordingHost constructed last (and still alive) through a process-wide
// "current host"; constructing one makes it current, destroying it restores the
// one before. With no current host the callback answers 0.
//
// Default answers: "audioMasterVersion" 2400, "audioMasterGetTime" the time
// record set with answerTime (none at first), "audioMasterGetCurrentProcessLevel"
// the level set with processLevel (0 at first), "audioMasterProcessEvents" 1,
// everything else 0. answer(opcode, value) overrides any of them; onRequest, when
// set, runs first and may answer instead.
//
// The callback allocates nothing while the reserved room lasts (requests and
// MIDI events alike); what does not fit is counted in dropped(), never grown
// into, so a test that counts allocations on the processing path does not see
// the fake host's. Single-threaded like the tests that use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "vst/VstAbi.h"

namespace velmorant_test {

struct HostRequest {
    EffectRecord* effect;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
};

class RecordingHost {
public:
    static constexpr int32_t answerTableSize = 64;

    explicit RecordingHost(std::size_t maxRequests = 1 << 16, std::size_t maxMidiEvents = 1 << 14)
    {
        requests_.reserve(maxRequests);
        midiEvents_.reserve(maxMidiEvents);
        answers_[audioMasterVersion] = 2400;
        previous_ = current();
        current() = this;
    }

    ~RecordingHost() { current() = previous_; }

    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    // The function to hand to VSTPluginMain or an AudioEffect constructor.
    static HostCallback callback() { return &RecordingHost::dispatch; }

    // A fixed answer for one opcode (0 to 63), replacing the default.
    void answer(int32_t opcode, intptr_t value)
    {
        if (opcode >= 0 && opcode < answerTableSize)
            answers_[opcode] = value;
    }

    // The record "audioMasterGetTime" answers with; null answers 0.
    void answerTime(VstTimeInfo* info) { answer(audioMasterGetTime, reinterpret_cast<intptr_t>(info)); }

    void processLevel(int32_t level) { answer(audioMasterGetCurrentProcessLevel, level); }

    // Runs for every request after it is recorded; an answer it returns wins
    // over the table (for example to write a host text into ptr).
    std::function<std::optional<intptr_t>(const HostRequest&)> onRequest;

    const std::vector<HostRequest>& requests() const { return requests_; }

    // The requests with one opcode, in order.
    std::vector<HostRequest> requests(int32_t opcode) const
    {
        std::vector<HostRequest> found;
        for (const HostRequest& request : requests_)
            if (request.opcode == opcode)
                found.push_back(request);
        return found;
    }

    std::size_t count(int32_t opcode) const
    {
        std::size_t n = 0;
        for (const HostRequest& request : requests_)
            n += request.opcode == opcode ? 1 : 0;
        return n;
    }

    std::vector<int32_t> opcodes() const
    {
        std::vector<int32_t> found;
        for (const HostRequest& request : requests_)
            found.push_back(request.opcode);
        return found;
    }

    // Copies of the MIDI events received through "audioMasterProcessEvents"
    // (the host's list lives only for the call), in arrival order.
    const std::vector<VstMidiEvent>& midiEvents() const { return midiEvents_; }

    // Events of other types received through "audioMasterProcessEvents".
    std::size_t otherEvents() const { return otherEvents_; }

    // Requests or MIDI events that found no reserved room.
    std::size_t dropped() const { return dropped_; }

    void clear()
    {
        requests_.clear();
        midiEvents_.clear();
        otherEvents_ = 0;
        dropped_ = 0;
    }

private:
    static RecordingHost*& current()
    {
        static RecordingHost* host = nullptr;
        return host;
    }

    static intptr_t __cdecl dispatch(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                     float opt)
    {
        RecordingHost* host = current();
        return host != nullptr ? host->receive({effect, opcode, index, value, ptr, opt}) : 0;
    }

    intptr_t receive(const HostRequest& request)
    {
        if (requests_.size() < requests_.capacity())
            requests_.push_back(request);
        else
            ++dropped_;
        if (request.opcode == audioMasterProcessEvents)
            keepEvents(static_cast<const VstEvents*>(request.ptr));
        if (onRequest) {
            if (std::optional<intptr_t> answer = onRequest(request))
                return *answer;
        }
        if (request.opcode >= 0 && request.opcode < answerTableSize && answers_[request.opcode])
            return *answers_[request.opcode];
        if (request.opcode == audioMasterProcessEvents)
            return 1;
        return 0;
    }

    // The list comes from the plug-in under test: a null list, a negative count
    // or a null entry is recorded as nothing rather than followed.
    void keepEvents(const VstEvents* list)
    {
        if (list == nullptr || list->numEvents <= 0)
            return;
        for (int32_t i = 0; i < list->numEvents; ++i) {
            const VstEvent* event = list->events[i];
            if (event == nullptr)
                continue;
            if (event->type != kVstMidiType) {
                ++otherEvents_;
                continue;
            }
            if (midiEvents_.size() >= midiEvents_.capacity()) {
                ++dropped_;
                continue;
            }
            VstMidiEvent copy;
            std::memcpy(&copy, event, sizeof copy);
            midiEvents_.push_back(copy);
        }
    }

    std::optional<intptr_t> answers_[answerTableSize];
    std::vector<HostRequest> requests_;
    std::vector<VstMidiEvent> midiEvents_;
    std::size_t otherEvents_ = 0;
    std::size_t dropped_ = 0;
    RecordingHost* previous_ = nullptr;
};

}  // namespace velmorant_test
