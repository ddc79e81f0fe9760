// The plug-in's host services, looked up by exact name:
// "Korvanta::MidiContext", "Korvanta::MidiTransportNotifier", "IMidiOut".
#pragma once

namespace Korvanta {

// The service names, kept exactly as they are: engines built elsewhere ask for these texts.
inline constexpr char midiContextService[] = "Korvanta::MidiContext";
inline constexpr char midiTransportNotifierService[] = "Korvanta::MidiTransportNotifier";
inline constexpr char midiOutService[] = "IMidiOut";

}  // namespace Korvanta

class IKorvantaHost {
public:
    virtual void* get_interface(const char* name) = 0;  // null for an unknown name

protected:
    ~IKorvantaHost() = default;
};
