#include "common/Folders.h"

#include <windows.h>

namespace common {

namespace {

std::string withoutTrailingSlash(const std::string& folder)
{
    return !folder.empty() && (folder.back() == '\\' || folder.back() == '/') ? folder.substr(0, folder.size() - 1)
                                                                              : folder;
}

}  // namespace

std::string temporaryFolder()
{
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    return temp;
}

std::string executableFolder()
{
    char path[MAX_PATH * 2] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string file(path, length);
    const size_t slash = file.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

std::string besideExecutable(const std::string& file)
{
    const bool absolute = file.size() > 2 && (file[1] == ':' || (file[0] == '\\' && file[1] == '\\'));
    return absolute ? file : executableFolder() + file;
}

bool copyFolder(const std::string& fromFolder, const std::string& toFolder)
{
    const std::string from = withoutTrailingSlash(fromFolder);
    const std::string to = withoutTrailingSlash(toFolder);
    if (!CreateDirectoryA(to.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return false;
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((from + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool ok = true;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") {
            continue;
        }
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ok = copyFolder(from + "\\" + name, to + "\\" + name) && ok;
        } else {
            ok = CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE) && ok;
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return ok;
}

void deleteFolder(const std::string& path)
{
    const std::string folder = withoutTrailingSlash(path);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            const std::string inside = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                deleteFolder(inside);
            } else {
                DeleteFileA(inside.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace common
