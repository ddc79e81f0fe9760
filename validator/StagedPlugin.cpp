#include "StagedPlugin.h"

#include <windows.h>

#include "ChildChannel.h"
#include "Verdict.h"

namespace validator {

namespace {

const char* const pluginFile = "Velmorant.dll";

VstTimeInfo hostTime = {};  // a stopped host at the song's start
int32_t midiEvents = 0;

intptr_t __cdecl hostCallback(EffectRecord*, int32_t opcode, int32_t, intptr_t, void* ptr, float)
{
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        hostTime.sampleRate = 44100.0;
        hostTime.tempo = 120.0;
        hostTime.timeSigNumerator = 4;
        hostTime.timeSigDenominator = 4;
        hostTime.flags = kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid;
        return reinterpret_cast<intptr_t>(&hostTime);
    case audioMasterGetCurrentProcessLevel:
        return kVstProcessLevelRealtime;
    case audioMasterProcessEvents: {
        const VstEvents* events = static_cast<const VstEvents*>(ptr);
        midiEvents += events != nullptr ? events->numEvents : 0;
        return 1;
    }
    case audioMasterWantMidi:
    case audioMasterNeedIdle:
        return 1;
    default:
        return 0;
    }
}

#if !defined(_WIN64)
// The runtime assembly folder: files only, no subfolders.
bool copyFolder(const std::string& from, const std::string& to)
{
    if (!CreateDirectoryA(to.c_str(), nullptr)) {
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
        if (name != "." && name != ".." && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            ok = CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE) && ok;
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return ok;
}
#endif

void deleteFolder(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            const std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                deleteFolder(path);
            } else {
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

StagedPlugin::StagedPlugin(const std::string& pluginFolder, const std::string& enginePath)
{
    const std::string plugin = pluginFolder + pluginFile;
    if (GetFileAttributesA(plugin.c_str()) == INVALID_FILE_ATTRIBUTES) {
        error = "no " + std::string(pluginFile) + " beside the validator (" + pluginFolder + ")";
        return;
    }
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    // The stem names the engine file and the plug-in's registry value: unique per process.
    const std::string stem = "VelVal" + std::to_string(GetCurrentProcessId());
    folder = std::string(temp) + stem + "_" + std::to_string(GetTickCount());
    if (!CreateDirectoryA(folder.c_str(), nullptr) ||
        !CopyFileA(plugin.c_str(), (folder + "\\" + stem + ".dll").c_str(), FALSE) ||
        !CopyFileA(enginePath.c_str(), (folder + "\\" + stem + "Engine.dll").c_str(), FALSE)) {
        error = "cannot stage the plug-in and the engine in " + folder;
        return;
    }
#if !defined(_WIN64)
    if (!copyFolder(pluginFolder + "Velmorant.Runtime", folder + "\\Velmorant.Runtime")) {
        error = "cannot stage the Velmorant.Runtime folder from " + pluginFolder;
        return;
    }
#endif
    lastCall("LoadLibrary(staged %s)", pluginFile);
    module = LoadLibraryA((folder + "\\" + stem + ".dll").c_str());
    if (module == nullptr) {
        error = format("the staged plug-in does not load (error %lu)", static_cast<unsigned long>(GetLastError()));
    }
}

StagedPlugin::~StagedPlugin()
{
    if (module != nullptr) {
        FreeLibrary(static_cast<HMODULE>(module));
    }
    if (!folder.empty()) {
        deleteFolder(folder);
    }
}

EffectRecord* StagedPlugin::instantiate()
{
    if (module == nullptr) {
        return nullptr;
    }
    VstPluginMainProc entry = reinterpret_cast<VstPluginMainProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(module), "VSTPluginMain")));
    if (entry == nullptr) {
        return nullptr;
    }
    lastCall("VSTPluginMain(hostCallback)");
    EffectRecord* effect = entry(&hostCallback);
    if (effect != nullptr) {
        dispatch(effect, effOpen);
    }
    return effect;
}

intptr_t StagedPlugin::dispatch(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                float opt)
{
    lastCall("plug-in dispatcher(opcode %d, index %d)", static_cast<int>(opcode), static_cast<int>(index));
    return effect->dispatcherEntry(effect, opcode, index, value, ptr, opt);
}

void StagedPlugin::processReplacing(EffectRecord* effect, float** outputs, int32_t frames)
{
    lastCall("plug-in processReplacing(%d)", static_cast<int>(frames));
    effect->processReplacingEntry(effect, outputs, outputs, frames);
}

void StagedPlugin::close(EffectRecord* effect)
{
    if (effect != nullptr) {
        dispatch(effect, effClose);
    }
}

int32_t StagedPlugin::midiEventsReceived()
{
    return midiEvents;
}

}  // namespace validator
