// The engine's MIDI out: one four-byte message becomes one host event list
// of one event, sent at once, and one trace line with the host's answer.
#pragma once

#include <cstdint>

#include "bridge/BridgeHost.h"

namespace bridge {

// The four bytes go unchanged (no check of the status byte or the length);
// a null message sends nothing. Everything lives on the caller's stack: the
// engine calls this while it renders.
void sendMidiToHost(BridgeHost& host, const unsigned char* midi, int32_t deltaFrames);

}  // namespace bridge
