#include "channel/SharedSection.h"

#include <windows.h>

namespace channel {

bool SharedSection::create(const char* name, uint32_t size)
{
    close();
    if (name == nullptr || size == 0)
        return false;
    HANDLE created = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
    if (created == nullptr)
        return false;
    // A name already in use belongs to somebody else: never share it.
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(created);
        return false;
    }
    mapping = created;
    view = MapViewOfFile(created, FILE_MAP_ALL_ACCESS, 0, 0, size);
    if (view == nullptr) {
        close();
        return false;
    }
    bytes = size;
    return true;
}

bool SharedSection::open(const char* name, uint32_t size)
{
    close();
    if (name == nullptr || size == 0)
        return false;
    mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name);
    if (mapping == nullptr)
        return false;
    view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    MEMORY_BASIC_INFORMATION region = {};
    if (view == nullptr || VirtualQuery(view, &region, sizeof region) == 0 || region.RegionSize < size) {
        close();
        return false;
    }
    bytes = size;
    return true;
}

void SharedSection::close()
{
    if (view != nullptr)
        UnmapViewOfFile(view);
    if (mapping != nullptr)
        CloseHandle(mapping);
    view = nullptr;
    mapping = nullptr;
    bytes = 0;
}

}  // namespace channel
