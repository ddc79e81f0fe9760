#include "Parameters.h"

#include <cmath>
#include <cstdio>

#include "TextCopy.h"

namespace engine {

namespace {

const ParameterInfo parameterTable[ParameterCount] = {
    {"Wave", "", 0.0f},      {"Detune", "cents", 0.24f}, {"Cutoff", "Hz", 0.55f}, {"Reso", "%", 0.3f},
    {"Env Amt", "%", 0.45f}, {"Attack", "ms", 0.2f},     {"Decay", "ms", 0.65f},  {"Sustain", "%", 0.6f},
    {"Release", "ms", 0.7f}, {"LFO Rate", "Hz", 0.6f},   {"LFO Amt", "%", 0.15f}, {"Velocity", "%", 0.7f},
    {"Volume", "dB", 0.74f}, {"MIDI Out", "", 0.0f},
};

const char* const waveformNames[WaveformCount] = {"Saw", "Square", "Triangle", "Sine"};
const char* const midiOutNames[MidiOutModeCount] = {"Off", "Echo", "Arp"};

float clampUnit(float value)
{
    return value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
}

// Maps 0..1 onto `count` equal steps.
int32_t stepOf(float value, int32_t count)
{
    const int32_t step = static_cast<int32_t>(clampUnit(value) * static_cast<float>(count));
    return step >= count ? count - 1 : step;
}

}  // namespace

bool isParameterIndex(int32_t index)
{
    return index >= 0 && index < ParameterCount;
}

const ParameterInfo& parameterInfo(int32_t index)
{
    return parameterTable[index];
}

Waveform waveformOf(float value)
{
    return static_cast<Waveform>(stepOf(value, WaveformCount));
}

float detuneCents(float value)
{
    return clampUnit(value) * 50.0f;
}

float cutoffHz(float value)
{
    return 20.0f * std::pow(1000.0f, clampUnit(value));
}

float resonanceAmount(float value)
{
    return clampUnit(value);
}

float envelopeSeconds(float value)
{
    return 0.001f * std::pow(5000.0f, clampUnit(value));
}

float lfoHz(float value)
{
    return 0.05f * std::pow(400.0f, clampUnit(value));
}

float volumeDecibels(float value)
{
    return -48.0f + 54.0f * clampUnit(value);
}

MidiOutMode midiOutModeOf(float value)
{
    return static_cast<MidiOutMode>(stepOf(value, MidiOutModeCount));
}

void formatParameterDisplay(int32_t index, float value, char* text, int32_t size)
{
    // Wide enough for any %.*f of the mapped ranges; copyText cuts to `size`.
    char buffer[32];
    switch (index) {
    case ParamWave:
        Korvanta::copyText(text, size, waveformNames[waveformOf(value)]);
        return;
    case ParamMidiOut:
        Korvanta::copyText(text, size, midiOutNames[midiOutModeOf(value)]);
        return;
    case ParamDetune:
        std::snprintf(buffer, sizeof buffer, "%.1f", detuneCents(value));
        break;
    case ParamCutoff:
        std::snprintf(buffer, sizeof buffer, "%.0f", cutoffHz(value));
        break;
    case ParamAttack:
    case ParamDecay:
    case ParamRelease:
        std::snprintf(buffer, sizeof buffer, "%.0f", envelopeSeconds(value) * 1000.0f);
        break;
    case ParamLfoRate:
        std::snprintf(buffer, sizeof buffer, "%.2f", lfoHz(value));
        break;
    case ParamVolume:
        std::snprintf(buffer, sizeof buffer, "%.1f", volumeDecibels(value));
        break;
    case ParamResonance:
    case ParamEnvAmount:
    case ParamSustain:
    case ParamLfoAmount:
    case ParamVelocity:
        std::snprintf(buffer, sizeof buffer, "%.0f", clampUnit(value) * 100.0f);
        break;
    default:
        buffer[0] = '\0';
        break;
    }
    Korvanta::copyText(text, size, buffer);
}

ParameterSet::ParameterSet()
{
    resetToDefaults();
}

float ParameterSet::get(int32_t index) const
{
    return isParameterIndex(index) ? values[index].load(std::memory_order_relaxed) : 0.0f;
}

bool ParameterSet::set(int32_t index, float value)
{
    if (!isParameterIndex(index) || std::isnan(value)) {
        return false;
    }
    values[index].store(clampUnit(value), std::memory_order_relaxed);
    return true;
}

void ParameterSet::resetToDefaults()
{
    for (int32_t index = 0; index < ParameterCount; ++index) {
        values[index].store(parameterTable[index].defaultValue, std::memory_order_relaxed);
    }
}

}  // namespace engine
