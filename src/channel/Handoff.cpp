#include "channel/Handoff.h"

#include <windows.h>

#if defined(__SSE2__) || defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#endif

namespace channel {

namespace {

inline void relax()
{
#if defined(__SSE2__) || defined(__i386__) || defined(__x86_64__)
    _mm_pause();
#endif
}

int64_t ticksPerMicrosecond()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart >= 1000000 ? frequency.QuadPart / 1000000 : 1;
}

int64_t now()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

}  // namespace

bool NamedEvent::create(const char* name)
{
    close();
    HANDLE created = CreateEventA(nullptr, FALSE, FALSE, name);
    if (created != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(created);
        return false;
    }
    event = created;
    return event != nullptr;
}

bool NamedEvent::open(const char* name)
{
    close();
    event = OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name);
    return event != nullptr;
}

void NamedEvent::close()
{
    if (event != nullptr)
        CloseHandle(event);
    event = nullptr;
}

void NamedEvent::set() const
{
    if (event != nullptr)
        SetEvent(event);
}

void publish(std::atomic<uint32_t>& sequence, uint32_t value, std::atomic<uint32_t>& receiverWaiting,
             const NamedEvent& receiverEvent)
{
    sequence.store(value, std::memory_order_seq_cst);
    if (receiverWaiting.load(std::memory_order_seq_cst) != 0)
        receiverEvent.set();
}

AwaitResult await(const std::atomic<uint32_t>& sequence, uint32_t expected, std::atomic<uint32_t>& ownWaiting,
                  const NamedEvent& ownEvent, const AwaitSettings& settings)
{
    if (sequence.load(std::memory_order_acquire) == expected)
        return AwaitResult::Arrived;
    const int64_t perMicrosecond = ticksPerMicrosecond();
    const int64_t start = now();
    if (settings.spinMicroseconds > 0) {
        const int64_t spinEnd = start + perMicrosecond * settings.spinMicroseconds;
        for (;;) {
            for (int i = 0; i < 32; ++i) {
                if (sequence.load(std::memory_order_acquire) == expected)
                    return AwaitResult::Arrived;
                relax();
            }
            if (now() >= spinEnd)
                break;
        }
    }

    HANDLE handles[2] = {ownEvent.handle(), settings.otherHandle};
    const DWORD handleCount = settings.otherHandle != nullptr ? 2 : 1;
    const int64_t deadline =
        settings.timeoutMs == INFINITE ? 0 : start + perMicrosecond * 1000 * static_cast<int64_t>(settings.timeoutMs);
    for (;;) {
        ownWaiting.store(1, std::memory_order_seq_cst);
        if (sequence.load(std::memory_order_seq_cst) == expected) {
            ownWaiting.store(0, std::memory_order_relaxed);
            return AwaitResult::Arrived;
        }
        DWORD wait = INFINITE;
        if (settings.timeoutMs != INFINITE) {
            const int64_t left = deadline - now();
            wait = left <= 0 ? 0 : static_cast<DWORD>((left + perMicrosecond * 1000 - 1) / (perMicrosecond * 1000));
        }
        const DWORD woken = WaitForMultipleObjects(handleCount, handles, FALSE, wait);
        ownWaiting.store(0, std::memory_order_relaxed);
        if (sequence.load(std::memory_order_acquire) == expected)
            return AwaitResult::Arrived;
        if (woken == WAIT_OBJECT_0 + 1)
            return AwaitResult::Signalled;
        if (woken == WAIT_TIMEOUT || woken == WAIT_FAILED)
            return AwaitResult::TimedOut;
        // A stale wake-up from an earlier number: look again.
    }
}

}  // namespace channel
