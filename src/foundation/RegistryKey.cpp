#include "foundation/RegistryKey.h"

#include <cstring>

namespace Korvanta {

namespace {

// Reads a text value of an accepted type into a heap copy with `terminators`
// NULs after the stored bytes: the stored data need not end in a NUL.
char* readTextOfType(HKEY key, const char* valueName, bool multi, DWORD terminators)
{
    DWORD type = 0;
    DWORD size = 0;
    LONG result = RegQueryValueExA(key, valueName, nullptr, &type, nullptr, &size);
    if (result != ERROR_SUCCESS)
        throw new registry_exception(result);
    bool accepted = multi ? type == REG_MULTI_SZ : (type == REG_SZ || type == REG_EXPAND_SZ);
    if (!accepted)
        throw new registry_invalid_value_type();
    if (size == 0)
        return nullptr;

    char* text = new char[size + terminators];
    DWORD readSize = size;
    result = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(text), &readSize);
    if (result != ERROR_SUCCESS) {
        delete[] text;
        throw new registry_exception(result);
    }
    if (readSize > size)
        readSize = size;
    std::memset(text + readSize, 0, size + terminators - readSize);
    return text;
}

}  // namespace

HKEY RegistryKey::openKey(HKEY parent, const char* keyPath, REGSAM access)
{
    if (!keyPath)
        throw new registry_exception(ERROR_INVALID_PARAMETER);
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExA(parent, keyPath, 0, access, &opened);
    if (result != ERROR_SUCCESS)
        throw new registry_exception(result);
    return opened;
}

HKEY RegistryKey::createKey(HKEY parent, const char* keyPath, REGSAM access)
{
    if (!keyPath)
        throw new registry_exception(ERROR_INVALID_PARAMETER);
    HKEY created = nullptr;
    LONG result = RegCreateKeyExA(parent, keyPath, 0, nullptr, 0, access, nullptr, &created, nullptr);
    if (result != ERROR_SUCCESS)
        throw new registry_exception(result);
    return created;
}

RegistryKey RegistryKey::openSubKey(const char* keyPath, REGSAM access) const
{
    return RegistryKey(openKey(key, keyPath, access));
}

void RegistryKey::closeKey()
{
    if (key)
        RegCloseKey(key);
    key = nullptr;
}

bool RegistryKey::hasValue(const char* valueName) const
{
    return RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

uint32_t RegistryKey::valueType(const char* valueName) const
{
    DWORD type = 0;
    if (RegQueryValueExA(key, valueName, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    return type;
}

uint32_t RegistryKey::valueSize(const char* valueName) const
{
    DWORD size = 0;
    if (RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return 0;
    return size;
}

uint32_t RegistryKey::readDword(const char* valueName) const
{
    DWORD type = 0;
    BYTE bytes[4] = {0, 0, 0, 0};  // a shorter value leaves the rest zero
    DWORD size = sizeof bytes;
    LONG result = RegQueryValueExA(key, valueName, nullptr, &type, bytes, &size);
    if (result == ERROR_MORE_DATA)
        throw new registry_exception(0);
    if (result != ERROR_SUCCESS)
        throw new registry_exception(result);
    if (type == REG_DWORD) {
        return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    }
    if (type == REG_DWORD_BIG_ENDIAN) {
        return uint32_t(bytes[3]) | uint32_t(bytes[2]) << 8 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[0]) << 24;
    }
    throw new registry_invalid_value_type();
}

char* RegistryKey::readText(const char* valueName) const
{
    return readTextOfType(key, valueName, false, 1);
}

char* RegistryKey::readMultiText(const char* valueName) const
{
    return readTextOfType(key, valueName, true, 2);
}

bool RegistryKey::readBinary(const char* valueName, void* buffer, uint32_t& size) const
{
    DWORD type = 0;
    DWORD stored = 0;
    bool ok = RegQueryValueExA(key, valueName, nullptr, &type, nullptr, &stored) == ERROR_SUCCESS;
    if (!ok)
        stored = 0;
    ok = ok && type == REG_BINARY;
    if (ok && buffer && stored != 0) {
        if (size < stored) {
            ok = false;
        } else {
            DWORD readSize = stored;
            ok = RegQueryValueExA(key, valueName, nullptr, &type, static_cast<BYTE*>(buffer), &readSize) ==
                     ERROR_SUCCESS &&
                 type == REG_BINARY;
        }
    }
    size = stored;
    return ok;
}

int32_t RegistryKey::queryValue(const char* valueName, uint32_t* type, void* data, uint32_t* size) const
{
    DWORD typeOut = 0;
    DWORD sizeInOut = size ? *size : 0;
    LONG result = RegQueryValueExA(key, valueName, nullptr, type ? &typeOut : nullptr, static_cast<BYTE*>(data),
                                   size ? &sizeInOut : nullptr);
    if (type)
        *type = typeOut;
    if (size)
        *size = sizeInOut;
    return result;
}

void RegistryKey::writeDword(const char* valueName, uint32_t value) const
{
    DWORD data = value;
    LONG result = RegSetValueExA(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    if (result != ERROR_SUCCESS)
        throw new registry_exception(result);
}

void RegistryKey::writeText(const char* valueName, const char* text) const
{
    if (!text)
        throw new registry_exception(ERROR_INVALID_PARAMETER);
    DWORD size = DWORD(std::strlen(text) + 1);
    LONG result = RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size);
    if (result != ERROR_SUCCESS)
        throw new registry_exception(result);
}

void RegistryKey::writeMultiText(const char* valueName, const void* data, uint32_t size) const
{
    if (!data && size != 0)
        throw new registry_exception(ERROR_INVALID_PARAMETER);
    LONG result = RegSetValueExA(key, valueName, 0, REG_MULTI_SZ, static_cast<const BYTE*>(data), size);
    if (result != ERROR_SUCCESS)
        throw new registry_exception(result);
}

int32_t RegistryKey::writeBinary(const char* valueName, const void* data, uint32_t size) const
{
    if (!data && size != 0)
        return ERROR_INVALID_PARAMETER;
    return RegSetValueExA(key, valueName, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
}

bool RegistryKey::writeBinaryChecked(const char* valueName, const void* data, uint32_t size) const
{
    if (!data && size != 0)
        return false;
    return RegSetValueExA(key, valueName, 0, REG_BINARY, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool RegistryKey::enumValue(uint32_t index, char* name, uint32_t& nameLength, void* data, uint32_t& dataLength) const
{
    DWORD nameInOut = nameLength;
    DWORD dataInOut = dataLength;
    LONG result = RegEnumValueA(key, index, name, &nameInOut, nullptr, nullptr, static_cast<BYTE*>(data), &dataInOut);
    nameLength = nameInOut;
    dataLength = dataInOut;
    return result == ERROR_SUCCESS;
}

}  // namespace Korvanta
