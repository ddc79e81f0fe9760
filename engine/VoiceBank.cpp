#include "VoiceBank.h"

namespace engine {

Voice& VoiceBank::pickVoice()
{
    for (Voice& voice : voices) {
        if (!voice.isActive()) {
            return voice;
        }
    }
    Voice* quietestReleased = nullptr;
    Voice* oldest = &voices[0];
    for (Voice& voice : voices) {
        if (voice.isReleased() && (quietestReleased == nullptr || voice.getLevel() < quietestReleased->getLevel())) {
            quietestReleased = &voice;
        }
        // Orders wrap after 2^32 notes; the difference keeps "older" right across the wrap.
        if (static_cast<int32_t>(voice.getOrder() - oldest->getOrder()) < 0) {
            oldest = &voice;
        }
    }
    return quietestReleased != nullptr ? *quietestReleased : *oldest;
}

void VoiceBank::noteOn(int32_t note, int32_t velocity, const VoiceSettings& settings, float pitchFactor, float lfoValue,
                       float sampleRate)
{
    Voice& voice = pickVoice();
    voice.start(note, velocity, nextOrder++, sampleRate);
    voice.updateControl(settings, pitchFactor, lfoValue, sampleRate);
}

void VoiceBank::noteOff(int32_t note)
{
    for (Voice& voice : voices) {
        if (voice.isActive() && !voice.isReleased() && voice.getNote() == note) {
            if (pedalDown) {
                voice.sustained = true;
            } else {
                voice.release();
            }
        }
    }
}

void VoiceBank::setSustainPedal(bool down)
{
    pedalDown = down;
    if (down) {
        return;
    }
    for (Voice& voice : voices) {
        if (voice.sustained) {
            voice.release();
        }
    }
}

void VoiceBank::releaseAll()
{
    pedalDown = false;
    for (Voice& voice : voices) {
        voice.release();
    }
}

void VoiceBank::silenceAll()
{
    pedalDown = false;
    for (Voice& voice : voices) {
        voice.kill();
    }
}

void VoiceBank::updateControl(const VoiceSettings& settings, float pitchFactor, float lfoValue, float sampleRate)
{
    for (Voice& voice : voices) {
        if (voice.isActive()) {
            voice.updateControl(settings, pitchFactor, lfoValue, sampleRate);
        }
    }
}

void VoiceBank::render(const VoiceSettings& settings, float& left, float& right)
{
    for (Voice& voice : voices) {
        voice.render(settings, left, right);
    }
}

int32_t VoiceBank::activeCount() const
{
    int32_t count = 0;
    for (const Voice& voice : voices) {
        count += voice.isActive() ? 1 : 0;
    }
    return count;
}

}  // namespace engine
