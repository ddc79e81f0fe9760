// A thin handle over one open registry key. Failures are thrown as
// registry_exception pointers (see RegistryException.h). The key does not
// close itself: closeKey releases the handle.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/RegistryException.h"

namespace Korvanta {

class RegistryKey {
public:
    RegistryKey() : key(nullptr) {}
    explicit RegistryKey(HKEY handle) : key(handle) {}

    // RegOpenKeyExA / RegCreateKeyExA below a root or parent key; the new
    // handle, or registry_exception* with the system code (87 for a null path).
    static HKEY openKey(HKEY parent, const char* keyPath, REGSAM access);
    static HKEY createKey(HKEY parent, const char* keyPath, REGSAM access);
    RegistryKey openSubKey(const char* keyPath, REGSAM access) const;
    // Releases the handle, if any, and leaves the key not open.
    void closeKey();

    HKEY handle() const { return key; }
    bool isOpen() const { return key != nullptr; }

    bool hasValue(const char* valueName) const;
    uint32_t valueType(const char* valueName) const;  // 0 when the query fails
    uint32_t valueSize(const char* valueName) const;  // 0 when the query fails

    // REG_DWORD as stored, REG_DWORD_BIG_ENDIAN byte-reversed.
    uint32_t readDword(const char* valueName) const;
    // Heap copy of a REG_SZ / REG_EXPAND_SZ text (free with delete[]), always
    // NUL-terminated; null for a value of size 0.
    char* readText(const char* valueName) const;
    // As readText for REG_MULTI_SZ only; the copy ends in two NULs.
    char* readMultiText(const char* valueName) const;
    // See readRegistryBinary: `size` in is the buffer's size, out the stored size.
    bool readBinary(const char* valueName, void* buffer, uint32_t& size) const;
    // RegQueryValueExA's own result code; any pointer may be null.
    int32_t queryValue(const char* valueName, uint32_t* type, void* data, uint32_t* size) const;

    void writeDword(const char* valueName, uint32_t value) const;
    void writeText(const char* valueName, const char* text) const;
    void writeMultiText(const char* valueName, const void* data, uint32_t size) const;
    // The system's result code.
    int32_t writeBinary(const char* valueName, const void* data, uint32_t size) const;
    // False for null data with a non-zero size, else whether the write succeeded.
    bool writeBinaryChecked(const char* valueName, const void* data, uint32_t size) const;

    // RegEnumValueA without the type; name and data lengths in/out.
    bool enumValue(uint32_t index, char* name, uint32_t& nameLength, void* data, uint32_t& dataLength) const;

private:
    HKEY key;
};

}  // namespace Korvanta
