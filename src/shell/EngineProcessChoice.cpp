#include "shell/EngineProcessChoice.h"

#include "foundation/ModuleState.h"
#include "foundation/RegistryAccess.h"
#include "module/ModuleMachine.h"

namespace shell {

namespace {

// Outside any DWORD a musician would write: "no value here".
constexpr uint32_t absent = 0xFFFFFFFFu;

}  // namespace

uint32_t readEngineProcessSetting(const char* keyPath)
{
    try {
        const uint32_t user = Korvanta::readRegistryDwordOr(keyPath, engineProcessValue, absent, true);
        if (user != absent)
            return user;
        const uint32_t machine = Korvanta::readRegistryDwordOr(keyPath, engineProcessValue, absent, false);
        return machine != absent ? machine : 0;
    } catch (...) {
        return 0;
    }
}

EngineProcessChoice chooseEngineProcess(const Korvanta::SharedString& enginePath)
{
    EngineProcessChoice choice;
    const module::Machine machine = module::readModuleMachine(enginePath.c_str());
    const bool otherArchitecture = machine != module::Machine::Unknown && machine != module::ownMachine();
    if (!otherArchitecture && readEngineProcessSetting(settingsKeyPath) == 0)
        return choice;
    const bool x86 = otherArchitecture ? machine == module::Machine::X86 : module::ownMachine() == module::Machine::X86;
    choice.ownProcess = true;
    choice.hostBits = x86 ? 32 : 64;
    choice.hostProgram = Korvanta::moduleFolder() + (x86 ? engineHost32 : engineHost64);
    return choice;
}

}  // namespace shell
