#include "ChildChannel.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "TextCopy.h"

namespace validator {

namespace {

constexpr size_t resultBytes = 1 << 20;
ChildChannel* channelOfThisProcess = nullptr;

// Result records: fields separated by tabs, notes by 0x1F, records by newlines.
std::string clean(const std::string& text)
{
    std::string out = text;
    for (char& ch : out) {
        if (ch == '\t' || ch == '\n' || ch == '\r' || ch == '\x1f') {
            ch = ' ';
        }
    }
    return out;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) {
            return parts;
        }
        start = at + 1;
    }
}

}  // namespace

struct ChildChannel::Block {
    volatile LONG checkIndex;
    volatile LONG startedChecks;
    volatile LONG crashCode;
    volatile LONG resultLength;
    volatile LONG engineCalls;
    uint64_t crashAddress;
    char lastCall[512];
    char crashWhere[512];
    char results[resultBytes];
};

ChildChannel* ChildChannel::create()
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, &inheritable, PAGE_READWRITE, 0, sizeof(Block), nullptr);
    if (mapping == nullptr) {
        return nullptr;
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Block));
    if (view == nullptr) {
        CloseHandle(mapping);
        return nullptr;
    }
    ChildChannel* channel = new ChildChannel(mapping, static_cast<Block*>(view));
    channel->reset();
    return channel;
}

ChildChannel* ChildChannel::open(uintptr_t handle)
{
    HANDLE mapping = reinterpret_cast<HANDLE>(handle);
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Block));
    return view != nullptr ? new ChildChannel(mapping, static_cast<Block*>(view)) : nullptr;
}

ChildChannel::~ChildChannel()
{
    UnmapViewOfFile(block);
    CloseHandle(static_cast<HANDLE>(mapping));
}

void ChildChannel::reset()
{
    block->checkIndex = -1;
    block->startedChecks = 0;
    block->crashCode = 0;
    block->resultLength = 0;
    block->engineCalls = 0;
    block->crashAddress = 0;
    block->lastCall[0] = '\0';
    block->crashWhere[0] = '\0';
    block->results[0] = '\0';
}

void ChildChannel::beginCheck(int32_t index)
{
    block->lastCall[0] = '\0';
    block->checkIndex = index;
    InterlockedIncrement(&block->startedChecks);
}

void ChildChannel::addResult(const Verdict& verdict)
{
    std::string record = clean(verdict.name) + '\t' + statusWord(verdict.status) + '\t' + clean(verdict.message);
    for (const std::string& note : verdict.notes) {
        record += (&note == &verdict.notes.front() ? '\t' : '\x1f') + clean(note);
    }
    record += '\n';
    const size_t used = static_cast<size_t>(block->resultLength);
    if (used + record.size() >= resultBytes) {
        return;
    }
    std::memcpy(block->results + used, record.data(), record.size());
    MemoryBarrier();
    block->resultLength = static_cast<LONG>(used + record.size());
}

namespace {

template <size_t size>
std::string readBounded(const char (&source)[size])
{
    char text[size];
    std::memcpy(text, source, size);
    text[size - 1] = '\0';
    return text;
}

}  // namespace

void ChildChannel::setLastCall(const char* text)
{
    Korvanta::copyText(block->lastCall, sizeof block->lastCall, text);
    block->engineCalls = block->engineCalls + 1;
}

void ChildChannel::setCrash(uint32_t code, uintptr_t address, const char* where)
{
    Korvanta::copyText(block->crashWhere, sizeof block->crashWhere, where);
    block->crashAddress = address;
    block->crashCode = static_cast<LONG>(code);
}

int32_t ChildChannel::currentCheck() const
{
    return block->checkIndex;
}

uint32_t ChildChannel::startedChecks() const
{
    return static_cast<uint32_t>(block->startedChecks);
}

uint32_t ChildChannel::engineCalls() const
{
    return static_cast<uint32_t>(block->engineCalls);
}

std::string ChildChannel::lastCall() const
{
    return readBounded(block->lastCall);
}

std::string ChildChannel::crashWhere() const
{
    return readBounded(block->crashWhere);
}

uint32_t ChildChannel::crashCode() const
{
    return static_cast<uint32_t>(block->crashCode);
}

uintptr_t ChildChannel::crashAddress() const
{
    return static_cast<uintptr_t>(block->crashAddress);
}

std::vector<Verdict> ChildChannel::results() const
{
    std::vector<Verdict> verdicts;
    const size_t length = static_cast<size_t>(block->resultLength);
    for (const std::string& record : split(std::string(block->results, length), '\n')) {
        const std::vector<std::string> fields = split(record, '\t');
        if (fields.size() < 3) {
            continue;
        }
        Verdict verdict;
        verdict.name = fields[0];
        verdict.status = fields[1] == "PASS" ? Status::Pass : fields[1] == "SKIP" ? Status::Skip : Status::Fail;
        verdict.message = fields[2];
        if (fields.size() > 3) {
            verdict.notes = split(fields[3], '\x1f');
        }
        verdicts.push_back(verdict);
    }
    return verdicts;
}

ChildChannel* activeChannel()
{
    return channelOfThisProcess;
}

void setActiveChannel(ChildChannel* channel)
{
    channelOfThisProcess = channel;
}

void lastCall(const char* fmt, ...)
{
    if (channelOfThisProcess == nullptr) {
        return;
    }
    char text[512];
    va_list arguments;
    va_start(arguments, fmt);
    std::vsnprintf(text, sizeof text, fmt, arguments);
    va_end(arguments);
    channelOfThisProcess->setLastCall(text);
}

}  // namespace validator
