// The bridge's host interface over the effect framework's host requests.
#pragma once

#include "bridge/BridgeHost.h"

class Velmorant;

class VelmorantHost final : public bridge::BridgeHost {
public:
    explicit VelmorantHost(Velmorant& effect) : effect(effect) {}
    VelmorantHost(const VelmorantHost&) = delete;
    VelmorantHost& operator=(const VelmorantHost&) = delete;

    // Once in every processing block: defined inline beside Velmorant, so
    // that the transport's refresh calls the host callback directly.
    inline const VstTimeInfo* requestTimeInfo(int32_t filter) override;
    int32_t requestProcessLevel() override;
    void automate(int32_t index, float value) override;
    intptr_t sendEvents(VstEvents* events) override;

private:
    Velmorant& effect;
};
