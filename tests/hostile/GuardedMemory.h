// Memory the hostile host hands to the plug-in: every block sits between two
// guard zones of known bytes, so a write past either end is seen after the
// call. A block can also be marked as one the plug-in must not write at all
// (records the plug-in is defined to leave alone).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace hostile_test {

class GuardedBlock {
public:
    static constexpr size_t guardSize = 64;

    GuardedBlock(size_t size, uint8_t fill, std::string name)
        : storage(size + 2 * guardSize), size_(size), name_(std::move(name))
    {
        for (size_t i = 0; i < guardSize; ++i) {
            storage[i] = guardByte(i);
            storage[guardSize + size + i] = guardByte(guardSize + i);
        }
        std::memset(data(), fill, size);
    }

    uint8_t* data() { return storage.data() + guardSize; }
    const uint8_t* data() const { return storage.data() + guardSize; }
    size_t size() const { return size_; }
    const std::string& name() const { return name_; }

    // Remembers the current contents: unchanged() then reports any write.
    void keepSnapshot()
    {
        snapshot.assign(data(), data() + size_);
        mustNotChange = true;
    }

    // Empty when both guard zones (and a kept snapshot) are intact; otherwise
    // what was overwritten.
    std::string damage() const
    {
        for (size_t i = 0; i < guardSize; ++i) {
            if (storage[i] != guardByte(i))
                return name_ + ": written " + std::to_string(guardSize - i) + " bytes before its start";
        }
        for (size_t i = 0; i < guardSize; ++i) {
            if (storage[guardSize + size_ + i] != guardByte(guardSize + i))
                return name_ + ": written at byte " + std::to_string(size_ + i) + " of " + std::to_string(size_);
        }
        if (mustNotChange && size_ != 0 && std::memcmp(snapshot.data(), data(), size_) != 0)
            return name_ + ": contents changed although nothing may be written into it";
        return std::string();
    }

    // True when some byte differs from the fill the block was made with.
    bool written(uint8_t fill) const
    {
        for (size_t i = 0; i < size_; ++i) {
            if (data()[i] != fill)
                return true;
        }
        return false;
    }

    // True when a zero byte ends a text within the block.
    bool terminated() const { return std::memchr(data(), 0, size_) != nullptr; }

private:
    static uint8_t guardByte(size_t i) { return static_cast<uint8_t>(0xA5 ^ (i * 29)); }

    std::vector<uint8_t> storage;
    size_t size_;
    std::string name_;
    std::vector<uint8_t> snapshot;
    bool mustNotChange = false;
};

// The blocks of one call; checked together after it, then dropped.
class GuardedArena {
public:
    GuardedBlock& make(size_t size, const std::string& name, uint8_t fill = 0)
    {
        blocks.push_back(std::make_unique<GuardedBlock>(size, fill, name));
        return *blocks.back();
    }

    template <typename T>
    T* make(const std::string& name, uint8_t fill = 0)
    {
        return reinterpret_cast<T*>(make(sizeof(T), name, fill).data());
    }

    std::string damage() const
    {
        for (const auto& block : blocks) {
            std::string found = block->damage();
            if (!found.empty())
                return found;
        }
        return std::string();
    }

    void clear() { blocks.clear(); }

private:
    std::vector<std::unique_ptr<GuardedBlock>> blocks;
};

}  // namespace hostile_test
