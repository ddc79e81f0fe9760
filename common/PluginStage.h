// Stages a plug-in the way a host finds one: a copy under a name of its own in
// a fresh folder in the temp folder, optionally with an engine beside it as
// "<name>Engine.dll" (the plug-in's default engine path and its registry
// value both follow its file name, so a unique name keeps concurrent
// processes apart), and on i686 the private assembly folder the binaries find
// the shared runtime in. Destruction frees the library and deletes the folder.
#pragma once

#include <string>

namespace common {

// The private assembly folder beside every i686 binary.
constexpr const char* runtimeFolderName = "Velmorant.Runtime";

class PluginStage {
public:
    // Creates "<temp><folderPrefix><pid>_<serial>_<ticks>\"; `name` is the
    // staged plug-in's file name without ".dll".
    PluginStage(const std::string& folderPrefix, const std::string& name);
    ~PluginStage();
    PluginStage(const PluginStage&) = delete;
    PluginStage& operator=(const PluginStage&) = delete;

    // Whether the folder was made.
    bool created() const { return made; }

    // Copies a file into the folder; false when it could not.
    bool stage(const std::string& sourcePath, const std::string& stagedFileName);
    bool stagePlugin(const std::string& sourcePath) { return stage(sourcePath, name_ + ".dll"); }
    bool stageEngine(const std::string& sourcePath) { return stage(sourcePath, name_ + "Engine.dll"); }
    // On i686, copies the Velmorant.Runtime folder found in `fromFolder`
    // (with a trailing backslash); x86_64 binaries need none.
    bool stageRuntime(const std::string& fromFolder);

    // LoadLibrary on the staged plug-in; the system's error stays readable
    // through GetLastError when it fails.
    bool load();
    void unload();
    void* module() const { return module_; }

    const std::string& name() const { return name_; }
    // With a trailing backslash.
    const std::string& folder() const { return folder_; }
    std::string path() const { return folder_ + name_ + ".dll"; }
    std::string enginePath() const { return folder_ + name_ + "Engine.dll"; }

    // On i686 GCC's shared libgcc pins itself, so a stage's runtime folder
    // outlives the stage until the process ends, and a process that is
    // ended leaves its stages behind: deletes the stage folders with this
    // prefix whose process has ended (a live process's stay).
    static void sweepLeftovers(const std::string& folderPrefix);

private:
    std::string name_;
    std::string folder_;
    void* module_ = nullptr;
    bool made = false;
};

}  // namespace common
