#include "shell/VelmorantHost.h"

#include "shell/Velmorant.h"

int32_t VelmorantHost::requestProcessLevel()
{
    return effect.getCurrentProcessLevel();
}

void VelmorantHost::automate(int32_t index, float value)
{
    effect.setParameterAutomated(index, value);
}

// Not through sendVstEventsToHost, so that the host's raw answer can be traced.
intptr_t VelmorantHost::sendEvents(VstEvents* events)
{
    const HostCallback callback = effect.hostCallback;
    return callback != nullptr ? callback(&effect.effect, audioMasterProcessEvents, 0, 0, events, 0.0f) : 0;
}
