// How one side hands a sequence number to the other with at most one wake-up:
// the sender publishes the number and sets the receiver's event only when the
// receiver said it was going to sleep; the receiver spins briefly on the
// number before it says so and sleeps. Publishing and sleeping each fence the
// other's flag, so a number is never missed and an event never waited for in
// vain (a stale wake-up only makes the receiver look again).
#pragma once

#include <atomic>
#include <cstdint>

namespace channel {

// An auto-reset event shared by name; closed with the object.
class NamedEvent {
public:
    NamedEvent() = default;
    ~NamedEvent() { close(); }
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;

    bool create(const char* name);
    bool open(const char* name);
    void close();
    void set() const;
    void* handle() const { return event; }

private:
    void* event = nullptr;
};

// The number `value` is visible to the receiver; wakes it when it sleeps.
void publish(std::atomic<uint32_t>& sequence, uint32_t value, std::atomic<uint32_t>& receiverWaiting,
             const NamedEvent& receiverEvent);

enum class AwaitResult {
    Arrived,    // the sequence reached the awaited number
    Signalled,  // the other handle was signalled first (a process ended, a quit request)
    TimedOut,
};

struct AwaitSettings {
    uint32_t spinMicroseconds;  // looked at without sleeping this long
    uint32_t timeoutMs;         // then slept for at most this long (INFINITE: 0xFFFFFFFF)
    void* otherHandle;          // also ends the wait when signalled; may be null
};

// Waits until `sequence` holds `expected`.
AwaitResult await(const std::atomic<uint32_t>& sequence, uint32_t expected, std::atomic<uint32_t>& ownWaiting,
                  const NamedEvent& ownEvent, const AwaitSettings& settings);

}  // namespace channel
