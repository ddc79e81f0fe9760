// One-call registry access: each function opens or creates the key below
// HKEY_CURRENT_USER (currentUser true) or HKEY_LOCAL_MACHINE (false), does one
// value operation and closes the key again on every path out. The App forms
// place the key below registryRoot() and take the opposite flag, machineWide.
#pragma once

#include <cstdint>

#include "SharedString.h"

namespace Korvanta {

// The stored REG_SZ / REG_EXPAND_SZ text as stored (no expansion); the default
// when the key or value is missing, the text is empty, the type is another one
// or any registry call fails. Registry exceptions never leave this function.
SharedString readRegistryString(const char* keyPath, const char* valueName, const char* defaultText, bool currentUser);

// REG_DWORD, or REG_DWORD_BIG_ENDIAN with its bytes reversed. Throws
// registry_exception* (code 0 for a value longer than 4 bytes) and
// registry_invalid_value_type* for other types.
uint32_t readRegistryDword(const char* keyPath, const char* valueName, bool currentUser);

// As readRegistryDword, with the default instead of any registry exception.
uint32_t readRegistryDwordOr(const char* keyPath, const char* valueName, uint32_t defaultValue, bool currentUser);

// 0 on success, else the system error code (87 for a null text).
int32_t writeRegistryDword(const char* keyPath, const char* valueName, uint32_t value, bool currentUser);
int32_t writeRegistryString(const char* keyPath, const char* valueName, const char* text, bool currentUser);

// REG_BINARY only. `size` comes in as the buffer's size and always leaves as
// the stored size (0 when the value cannot be queried). True when the value is
// binary and either no buffer was given, it is empty, or it fit and was read.
bool readRegistryBinary(const char* keyPath, const char* valueName, void* buffer, uint32_t& size, bool currentUser);

// Writes REG_BINARY; false for null data with a non-zero size (nothing is
// touched then) or when any registry call fails.
bool writeRegistryBinary(const char* keyPath, const char* valueName, const void* data, uint32_t size, bool currentUser);

SharedString readAppString(const char* subKey, const char* valueName, const char* defaultText, bool machineWide);
uint32_t readAppDword(const char* subKey, const char* valueName, bool machineWide);
uint32_t readAppDwordOr(const char* subKey, const char* valueName, uint32_t defaultValue, bool machineWide);
int32_t writeAppDword(const char* subKey, const char* valueName, uint32_t value, bool machineWide);
int32_t writeAppString(const char* subKey, const char* valueName, const char* text, bool machineWide);
bool readAppBinary(const char* subKey, const char* valueName, void* buffer, uint32_t& size, bool machineWide);
bool writeAppBinary(const char* subKey, const char* valueName, const void* data, uint32_t size, bool machineWide);

}  // namespace Korvanta
