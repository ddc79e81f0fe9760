// The fixed pool of voices: allocation, stealing when all are busy, the
// sustain pedal. Preallocated, so note handling never allocates.
#pragma once

#include <cstdint>

#include "Voice.h"

namespace engine {

class VoiceBank {
public:
    static constexpr int32_t voiceCount = 16;

    // Starts a voice; when none is free, takes the quietest releasing voice
    // or, failing that, the oldest one.
    void noteOn(int32_t note, int32_t velocity, const VoiceSettings& settings, float pitchFactor, float lfoValue,
                float sampleRate);
    void noteOff(int32_t note);
    void setSustainPedal(bool down);
    void releaseAll();  // every key up, pedal up
    void silenceAll();  // every voice quiet at once

    void updateControl(const VoiceSettings& settings, float pitchFactor, float lfoValue, float sampleRate);
    void render(const VoiceSettings& settings, float& left, float& right);

    int32_t activeCount() const;

private:
    Voice& pickVoice();

    Voice voices[voiceCount];
    uint32_t nextOrder = 0;
    bool pedalDown = false;
};

}  // namespace engine
