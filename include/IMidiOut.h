// Sends one short MIDI message to the host, at deltaFrames into the block.
#pragma once

#include <cstdint>

class IMidiOut {
public:
    virtual void sendMidi(const unsigned char* midi, int32_t deltaFrames) = 0;  // 4 bytes

protected:
    ~IMidiOut() = default;
};
