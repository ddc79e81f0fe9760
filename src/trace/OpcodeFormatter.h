// Trace texts for dispatcher opcodes and host requests.
#pragma once

#include <cstddef>
#include <cstdint>

#include "trace/TraceMessage.h"

// Writes the plug-in opcode's name part and then " |index value ptr opt"
// into text, with no line end. value and ptr are printed with all their bits:
// "%d" and "%08x" on 32-bit Windows, their 64-bit forms on 64-bit Windows.
// Writes at most size bytes (terminator included; the trace uses 256), cutting
// longer texts; a null text or a zero size writes nothing. A null ptr for the
// opcodes that print it as text prints "(null)"; host texts are read for at
// most size - 1 characters, so an unterminated one is not run off.
void formatEffectOpcode(char* text, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt,
                        std::size_t size = traceTextSize);

// Writes the host request's name (with its arguments for the few requests
// that show them) into text, under the same bound and guards.
void formatHostOpcode(char* text, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt,
                      std::size_t size = traceTextSize);
