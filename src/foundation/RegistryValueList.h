// A walk over the values of one key. The list owns the key handle and closes
// it when destroyed. next() fills the current name, type and data by
// RegEnumValueA with the list's own buffers, then advances the index.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

namespace Korvanta {

class RegistryValueList {
public:
    // Takes ownership of an open key; sizes the buffers for the longest value
    // name and data the key reports now. A key that cannot be queried lists
    // nothing.
    explicit RegistryValueList(HKEY key);
    ~RegistryValueList();
    RegistryValueList(const RegistryValueList&) = delete;
    RegistryValueList& operator=(const RegistryValueList&) = delete;

    // Steps to the next value; false at the end or when the value can no longer
    // be read into the buffers (it grew after construction).
    bool next();

    uint32_t count() const { return valueCount; }
    const char* name() const { return nameBuffer.get(); }
    uint32_t type() const { return valueType; }
    uint32_t size() const { return dataSize; }

    // The data as text for REG_SZ / REG_EXPAND_SZ, else registry_invalid_value_type*.
    const char* stringValue() const;
    // The first 32 bits of the data, zero-padded when it is shorter; no type check.
    uint32_t dwordValue() const;
    // Heap copy of REG_BINARY data (free with delete[]; null when empty) and its
    // size, else registry_invalid_value_type*.
    char* binaryValue(uint32_t& size) const;

private:
    HKEY key;
    uint32_t index = 0;
    uint32_t valueCount = 0;
    std::unique_ptr<char[]> nameBuffer;
    uint32_t nameLength = 0;
    uint32_t valueType = 0;
    std::unique_ptr<char[]> dataBuffer;
    uint32_t dataSize = 0;
    uint32_t nameCapacity = 0;  // longest value name at construction
    uint32_t dataCapacity = 0;  // longest value data at construction
};

}  // namespace Korvanta
