// One synthesizer voice: two oscillators, a low-pass filter and an envelope
// that shapes both loudness and cutoff.
#pragma once

#include <cstdint>

#include "Parameters.h"

namespace engine {

// Per-block values derived from the parameters, shared by all voices.
struct VoiceSettings {
    Waveform waveform = WaveSaw;
    float detuneRatio = 1.0f;  // frequency ratio of the second oscillator
    float cutoffHz = 1000.0f;
    float resonance = 0.0f;        // 0..1
    float envelopeOctaves = 0.0f;  // cutoff raise at full envelope
    float lfoOctaves = 0.0f;       // cutoff swing at full LFO
    float velocitySensitivity = 0.0f;
    float attackStep = 1.0f;        // level added per sample during the attack
    float decayCoefficient = 0.0f;  // per-sample approach factor toward sustain
    float sustainLevel = 1.0f;
    float releaseCoefficient = 0.0f;
};

class Voice {
public:
    void start(int32_t note, int32_t velocity, uint32_t order, float sampleRate);
    void release();  // key up: enter the release stage
    void kill();     // silence at once
    // Recomputes pitch increments and filter coefficients (control rate).
    void updateControl(const VoiceSettings& settings, float pitchFactor, float lfoValue, float sampleRate);
    // Adds one sample of this voice to left and right; ends the voice when its release has died out.
    void render(const VoiceSettings& settings, float& left, float& right);

    bool isActive() const { return stage != Idle; }
    bool isReleased() const { return stage == Release; }
    int32_t getNote() const { return note; }
    uint32_t getOrder() const { return order; }
    float getLevel() const { return level; }

    bool sustained = false;  // key released while the sustain pedal is down

private:
    enum Stage { Idle, Attack, Decay, Sustain, Release };

    float nextEnvelope(const VoiceSettings& settings);

    Stage stage = Idle;
    int32_t note = 0;
    uint32_t order = 0;
    float level = 0.0f;
    float velocityGain = 1.0f;
    float velocity = 1.0f;
    float panLeft = 0.7071f;
    float panRight = 0.7071f;
    double phase1 = 0.0;
    double phase2 = 0.0;
    double increment1 = 0.0;
    double increment2 = 0.0;
    // Filter coefficients and state (trapezoidal state-variable low-pass).
    float a1 = 1.0f, a2 = 0.0f, a3 = 0.0f, damping = 2.0f;
    float state1 = 0.0f, state2 = 0.0f;
};

}  // namespace engine
