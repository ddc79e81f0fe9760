// The plug-in's host services, looked up by exact name:
// "Korvanta::MidiContext", "Korvanta::MidiTransportNotifier", "IMidiOut".
#pragma once

class IKorvantaHost {
public:
    virtual void* get_interface(const char* name) = 0;  // null for an unknown name

protected:
    ~IKorvantaHost() = default;
};
