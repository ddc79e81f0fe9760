#include "DebugTraceCapture.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

namespace host {

namespace {

constexpr DWORD printException = 0x40010006;  // DBG_PRINTEXCEPTION_C

std::atomic<int64_t> lines{0};
bool echoLines = false;
void* handler = nullptr;

LONG CALLBACK onException(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD* record = info != nullptr ? info->ExceptionRecord : nullptr;
    if (record == nullptr || record->ExceptionCode != printException || record->NumberParameters < 2) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    lines.fetch_add(1);
    if (echoLines) {
        const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        const ULONG_PTR length = record->ExceptionInformation[0];
        if (text != nullptr && length > 1) {
            // The length counts the terminator.
            std::fprintf(stderr, "trace: %.*s", static_cast<int>(length - 1), text);
            if (text[length - 2] != '\n') {
                std::fputc('\n', stderr);
            }
        }
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void DebugTraceCapture::start(bool echo)
{
    echoLines = echo;
    if (handler == nullptr) {
        handler = AddVectoredExceptionHandler(1, &onException);
    }
}

void DebugTraceCapture::stop()
{
    if (handler != nullptr) {
        RemoveVectoredExceptionHandler(handler);
        handler = nullptr;
    }
}

int64_t DebugTraceCapture::linesSeen()
{
    return lines.load();
}

}  // namespace host
