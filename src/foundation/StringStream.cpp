#include "foundation/StringStream.h"

#include <cstring>

namespace Korvanta {

stringStream::stringStream(std::string& target, uint32_t growthStep)
    : growthStep(growthStep), target(&target), position(0)
{
}

bool stringStream::atEnd()
{
    return position >= target->size();
}

int32_t stringStream::readRaw(void* destination, int32_t count)
{
    if (!destination || count <= 0 || position >= target->size()) {
        return 0;
    }
    const size_t left = target->size() - position;
    const size_t taken = left < static_cast<size_t>(count) ? left : static_cast<size_t>(count);
    std::memcpy(destination, target->data() + position, taken);
    position += static_cast<uint32_t>(taken);
    return static_cast<int32_t>(taken);
}

int32_t stringStream::writeRaw(const void* source, int32_t count)
{
    if (!source || count <= 0) {
        return 0;
    }
    // The owner may have shortened the string since the last transfer.
    if (position > target->size()) {
        position = static_cast<uint32_t>(target->size());
    }
    const uint64_t end = static_cast<uint64_t>(position) + static_cast<uint64_t>(count);
    if (end > UINT32_MAX) {
        return 0;
    }
    target->resize(position);
    if (target->capacity() < end) {
        // The step alone would make a long run of small writes quadratic.
        uint64_t wanted = end + growthStep;
        const uint64_t doubled = static_cast<uint64_t>(target->capacity()) * 2;
        if (wanted < doubled) {
            wanted = doubled;
        }
        target->reserve(static_cast<size_t>(wanted));
    }
    target->append(static_cast<const char*>(source), static_cast<size_t>(count));
    position = static_cast<uint32_t>(end);
    return count;
}

}  // namespace Korvanta
