#include "stream/StreamBuffer.h"

#include <cstring>

#include <windows.h>

#include "StreamBufferException.h"
#include "stream/MemAllocator.h"

namespace Korvanta {

namespace {

// Below this a growing block is given at least this much room at once.
constexpr uint32_t MinimumCapacity = 256;

}  // namespace

StreamBuffer::StreamBuffer()
    : refCount(1), allocator(new MemAllocator), block(nullptr), blockSize(0), position(0), ownsAllocator(true),
      capacity(0)
{
}

StreamBuffer::StreamBuffer(Allocator* given)
    : refCount(1), allocator(given), block(nullptr), blockSize(0), position(0), ownsAllocator(false), capacity(0)
{
    if (allocator) {
        allocator->addRef();
    }
}

StreamBuffer::StreamBuffer(void* borrowed, uint32_t size)
    : refCount(1), allocator(nullptr), block(static_cast<uint8_t*>(borrowed)), blockSize(borrowed ? size : 0),
      position(0), ownsAllocator(false), capacity(borrowed ? size : 0)
{
}

StreamBuffer::~StreamBuffer()
{
    if (allocator) {
        if (block) {
            allocator->deallocate(block);
        }
        allocator->release();
    }
}

int32_t StreamBuffer::addRef()
{
    return InterlockedIncrement(&refCount);
}

int32_t StreamBuffer::release()
{
    const int32_t count = InterlockedDecrement(&refCount);
    if (count == 0) {
        delete this;
    }
    return count;
}

uint32_t StreamBuffer::read(void* destination, uint32_t count)
{
    if (count == 0 || !destination) {
        return 0;
    }
    if (count > blockSize - position) {
        throw StreamBufferException(this, StreamBufferException::ReadPastEnd);
    }
    std::memcpy(destination, block + position, count);
    position += count;
    return count;
}

uint32_t StreamBuffer::write(const void* source, uint32_t count)
{
    if (count == 0 || !source) {
        return 0;
    }
    if (count > blockSize - position) {
        if (!allocator) {
            throw StreamBufferException(this, StreamBufferException::NoAllocator);
        }
        // An end beyond 32 bits would wrap and land the copy inside the block.
        if (count > UINT32_MAX - position) {
            throw StreamBufferException(this, StreamBufferException::AllocationFailed);
        }
        reserve(position + count);
        blockSize = position + count;
    }
    std::memcpy(block + position, source, count);
    position += count;
    return count;
}

uint32_t StreamBuffer::seek(int32_t offset, int32_t origin)
{
    // Signed arithmetic: a target before the start stops at 0 instead of
    // wrapping into a request for a 4 GB block.
    int64_t target = offset;
    if (origin == 1) {
        target += position;
    } else if (origin == 2) {
        target += blockSize;
    }
    if (target < 0) {
        target = 0;
    }
    if (target <= blockSize) {
        position = static_cast<uint32_t>(target);
    } else if (allocator) {
        if (target > UINT32_MAX) {
            throw StreamBufferException(this, StreamBufferException::AllocationFailed);
        }
        const uint32_t end = static_cast<uint32_t>(target);
        reserve(end);
        // The gap ends up in a saved chunk: zeros rather than stale heap contents.
        std::memset(block + blockSize, 0, end - blockSize);
        blockSize = end;
        position = end;
    } else {
        position = blockSize;
    }
    return position;
}

uint8_t* StreamBuffer::data()
{
    return block;
}

uint32_t StreamBuffer::size()
{
    return blockSize;
}

Allocator* StreamBuffer::detach(uint8_t** outBlock, uint32_t* outSize)
{
    if (outBlock) {
        *outBlock = block;
    }
    if (outSize) {
        *outSize = blockSize;
    }
    Allocator* const handedOver = allocator;
    allocator = nullptr;
    block = nullptr;
    blockSize = 0;
    position = 0;
    capacity = 0;
    if (handedOver) {
        if (ownsAllocator) {
            handedOver->addRef();
            ownsAllocator = false;
        }
        handedOver->release();
    }
    return handedOver;
}

uint32_t StreamBuffer::truncate()
{
    if (allocator && position != blockSize) {
        resize(position);
    }
    return blockSize;
}

uint8_t* StreamBuffer::resize(uint32_t newSize)
{
    if (!allocator) {
        throw StreamBufferException(this, StreamBufferException::NoAllocator);
    }
    if (newSize > blockSize) {
        if (newSize > capacity) {
            void* grown = allocator->reallocate(block, newSize);
            if (!grown) {
                throw StreamBufferException(this, StreamBufferException::AllocationFailed);
            }
            block = static_cast<uint8_t*>(grown);
            capacity = newSize;
        }
        blockSize = newSize;
    } else if (newSize < blockSize) {
        if (newSize == 0) {
            // realloc to 0 may free and answer null; say so explicitly.
            allocator->deallocate(block);
            block = nullptr;
            capacity = 0;
        } else if (void* shrunk = allocator->reallocate(block, newSize)) {
            block = static_cast<uint8_t*>(shrunk);
            capacity = newSize;
        }
        // A failed shrink leaves the old block valid: keep it rather than lose it.
        blockSize = newSize;
        if (position > blockSize) {
            position = blockSize;
        }
    }
    return block;
}

void StreamBuffer::reserve(uint32_t end)
{
    if (end <= capacity) {
        return;
    }
    uint64_t wanted = static_cast<uint64_t>(capacity) * 2;
    if (wanted < end) {
        wanted = end;
    }
    if (wanted < MinimumCapacity) {
        wanted = MinimumCapacity;
    }
    if (wanted > UINT32_MAX) {
        wanted = UINT32_MAX;
    }
    void* grown = allocator->reallocate(block, static_cast<uint32_t>(wanted));
    if (!grown && wanted > end) {
        // The spare room is a speed-up, not a need: try the exact size.
        wanted = end;
        grown = allocator->reallocate(block, end);
    }
    if (!grown) {
        throw StreamBufferException(this, StreamBufferException::AllocationFailed);
    }
    block = static_cast<uint8_t*>(grown);
    capacity = static_cast<uint32_t>(wanted);
}

}  // namespace Korvanta
