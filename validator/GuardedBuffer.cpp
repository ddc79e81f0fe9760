#include "GuardedBuffer.h"

#include <windows.h>

#include <cstring>

namespace validator {

namespace {

size_t pageSize()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}

}  // namespace

GuardedBuffer::GuardedBuffer(size_t size, unsigned char fillValue) : size_(size)
{
    const size_t page = pageSize();
    const size_t dataPages = (size + page - 1) / page;
    regionSize = (dataPages + 1) * page;
    region = VirtualAlloc(nullptr, regionSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (region == nullptr) {
        return;
    }
    char* const guard = static_cast<char*>(region) + dataPages * page;
    DWORD previous = 0;
    if (!VirtualProtect(guard, page, PAGE_NOACCESS, &previous)) {
        VirtualFree(region, 0, MEM_RELEASE);
        region = nullptr;
        return;
    }
    data_ = guard - size;
    fill(fillValue);
}

GuardedBuffer::~GuardedBuffer()
{
    if (region != nullptr) {
        VirtualFree(region, 0, MEM_RELEASE);
    }
}

void GuardedBuffer::fill(unsigned char value)
{
    if (data_ != nullptr) {
        std::memset(data_, value, size_);
    }
}

int GuardedBuffer::terminatedLength() const
{
    if (data_ == nullptr) {
        return -1;
    }
    const void* end = std::memchr(data_, 0, size_);
    return end != nullptr ? static_cast<int>(static_cast<const char*>(end) - data_) : -1;
}

std::string GuardedBuffer::text() const
{
    const int length = terminatedLength();
    return data_ == nullptr ? std::string() : std::string(data_, length >= 0 ? static_cast<size_t>(length) : size_);
}

}  // namespace validator
