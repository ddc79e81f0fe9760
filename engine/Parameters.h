// The engine's parameters: normalised 0..1 values the host automates, their
// names, units and the texts shown for them (each at most 8 characters).
#pragma once

#include <atomic>
#include <cstdint>

namespace engine {

enum ParameterIndex : int32_t {
    ParamWave,
    ParamDetune,
    ParamCutoff,
    ParamResonance,
    ParamEnvAmount,
    ParamAttack,
    ParamDecay,
    ParamSustain,
    ParamRelease,
    ParamLfoRate,
    ParamLfoAmount,
    ParamVelocity,
    ParamVolume,
    ParamMidiOut,
    ParameterCount
};

enum Waveform : int32_t { WaveSaw, WaveSquare, WaveTriangle, WaveSine, WaveformCount };

// What the engine sends on its MIDI output.
enum MidiOutMode : int32_t { MidiOutOff, MidiOutEcho, MidiOutArpeggio, MidiOutModeCount };

struct ParameterInfo {
    const char* name;
    const char* label;
    float defaultValue;
};

bool isParameterIndex(int32_t index);
// Only for indices isParameterIndex accepts.
const ParameterInfo& parameterInfo(int32_t index);

// Value mappings from the normalised range.
Waveform waveformOf(float value);
float detuneCents(float value);      // 0..50
float cutoffHz(float value);         // 20..20000, exponential
float resonanceAmount(float value);  // 0..1
float envelopeSeconds(float value);  // 0.001..5, exponential
float lfoHz(float value);            // 0.05..20, exponential
float volumeDecibels(float value);   // -48..+6
MidiOutMode midiOutModeOf(float value);

// The display text of a value, cut to fit `size` bytes and terminated.
void formatParameterDisplay(int32_t index, float value, char* text, int32_t size);

// Values written by the host and the editor thread and read by the audio
// thread; each value is one atomic so no lock is needed.
class ParameterSet {
public:
    ParameterSet();

    float get(int32_t index) const;        // 0 for an index out of range
    bool set(int32_t index, float value);  // clamped to 0..1; false for a bad index or NaN
    void resetToDefaults();

private:
    std::atomic<float> values[ParameterCount];
};

}  // namespace engine
