// GoogleTest customisation for the win32-thread mingw-w64 toolchain, whose
// GCC 12 runtime has no std::mutex or std::condition_variable. GoogleTest
// needs them only for Notification, used by its own thread helpers; this one
// waits on an atomic flag instead. Found ahead of GoogleTest's own empty
// customisation header through the include path.
#pragma once

#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification() : notified_(false) {}
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { notified_.store(true, std::memory_order_release); }

    void WaitForNotification()
    {
        while (!notified_.load(std::memory_order_acquire)) {
        }
    }

private:
    std::atomic<bool> notified_;
};

}  // namespace internal
}  // namespace testing
