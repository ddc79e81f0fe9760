// The names under which the engine finds the host services.
#pragma once

namespace bridge {

enum class Service { None, MidiContext, TransportNotifier, MidiOut };

// Exact, case-sensitive comparison of the whole name; null and unknown names
// (the host interface's own included) give None.
Service findService(const char* name);

}  // namespace bridge
