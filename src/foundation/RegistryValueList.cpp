#include "foundation/RegistryValueList.h"

#include <cstring>

#include "foundation/RegistryException.h"

namespace Korvanta {

RegistryValueList::RegistryValueList(HKEY ownedKey) : key(ownedKey)
{
    DWORD values = 0;
    DWORD longestName = 0;
    DWORD longestData = 0;
    if (key && RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, &longestName,
                                &longestData, nullptr, nullptr) == ERROR_SUCCESS) {
        valueCount = values;
        nameCapacity = longestName;
        dataCapacity = longestData;
    }
    nameLength = nameCapacity;
    dataSize = dataCapacity;
    try {
        nameBuffer.reset(new char[nameCapacity + 1]());
        // Room for a terminator behind text data, and at least a DWORD so that
        // dwordValue never reads past the buffer.
        dataBuffer.reset(new char[(dataCapacity < 4 ? 4 : dataCapacity) + 1]());
    } catch (...) {
        if (key)
            RegCloseKey(key);
        throw;
    }
}

RegistryValueList::~RegistryValueList()
{
    if (key)
        RegCloseKey(key);
}

bool RegistryValueList::next()
{
    if (index >= valueCount)
        return false;
    DWORD nameInOut = nameCapacity + 1;
    DWORD dataInOut = dataCapacity;
    DWORD type = 0;
    LONG result = RegEnumValueA(key, index, nameBuffer.get(), &nameInOut, nullptr, &type,
                                reinterpret_cast<BYTE*>(dataBuffer.get()), &dataInOut);
    if (result != ERROR_SUCCESS) {
        index = valueCount;
        nameBuffer[0] = 0;
        nameLength = 0;
        valueType = 0;
        dataSize = 0;
        return false;
    }
    ++index;
    nameLength = nameInOut;
    valueType = type;
    dataSize = dataInOut;
    // Clear what the previous value left behind the new data.
    std::memset(dataBuffer.get() + dataSize, 0, (dataCapacity < 4 ? 4 : dataCapacity) + 1 - dataSize);
    return true;
}

const char* RegistryValueList::stringValue() const
{
    if (valueType != REG_SZ && valueType != REG_EXPAND_SZ)
        throw new registry_invalid_value_type();
    return dataBuffer.get();
}

uint32_t RegistryValueList::dwordValue() const
{
    uint32_t value = 0;
    std::memcpy(&value, dataBuffer.get(), sizeof value);
    return value;
}

char* RegistryValueList::binaryValue(uint32_t& size) const
{
    if (valueType != REG_BINARY)
        throw new registry_invalid_value_type();
    size = dataSize;
    if (dataSize == 0)
        return nullptr;
    char* copy = new char[dataSize];
    std::memcpy(copy, dataBuffer.get(), dataSize);
    return copy;
}

}  // namespace Korvanta
