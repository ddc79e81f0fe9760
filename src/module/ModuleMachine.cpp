#include "module/ModuleMachine.h"

#include <windows.h>

#include <cstring>

namespace module {

namespace {

// Reads exactly `count` bytes at `offset`; false on any shortfall.
bool readAt(HANDLE file, uint32_t offset, void* destination, DWORD count)
{
    LARGE_INTEGER position;
    position.QuadPart = offset;
    DWORD read = 0;
    return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) &&
           ReadFile(file, destination, count, &read, nullptr) && read == count;
}

}  // namespace

Machine readModuleMachine(const char* path)
{
    if (path == nullptr || *path == '\0')
        return Machine::Unknown;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Machine::Unknown;

    // "MZ", the PE header's offset at 0x3C, then "PE\0\0" and the machine word.
    Machine machine = Machine::Unknown;
    uint8_t dos[64];
    uint8_t header[6];
    if (readAt(file, 0, dos, sizeof dos) && dos[0] == 'M' && dos[1] == 'Z') {
        uint32_t peOffset = 0;
        std::memcpy(&peOffset, dos + 0x3C, sizeof peOffset);
        if (peOffset <= 0x10000000 && readAt(file, peOffset, header, sizeof header) && header[0] == 'P' &&
            header[1] == 'E' && header[2] == 0 && header[3] == 0) {
            const uint16_t word = static_cast<uint16_t>(header[4] | (header[5] << 8));
            if (word == IMAGE_FILE_MACHINE_I386)
                machine = Machine::X86;
            else if (word == IMAGE_FILE_MACHINE_AMD64)
                machine = Machine::X64;
        }
    }
    CloseHandle(file);
    return machine;
}

}  // namespace module
