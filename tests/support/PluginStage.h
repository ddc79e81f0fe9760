// The tests' side of common::PluginStage (common/PluginStage.h): stages a
// built DLL from beside the test executable the way a host finds a plug-in,
// under a unique name of its own, optionally with an engine DLL beside it as
// "<name>Engine.dll", then loads it.
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
#include <string>

#include <windows.h>

#include "common/Folders.h"
#include "common/PluginStage.h"
#include "vst/VstAbi.h"

namespace velmorant_test {

// The folder of the running test executable, with a trailing backslash.
inline std::string testExecutableFolder()
{
    return common::executableFolder();
}

// A file beside the test executable, unless given as a full path.
inline std::string besideTestExecutable(const std::string& file)
{
    return common::besideExecutable(file);
}

class PluginStage {
public:
    // sourceDll and engineDll: file names beside the test executable or full
    // paths; an empty engineDll stages no engine. baseName: the staged name
    // without ".dll"; empty picks "VelT<pid>_<n>".
    explicit PluginStage(const std::string& sourceDll = "Velmorant.dll", const std::string& engineDll = "",
                         const std::string& baseName = "", bool loadNow = true)
        : stage_(stagePrefix, !baseName.empty() ? baseName : uniqueName())
    {
        sweepOnce();
        ok_ = stage_.created() && stage_.stagePlugin(besideTestExecutable(sourceDll));
        if (!engineDll.empty())
            ok_ = ok_ && stage_.stageEngine(besideTestExecutable(engineDll));
        ok_ = ok_ && stage_.stageRuntime(testExecutableFolder());
        if (ok_ && loadNow)
            load();
    }

    PluginStage(const PluginStage&) = delete;
    PluginStage& operator=(const PluginStage&) = delete;

    // Copies another file into the folder (for example an engine under a name
    // that only a registry value points to).
    bool stage(const std::string& sourceFile, const std::string& stagedFileName)
    {
        return stage_.stage(besideTestExecutable(sourceFile), stagedFileName);
    }

    bool load() { return stage_.load(); }
    void unload() { stage_.unload(); }

    // True when the folder and every copy were made.
    bool staged() const { return ok_; }
    bool loaded() const { return stage_.module() != nullptr; }
    HMODULE module() const { return static_cast<HMODULE>(stage_.module()); }

    // The staged name without ".dll", as the plug-in sees its own name.
    const std::string& name() const { return stage_.name(); }
    // With a trailing backslash.
    const std::string& folder() const { return stage_.folder(); }
    std::string path() const { return stage_.path(); }
    std::string enginePath() const { return stage_.enginePath(); }

    FARPROC proc(const char* exportName) const
    {
        return module() != nullptr ? GetProcAddress(module(), exportName) : nullptr;
    }

    // Any export as a function of the caller's type (null when missing).
    template <typename Function>
    Function procAs(const char* exportName) const
    {
        // Through void* because FARPROC's own type matches no real export.
        return reinterpret_cast<Function>(reinterpret_cast<void*>(proc(exportName)));
    }

    VstPluginMainProc entry() const { return procAs<VstPluginMainProc>("VSTPluginMain"); }

    // Calls VSTPluginMain; null when the library or the export is missing.
    EffectRecord* instantiate(HostCallback callback) const
    {
        VstPluginMainProc main = entry();
        return main != nullptr ? main(callback) : nullptr;
    }

private:
    // Stage folders are "VelStage<pid>_<serial>_<ticks>" in the temp folder.
    static constexpr char stagePrefix[] = "VelStage";

    static std::string uniqueName()
    {
        static unsigned serial = 0;
        return "VelT" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++serial);
    }

    // Once per process, the stages of test processes that have ended.
    static void sweepOnce()
    {
        static bool swept = false;
        if (!swept)
            common::PluginStage::sweepLeftovers(stagePrefix);
        swept = true;
    }

    common::PluginStage stage_;
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
