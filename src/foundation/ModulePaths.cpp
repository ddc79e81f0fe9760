#include "foundation/ModulePaths.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "foundation/ModuleState.h"

namespace Korvanta {

namespace {

SharedString shellFolder(int csidl)
{
    SharedString path;
    char* buffer = path.getBufferSetLength(MAX_PATH);
    buffer[0] = '\0';
    HRESULT result = SHGetFolderPathA(nullptr, csidl, nullptr, 0, buffer);
    path.releaseBuffer(-1);
    if (result != S_OK)
        path.empty();
    return path;
}

SharedString baseFolder(FolderKind kind)
{
    switch (kind) {
    case ModuleFolder:
        return moduleFolder();
    case UserAppData:
        return shellFolder(CSIDL_APPDATA);
    case LocalAppData: {
        SharedString path = shellFolder(CSIDL_LOCAL_APPDATA);
        return path.isEmpty() ? shellFolder(CSIDL_APPDATA) : path;
    }
    case CommonAppData: {
        SharedString path = shellFolder(CSIDL_COMMON_APPDATA);
        return path.isEmpty() ? shellFolder(CSIDL_APPDATA) : path;
    }
    }
    return SharedString();
}

// A directory that already exists counts as created; a file of that name
// does not, since nothing can be placed below it.
bool createDirectory(const char* path)
{
    if (CreateDirectoryA(path, nullptr))
        return true;
    if (GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

SharedString buildFolderPath(FolderKind kind, const char* relative, bool create)
{
    SharedString path = systemFolder(kind);
    if (path.isEmpty() || !relative)
        return path;

    const char* component = relative;
    while (*component) {
        const char* end = std::strchr(component, '/');
        if (!end)
            end = component + std::strlen(component);
        if (end != component) {
            path += SharedString(component, int32_t(end - component));
            if (create && !createDirectory(path)) {
                path = moduleFolder();
                // Without a module folder the rest would land in the drive's root.
                if (path.isEmpty())
                    return path;
            }
            path += '/';
        }
        component = *end ? end + 1 : end;
    }
    return path;
}

int32_t copyPart(const char* part, int32_t length, char* buffer, int32_t bufferSize)
{
    int32_t needed = length + 1;
    if (!buffer || bufferSize < needed)
        return needed;
    std::memcpy(buffer, part, size_t(length));
    buffer[length] = '\0';
    return 0;
}

}  // namespace

SharedString systemFolder(FolderKind kind)
{
    SharedString path = baseFolder(kind);
    if (path.isEmpty())
        return path;
    toForwardSlashes(path);
    if (path.getAt(path.getLength() - 1) != '/')
        path += '/';
    return path;
}

SharedString folderPath(FolderKind kind, const char* relative)
{
    return buildFolderPath(kind, relative, false);
}

SharedString createFolderPath(FolderKind kind, const char* relative)
{
    return buildFolderPath(kind, relative, true);
}

void toForwardSlashes(char* path)
{
    if (!path)
        return;
    char* p = path;
    if (p[0] == '\\' && p[1] == '\\')
        p += 2;
    for (; *p; ++p) {
        if (*p == '\\')
            *p = '/';
    }
}

void toForwardSlashes(SharedString& path)
{
    if (path.find('\\') < 0)
        return;
    // Locked, the characters are private to this handle while edited in place.
    char* text = path.lockBuffer();
    toForwardSlashes(text);
    path.unlockBuffer();
}

char* toBackslashes(char* path)
{
    if (!path)
        return nullptr;
    char* p = path;
    for (; *p; ++p) {
        if (*p == '/')
            *p = '\\';
    }
    return p;
}

void toBackslashes(SharedString& path)
{
    if (path.find('/') < 0)
        return;
    char* text = path.lockBuffer();
    toBackslashes(text);
    path.unlockBuffer();
}

int32_t splitFolder(const char* path, char* buffer, int32_t bufferSize)
{
    if (!path)
        return -1;
    const char* slash = std::strrchr(path, '/');
    int32_t length = slash ? int32_t(slash - path + 1) : 0;
    return copyPart(path, length, buffer, bufferSize);
}

int32_t splitFileName(const char* path, char* buffer, int32_t bufferSize)
{
    if (!path)
        return -1;
    const char* slash = std::strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    return copyPart(name, int32_t(std::strlen(name)), buffer, bufferSize);
}

}  // namespace Korvanta
