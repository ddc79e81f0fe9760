// Captures OutputDebugStringA texts inside the test process.
//
// OutputDebugStringA raises exception 0x40010006 with the text's length
// (terminator included) and address as its two arguments; a vectored handler
// sees it before anything else, keeps a copy and continues execution, so the
// text goes nowhere else while a capture is active.
//
// The handler allocates nothing: texts go into storage reserved up front, so a
// capture may stay active around code whose allocations a test counts. Texts
// that do not fit are counted in dropped() instead of being kept.
//
//     velmorant_test::DebugOutputCapture capture;
//     ... code that traces ...
//     EXPECT_EQ(capture.texts(), (std::vector<std::string>{"line\n"}));
//
// Captures may nest; the innermost one receives the texts.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

namespace velmorant_test {

class DebugOutputCapture {
public:
    static constexpr DWORD debugPrintException = 0x40010006;

    explicit DebugOutputCapture(std::size_t storageBytes = 1 << 20, std::size_t maxTexts = 1 << 14)
    {
        storage_.resize(storageBytes);
        ends_.reserve(maxTexts);
        maxTexts_ = maxTexts;
        previous_ = current();
        current() = this;
        // One handler serves every nested capture: 32-bit Wine crashes when
        // two vectored handlers continue the same debug-print exception.
        if (registrations()++ == 0)
            installedHandler() = AddVectoredExceptionHandler(1, &DebugOutputCapture::handler);
    }

    ~DebugOutputCapture()
    {
        if (--registrations() == 0 && installedHandler() != nullptr) {
            RemoveVectoredExceptionHandler(installedHandler());
            installedHandler() = nullptr;
        }
        current() = previous_;
    }

    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    // True when the handler could be installed.
    bool active() const { return installedHandler() != nullptr; }

    // Every text captured so far, one entry per OutputDebugStringA call,
    // exactly as passed.
    std::vector<std::string> texts() const
    {
        Lock lock(busy_);
        std::vector<std::string> result;
        result.reserve(ends_.size());
        std::size_t begin = 0;
        for (std::size_t end : ends_) {
            result.emplace_back(storage_.data() + begin, end - begin);
            begin = end;
        }
        return result;
    }

    // All captured texts joined, for checks on a whole trace.
    std::string joined() const
    {
        Lock lock(busy_);
        return std::string(storage_.data(), used_);
    }

    std::size_t count() const
    {
        Lock lock(busy_);
        return ends_.size();
    }

    std::size_t dropped() const { return dropped_.load(); }

    void clear()
    {
        Lock lock(busy_);
        ends_.clear();
        used_ = 0;
        dropped_ = 0;
    }

private:
    class Lock {
    public:
        explicit Lock(std::atomic_flag& flag) : flag_(flag)
        {
            while (flag_.test_and_set(std::memory_order_acquire))
                SwitchToThread();
        }
        ~Lock() { flag_.clear(std::memory_order_release); }

    private:
        std::atomic_flag& flag_;
    };

    static DebugOutputCapture*& current()
    {
        static DebugOutputCapture* capture = nullptr;
        return capture;
    }

    static int& registrations()
    {
        static int count = 0;
        return count;
    }

    static void*& installedHandler()
    {
        static void* handle = nullptr;
        return handle;
    }

    static LONG CALLBACK handler(EXCEPTION_POINTERS* pointers)
    {
        const EXCEPTION_RECORD* record = pointers != nullptr ? pointers->ExceptionRecord : nullptr;
        if (record == nullptr || record->ExceptionCode != debugPrintException || record->NumberParameters < 2)
            return EXCEPTION_CONTINUE_SEARCH;
        DebugOutputCapture* capture = current();
        if (capture == nullptr)
            return EXCEPTION_CONTINUE_SEARCH;
        const auto length = static_cast<std::size_t>(record->ExceptionInformation[0]);
        const auto* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        capture->keep(text, text != nullptr && length > 0 ? length - 1 : 0);
        return EXCEPTION_CONTINUE_EXECUTION;
    }

    void keep(const char* text, std::size_t length)
    {
        Lock lock(busy_);
        if (ends_.size() >= maxTexts_ || length > storage_.size() - used_) {
            ++dropped_;
            return;
        }
        if (length > 0)
            std::memcpy(storage_.data() + used_, text, length);
        used_ += length;
        ends_.push_back(used_);
    }

    std::vector<char> storage_;
    std::vector<std::size_t> ends_;
    std::size_t maxTexts_ = 0;
    std::size_t used_ = 0;
    std::atomic<std::size_t> dropped_{0};
    mutable std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
    DebugOutputCapture* previous_ = nullptr;
};

}  // namespace velmorant_test
