#include "bridge/ProcessLevelReporter.h"

#include "vst/VstAbi.h"

namespace bridge {

int32_t ProcessLevelReporter::modeFor(int32_t processLevel)
{
    switch (processLevel) {
    case kVstProcessLevelUser:
    case kVstProcessLevelOffline:
        return SoftSynthModeOffline;
    case kVstProcessLevelRealtime:
    case kVstProcessLevelPrefetch:
        return SoftSynthModeRealtime;
    default:
        return SoftSynthModeUnknown;
    }
}

void ProcessLevelReporter::report(SoftSynth& engine, BridgeHost& host)
{
    engine.setProcessMode(modeFor(host.requestProcessLevel()));
    reported = true;
}

}  // namespace bridge
