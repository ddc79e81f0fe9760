// Optional object an engine module's plug-in factory stores in the loader:
// it receives the host services at the end of construction and gives them
// up at destruction.
#pragma once

#include "IKorvantaHost.h"

class IHostLink {
public:
    virtual void attachHost(IKorvantaHost* host) = 0;  // 1
    virtual void detachHost() = 0;                     // 2

protected:
    ~IHostLink() = default;
};
