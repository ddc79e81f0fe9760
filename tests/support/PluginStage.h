// Stages a built DLL the way a host finds a plug-in: a copy under a name of its
// own in a fresh folder, optionally with an engine DLL beside it as
// "<name>Engine.dll", then loads it.
//
// A unique name per stage keeps concurrent test processes apart: the plug-in's
// registry value and its default engine path both follow its file name. On
// i686 the binaries find the shared runtime only in the private assembly
// folder Velmorant.Runtime beside them, so that folder is copied too.
//
//     velmorant_test::PluginStage stage("Velmorant.dll", "TestEngine.dll");
//     velmorant_test::RecordingHost host;
//     velmorant_test::StagedEffect effect(stage.instantiate(host.callback()));
//     effect.dispatch(effOpen);
//
// Destruction frees the library and deletes the folder; declare the stage
// before the effects made from it so that they close first.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

#include "vst/VstAbi.h"

namespace velmorant_test {

// The folder of the running test executable, with a trailing backslash.
inline std::string testExecutableFolder()
{
    char path[MAX_PATH * 2] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, length);
    const std::size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

// A file beside the test executable, unless given as a full path.
inline std::string besideTestExecutable(const std::string& file)
{
    const bool absolute = file.size() > 2 && (file[1] == ':' || (file[0] == '\\' && file[1] == '\\'));
    return absolute ? file : testExecutableFolder() + file;
}

inline bool copyFolder(const std::string& from, const std::string& to)
{
    if (!CreateDirectoryA(to.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((from + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ok = copyFolder(from + "\\" + name, to + "\\" + name) && ok;
        else
            ok = CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE) && ok;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return ok;
}

inline void deleteFolder(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                deleteFolder(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

class PluginStage {
public:
    // sourceDll and engineDll: file names beside the test executable or full
    // paths; an empty engineDll stages no engine. baseName: the staged name
    // without ".dll"; empty picks "VelT<pid>_<n>".
    explicit PluginStage(const std::string& sourceDll = "Velmorant.dll", const std::string& engineDll = "",
                         const std::string& baseName = "", bool loadNow = true)
    {
        sweepLeftovers();
        const unsigned serial = nextSerial();
        name_ = !baseName.empty() ? baseName
                                  : "VelT" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(serial);
        folder_ = tempFolder() + stagePrefix + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(serial) +
                  "_" + std::to_string(GetTickCount()) + "\\";
        ok_ = CreateDirectoryA(folder_.c_str(), nullptr) != FALSE;
        ok_ = ok_ && stage(sourceDll, name_ + ".dll");
        if (!engineDll.empty())
            ok_ = ok_ && stage(engineDll, name_ + "Engine.dll");
#if !defined(_WIN64)
        ok_ = ok_ && copyFolder(testExecutableFolder() + "Velmorant.Runtime", folder_ + "Velmorant.Runtime");
#endif
        if (ok_ && loadNow)
            load();
    }

    ~PluginStage()
    {
        unload();
        deleteFolder(folder_.substr(0, folder_.size() - 1));
    }

    PluginStage(const PluginStage&) = delete;
    PluginStage& operator=(const PluginStage&) = delete;

    // Copies another file into the folder (for example an engine under a name
    // that only a registry value points to).
    bool stage(const std::string& sourceFile, const std::string& stagedFileName)
    {
        return CopyFileA(besideTestExecutable(sourceFile).c_str(), (folder_ + stagedFileName).c_str(), FALSE) != FALSE;
    }

    bool load()
    {
        if (module_ == nullptr)
            module_ = LoadLibraryA(path().c_str());
        return module_ != nullptr;
    }

    void unload()
    {
        if (module_ != nullptr)
            FreeLibrary(module_);
        module_ = nullptr;
    }

    // True when the folder and every copy were made.
    bool staged() const
    {
        return ok_;
    }
    bool loaded() const
    {
        return module_ != nullptr;
    }
    HMODULE module() const
    {
        return module_;
    }

    // The staged name without ".dll", as the plug-in sees its own name.
    const std::string& name() const
    {
        return name_;
    }
    // With a trailing backslash.
    const std::string& folder() const
    {
        return folder_;
    }
    std::string path() const
    {
        return folder_ + name_ + ".dll";
    }
    std::string enginePath() const
    {
        return folder_ + name_ + "Engine.dll";
    }

    FARPROC proc(const char* exportName) const
    {
        return module_ != nullptr ? GetProcAddress(module_, exportName) : nullptr;
    }

    // Any export as a function of the caller's type (null when missing).
    template <typename Function>
    Function procAs(const char* exportName) const
    {
        // Through void* because FARPROC's own type matches no real export.
        return reinterpret_cast<Function>(reinterpret_cast<void*>(proc(exportName)));
    }

    VstPluginMainProc entry() const
    {
        return procAs<VstPluginMainProc>("VSTPluginMain");
    }

    // Calls VSTPluginMain; null when the library or the export is missing.
    EffectRecord* instantiate(HostCallback callback) const
    {
        VstPluginMainProc main = entry();
        return main != nullptr ? main(callback) : nullptr;
    }

private:
    static unsigned nextSerial()
    {
        static unsigned serial = 0;
        return ++serial;
    }

    // Stage folders are "VelStage<pid>_<serial>_<ticks>" in the temp folder.
    static constexpr char stagePrefix[] = "VelStage";

    static std::string tempFolder()
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        return temp;
    }

    // On i686 GCC's shared libgcc pins itself, so a stage's runtime folder
    // outlives it until the process ends. Once per process, the stages of
    // test processes that have ended are deleted; a live process's are left.
    static void sweepLeftovers()
    {
        static bool swept = false;
        if (swept)
            return;
        swept = true;
        const std::string temp = tempFolder();
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((temp + stagePrefix + "*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return;
        const DWORD self = GetCurrentProcessId();
        do {
            const DWORD owner = std::strtoul(found.cFileName + sizeof stagePrefix - 1, nullptr, 10);
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || owner == 0 || owner == self)
                continue;
            HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, owner);
            const bool alive = process != nullptr && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
            if (process != nullptr)
                CloseHandle(process);
            if (!alive)
                deleteFolder(temp + found.cFileName);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }

    std::string name_;
    std::string folder_;
    HMODULE module_ = nullptr;
    bool ok_ = false;
};

// Calls an effect record's entry points as a host would. Sends "effClose" on
// destruction unless close() or release() came first, so that a failed
// assertion does not leak the instance into the next test.
class StagedEffect {
public:
    explicit StagedEffect(EffectRecord* record = nullptr) : record_(record) {}
    ~StagedEffect() { close(); }

    StagedEffect(const StagedEffect&) = delete;
    StagedEffect& operator=(const StagedEffect&) = delete;

    EffectRecord* record() const { return record_; }
    explicit operator bool() const { return record_ != nullptr; }
    EffectRecord* operator->() const { return record_; }

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) const
    {
        if (record_ == nullptr || record_->dispatcherEntry == nullptr)
            return 0;
        return record_->dispatcherEntry(record_, opcode, index, value, ptr, opt);
    }

    void processReplacing(float** inputs, float** outputs, int32_t frames) const
    {
        if (record_ != nullptr && record_->processReplacingEntry != nullptr)
            record_->processReplacingEntry(record_, inputs, outputs, frames);
    }

    void process(float** inputs, float** outputs, int32_t frames) const
    {
        if (record_ != nullptr && record_->processEntry != nullptr)
            record_->processEntry(record_, inputs, outputs, frames);
    }

    void setParameter(int32_t index, float value) const
    {
        if (record_ != nullptr && record_->setParameterEntry != nullptr)
            record_->setParameterEntry(record_, index, value);
    }

    float getParameter(int32_t index) const
    {
        if (record_ == nullptr || record_->getParameterEntry == nullptr)
            return 0.0f;
        return record_->getParameterEntry(record_, index);
    }

    // Sends "effClose" (the instance deletes itself) and forgets the record;
    // answers the dispatcher's answer, 0 when there was nothing to close.
    intptr_t close()
    {
        const intptr_t answer = dispatch(effClose);
        record_ = nullptr;
        return answer;
    }

    // Forgets the record without closing it.
    EffectRecord* release()
    {
        EffectRecord* record = record_;
        record_ = nullptr;
        return record;
    }

private:
    EffectRecord* record_ = nullptr;
};

}  // namespace velmorant_test
