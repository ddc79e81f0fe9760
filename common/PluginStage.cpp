#include "common/PluginStage.h"

#include <windows.h>

#include <cstdlib>

#include "common/Folders.h"

namespace common {

PluginStage::PluginStage(const std::string& folderPrefix, const std::string& name) : name_(name)
{
    static unsigned serial = 0;
    folder_ = temporaryFolder() + folderPrefix + std::to_string(GetCurrentProcessId()) + "_" +
              std::to_string(++serial) + "_" + std::to_string(GetTickCount()) + "\\";
    made = CreateDirectoryA(folder_.c_str(), nullptr) != FALSE;
}

PluginStage::~PluginStage()
{
    unload();
    if (made) {
        deleteFolder(folder_);
    }
}

bool PluginStage::stage(const std::string& sourcePath, const std::string& stagedFileName)
{
    return made && CopyFileA(sourcePath.c_str(), (folder_ + stagedFileName).c_str(), FALSE) != FALSE;
}

bool PluginStage::stageRuntime([[maybe_unused]] const std::string& fromFolder)
{
#if defined(_WIN64)
    return made;
#else
    return made && copyFolder(fromFolder + runtimeFolderName, folder_ + runtimeFolderName);
#endif
}

bool PluginStage::load()
{
    if (module_ == nullptr) {
        module_ = LoadLibraryA(path().c_str());
    }
    return module_ != nullptr;
}

void PluginStage::unload()
{
    if (module_ != nullptr) {
        FreeLibrary(static_cast<HMODULE>(module_));
    }
    module_ = nullptr;
}

void PluginStage::sweepLeftovers(const std::string& folderPrefix)
{
    const std::string temp = temporaryFolder();
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((temp + folderPrefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    const DWORD self = GetCurrentProcessId();
    do {
        const DWORD owner = std::strtoul(found.cFileName + folderPrefix.size(), nullptr, 10);
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || owner == 0 || owner == self) {
            continue;
        }
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, owner);
        const bool alive = process != nullptr && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
        if (process != nullptr) {
            CloseHandle(process);
        }
        if (!alive) {
            deleteFolder(temp + found.cFileName);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

}  // namespace common
