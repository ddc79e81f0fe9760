#include "Voice.h"

#include <cmath>

namespace engine {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr float silenceLevel = 0.0001f;

// Band-limits the step of a saw or square edge over one sample either side.
double polyBlep(double t, double dt)
{
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

double oscillator(Waveform waveform, double phase, double increment)
{
    switch (waveform) {
    case WaveSaw:
        return 2.0 * phase - 1.0 - polyBlep(phase, increment);
    case WaveSquare: {
        double shifted = phase + 0.5;
        if (shifted >= 1.0) {
            shifted -= 1.0;
        }
        return (phase < 0.5 ? 1.0 : -1.0) + polyBlep(phase, increment) - polyBlep(shifted, increment);
    }
    case WaveTriangle:
        return 1.0 - 4.0 * std::fabs(phase - 0.5);
    default:
        return std::sin(2.0 * pi * phase);
    }
}

double advance(double phase, double increment)
{
    phase += increment;
    return phase >= 1.0 ? phase - std::floor(phase) : phase;
}

}  // namespace

void Voice::start(int32_t newNote, int32_t newVelocity, uint32_t newOrder, float sampleRate)
{
    (void)sampleRate;
    note = newNote;
    order = newOrder;
    velocity = static_cast<float>(newVelocity) / 127.0f;
    stage = Attack;
    level = 0.0f;
    sustained = false;
    phase1 = 0.0;
    phase2 = 0.25;  // the detuned partner starts apart so the pair does not cancel
    state1 = state2 = 0.0f;
    // Spread notes across the stereo field: low notes left, high notes right.
    float pan = static_cast<float>(note - 60) / 96.0f;
    pan = pan < -0.4f ? -0.4f : (pan > 0.4f ? 0.4f : pan);
    const float angle = static_cast<float>((pan + 1.0f) * pi / 4.0);
    panLeft = std::cos(angle);
    panRight = std::sin(angle);
}

void Voice::release()
{
    if (stage != Idle) {
        stage = Release;
    }
    sustained = false;
}

void Voice::kill()
{
    stage = Idle;
    level = 0.0f;
    sustained = false;
}

void Voice::updateControl(const VoiceSettings& settings, float pitchFactor, float lfoValue, float sampleRate)
{
    velocityGain = 1.0f - settings.velocitySensitivity + settings.velocitySensitivity * velocity;
    const double frequency = 440.0 * std::pow(2.0, (note - 69) / 12.0) * pitchFactor;
    increment1 = frequency / sampleRate;
    increment2 = increment1 * settings.detuneRatio;
    if (increment1 > 0.45) {
        increment1 = 0.45;
    }
    if (increment2 > 0.45) {
        increment2 = 0.45;
    }

    // Cutoff follows the envelope, the LFO and (by half) the keyboard.
    const float octaves = settings.envelopeOctaves * level * (0.5f + 0.5f * velocity) + settings.lfoOctaves * lfoValue +
                          static_cast<float>(note - 60) / 24.0f;
    float cutoff = settings.cutoffHz * std::exp2(octaves);
    const float highest = 0.45f * sampleRate;
    cutoff = cutoff < 20.0f ? 20.0f : (cutoff > highest ? highest : cutoff);
    const float g = static_cast<float>(std::tan(pi * cutoff / sampleRate));
    damping = 2.0f - 1.9f * settings.resonance;
    a1 = 1.0f / (1.0f + g * (g + damping));
    a2 = g * a1;
    a3 = g * a2;
}

float Voice::nextEnvelope(const VoiceSettings& settings)
{
    switch (stage) {
    case Attack:
        level += settings.attackStep;
        if (level >= 1.0f) {
            level = 1.0f;
            stage = Decay;
        }
        break;
    case Decay:
        level = settings.sustainLevel + (level - settings.sustainLevel) * settings.decayCoefficient;
        if (std::fabs(level - settings.sustainLevel) < silenceLevel) {
            level = settings.sustainLevel;
            stage = Sustain;
        }
        break;
    case Sustain:
        level = settings.sustainLevel;
        break;
    case Release:
        level *= settings.releaseCoefficient;
        if (level < silenceLevel) {
            kill();
        }
        break;
    case Idle:
        break;
    }
    return level;
}

void Voice::render(const VoiceSettings& settings, float& left, float& right)
{
    if (stage == Idle) {
        return;
    }
    const double raw =
        0.5 * (oscillator(settings.waveform, phase1, increment1) + oscillator(settings.waveform, phase2, increment2));
    phase1 = advance(phase1, increment1);
    phase2 = advance(phase2, increment2);

    const float input = static_cast<float>(raw);
    const float v3 = input - state2;
    const float v1 = a1 * state1 + a2 * v3;
    const float v2 = state2 + a2 * state1 + a3 * v3;
    state1 = 2.0f * v1 - state1;
    state2 = 2.0f * v2 - state2;

    const float sample = v2 * nextEnvelope(settings) * velocityGain;
    if (!std::isfinite(sample)) {
        kill();
        return;
    }
    left += sample * panLeft;
    right += sample * panRight;
}

}  // namespace engine
