#include "foundation/RegistryStream.h"

#include <windows.h>

namespace Korvanta {

namespace {

// KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY
constexpr REGSAM StreamKeyAccess = 0x2001F;
constexpr uint32_t RegistryGrowthStep = 1024;

HKEY createKey(HKEY parent, const char* path)
{
    HKEY opened = nullptr;
    if (RegCreateKeyExA(parent, path, 0, nullptr, 0, StreamKeyAccess, nullptr, &opened, nullptr) != ERROR_SUCCESS) {
        return nullptr;
    }
    return opened;
}

}  // namespace

RegistryStream::RegistryStream(const SharedString& keyPath, const SharedString& valueName)
    : stringStream(bytes, RegistryGrowthStep), valueName(valueName), key(nullptr)
{
    HKEY software = createKey(HKEY_CURRENT_USER, "Software");  // registry path kept as is
    if (!software) {
        return;
    }
    key = createKey(software, keyPath.c_str());
    RegCloseKey(software);
    if (!key) {
        return;
    }
    try {
        // A non-null buffer of 0 bytes makes the system answer ERROR_MORE_DATA with the size.
        BYTE probe = 0;
        DWORD size = 0;
        const LONG status = RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, &probe, &size);
        if (status == ERROR_MORE_DATA && size != 0) {
            std::string loaded(size, '\0');
            DWORD loadedSize = size;
            if (RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&loaded[0]),
                                 &loadedSize) == ERROR_SUCCESS) {
                // The value may have shrunk between the two calls.
                loaded.resize(loadedSize < size ? loadedSize : size);
                bytes.swap(loaded);
            }
        }
    } catch (...) {
        RegCloseKey(key);
        throw;
    }
}

RegistryStream::~RegistryStream()
{
    if (key) {
        // An empty stream leaves a stored value alone rather than erasing it.
        if (!bytes.empty()) {
            RegSetValueExA(key, valueName.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size()));
        }
        RegCloseKey(key);
    }
}

}  // namespace Korvanta
