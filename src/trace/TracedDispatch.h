// The trace of the host's dispatcher calls, with runs of one opcode folded
// into a count. The plug-in's dispatcher calls this before handling the call.
#pragma once

#include <cstdint>

// State of the current run: lastTracedOpcode starts at -1 and repeatCount at 0
// so that the first traced call opens a run.
//
// "effIdle" (53) and "effEditIdle" (19) are neither traced nor counted and do
// not end a run. Any other opcode that differs from lastTracedOpcode writes
// "  (<count> times repeated)\n" for the run it ends and opens a new run; the
// first two calls of a run write their formatted line, later ones only count.
// Writes only to the debugger output; never throws, never allocates.
void traceDispatcherCall(int32_t& lastTracedOpcode, int32_t& repeatCount, int32_t opcode, int32_t index, intptr_t value,
                         void* ptr, float opt);
