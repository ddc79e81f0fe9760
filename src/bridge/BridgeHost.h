// What the bridge's parts need from the host: the block's time information,
// the process level, automation and sending events. The plug-in instance
// answers it over its effect framework's host requests; tests answer it with
// a fake, so each part can be driven without an effect record.
#pragma once

#include <cstdint>

#include "vst/VstAbi.h"

namespace bridge {

class BridgeHost {
public:
    // "audioMasterGetTime" with the filter: the host's record, or null.
    virtual const VstTimeInfo* requestTimeInfo(int32_t filter) = 0;
    // "audioMasterGetCurrentProcessLevel": 0 when there is no host.
    virtual int32_t requestProcessLevel() = 0;
    // The effect's setParameterAutomated: the value is written back to the
    // engine as a host write, then "audioMasterAutomate" goes to the host.
    virtual void automate(int32_t index, float value) = 0;
    // "audioMasterProcessEvents" with the list, straight to the host
    // callback: the host's raw answer, 0 when there is no host.
    virtual intptr_t sendEvents(VstEvents* events) = 0;

protected:
    BridgeHost() = default;
    ~BridgeHost() = default;
};

}  // namespace bridge
