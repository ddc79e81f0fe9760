#include "foundation/RegistryAccess.h"

#include <memory>

#include "foundation/ModuleState.h"
#include "foundation/RegistryKey.h"

namespace Korvanta {

namespace {

// Closes the key on every way out of a one-call function, exceptions included.
class ScopedKey {
public:
    ScopedKey() = default;
    ~ScopedKey() { key.closeKey(); }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;

    RegistryKey key;
};

HKEY rootKey(bool currentUser)
{
    return currentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// registryRoot + "\" + subKey; the root itself for a null or empty sub-key,
// so that no path ends in a separator.
SharedString appKeyPath(const char* subKey)
{
    SharedString path = registryRoot();
    if (subKey && *subKey) {
        path += '\\';
        path += subKey;
    }
    return path;
}

}  // namespace

SharedString readRegistryString(const char* keyPath, const char* valueName, const char* defaultText, bool currentUser)
{
    SharedString result(defaultText);
    try {
        ScopedKey scoped;
        scoped.key = RegistryKey(RegistryKey::openKey(rootKey(currentUser), keyPath, KEY_READ));
        std::unique_ptr<char[]> text(scoped.key.readText(valueName));
        if (text && text[0])
            result = text.get();
    } catch (registry_exception* failure) {
        delete failure;
    }
    return result;
}

uint32_t readRegistryDword(const char* keyPath, const char* valueName, bool currentUser)
{
    ScopedKey scoped;
    scoped.key = RegistryKey(RegistryKey::openKey(rootKey(currentUser), keyPath, KEY_READ));
    return scoped.key.readDword(valueName);
}

uint32_t readRegistryDwordOr(const char* keyPath, const char* valueName, uint32_t defaultValue, bool currentUser)
{
    try {
        return readRegistryDword(keyPath, valueName, currentUser);
    } catch (registry_exception* failure) {
        delete failure;
        return defaultValue;
    }
}

int32_t writeRegistryDword(const char* keyPath, const char* valueName, uint32_t value, bool currentUser)
{
    try {
        ScopedKey scoped;
        scoped.key = RegistryKey(RegistryKey::createKey(rootKey(currentUser), keyPath, KEY_ALL_ACCESS));
        scoped.key.writeDword(valueName, value);
        return 0;
    } catch (registry_exception* failure) {
        int32_t code = failure->code();
        delete failure;
        return code;
    }
}

int32_t writeRegistryString(const char* keyPath, const char* valueName, const char* text, bool currentUser)
{
    if (!text)
        return ERROR_INVALID_PARAMETER;
    try {
        ScopedKey scoped;
        scoped.key = RegistryKey(RegistryKey::createKey(rootKey(currentUser), keyPath, KEY_ALL_ACCESS));
        scoped.key.writeText(valueName, text);
        return 0;
    } catch (registry_exception* failure) {
        int32_t code = failure->code();
        delete failure;
        return code;
    }
}

bool readRegistryBinary(const char* keyPath, const char* valueName, void* buffer, uint32_t& size, bool currentUser)
{
    try {
        ScopedKey scoped;
        scoped.key = RegistryKey(RegistryKey::createKey(rootKey(currentUser), keyPath, KEY_ALL_ACCESS));
        return scoped.key.readBinary(valueName, buffer, size);
    } catch (registry_exception* failure) {
        delete failure;
        size = 0;
        return false;
    }
}

bool writeRegistryBinary(const char* keyPath, const char* valueName, const void* data, uint32_t size, bool currentUser)
{
    if (!data && size != 0)
        return false;
    try {
        ScopedKey scoped;
        scoped.key = RegistryKey(RegistryKey::createKey(rootKey(currentUser), keyPath, KEY_ALL_ACCESS));
        return scoped.key.writeBinaryChecked(valueName, data, size);
    } catch (registry_exception* failure) {
        delete failure;
        return false;
    }
}

SharedString readAppString(const char* subKey, const char* valueName, const char* defaultText, bool machineWide)
{
    return readRegistryString(appKeyPath(subKey), valueName, defaultText, !machineWide);
}

uint32_t readAppDword(const char* subKey, const char* valueName, bool machineWide)
{
    return readRegistryDword(appKeyPath(subKey), valueName, !machineWide);
}

uint32_t readAppDwordOr(const char* subKey, const char* valueName, uint32_t defaultValue, bool machineWide)
{
    return readRegistryDwordOr(appKeyPath(subKey), valueName, defaultValue, !machineWide);
}

int32_t writeAppDword(const char* subKey, const char* valueName, uint32_t value, bool machineWide)
{
    return writeRegistryDword(appKeyPath(subKey), valueName, value, !machineWide);
}

int32_t writeAppString(const char* subKey, const char* valueName, const char* text, bool machineWide)
{
    return writeRegistryString(appKeyPath(subKey), valueName, text, !machineWide);
}

bool readAppBinary(const char* subKey, const char* valueName, void* buffer, uint32_t& size, bool machineWide)
{
    return readRegistryBinary(appKeyPath(subKey), valueName, buffer, size, !machineWide);
}

bool writeAppBinary(const char* subKey, const char* valueName, const void* data, uint32_t size, bool machineWide)
{
    return writeRegistryBinary(appKeyPath(subKey), valueName, data, size, !machineWide);
}

}  // namespace Korvanta
