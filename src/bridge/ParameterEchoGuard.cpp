#include "bridge/ParameterEchoGuard.h"

#include <windows.h>

namespace bridge {

ParameterEchoGuard::HostWrite::HostWrite(ParameterEchoGuard& guard) : guard(guard)
{
    InterlockedIncrement(&guard.depth);
}

ParameterEchoGuard::HostWrite::~HostWrite()
{
    InterlockedDecrement(&guard.depth);
}

void ParameterEchoGuard::engineReported(SoftSynth* engine, BridgeHost& host, int32_t index, int32_t request) const
{
    if (request != SoftSynthParameterChanged || depth != 0 || engine == nullptr)
        return;
    host.automate(index, engine->getParameter(index));
}

}  // namespace bridge
