// The reference engine: a 16-voice subtractive synthesizer behind the
// SoftSynth interface, with a MIDI echo or arpeggio on its MIDI output and
// a parameter window inside the host's editor frame.
#pragma once

#include <atomic>
#include <cstdint>

#include "Arpeggiator.h"
#include "EngineEditor.h"
#include "EngineHostLink.h"
#include "MidiEventQueue.h"
#include "Parameters.h"
#include "SoftSynth.h"
#include "VoiceBank.h"

namespace engine {

class SynthEngine final : public SoftSynth {
public:
    SynthEngine();

    void suspend() override;
    void resume() override;
    void release() override;
    void setSampleRate(float rate) override;
    void setBlockSize(int32_t size) override;
    void receiveMidi(const unsigned char* midi, int32_t deltaFrames) override;
    void renderAdding(float** outputs, int32_t frames) override;
    void renderReplacing(float** outputs, int32_t frames) override;
    void saveState(Korvanta::OutputStream& stream) override;
    void loadState(Korvanta::InputStream& stream) override;
    void getEditorSize(int32_t* width, int32_t* height) override;
    void openEditor(void* parentWindow) override;
    void closeEditor() override;
    const char* getVendorName() override;
    const char* getProductName() override;
    int32_t getVersion() override;
    int32_t getUniqueId() override;
    const char* getOutputName() override;
    int32_t getParameterCount() override;
    float getParameter(int32_t index) override;
    void setParameter(int32_t index, float value) override;
    void getParameterLabel(int32_t index, char* text, int32_t size) override;
    void getParameterDisplay(int32_t index, char* text, int32_t size) override;
    void getParameterName(int32_t index, char* text, int32_t size) override;
    void setProcessMode(int32_t mode) override;
    int32_t getOutputCount(int32_t hint) override;

    IHostLink* hostLink() { return &link; }

    // A change made in the engine's own window: stored, then reported to
    // the plug-in, which echoes it back through setParameter.
    void setParameterFromEditor(int32_t index, float value);

private:
    void render(float** outputs, int32_t frames, bool adding);
    void renderSpan(float* left, float* right, int32_t from, int32_t to, bool adding);
    void applyParameters(int32_t frame);
    void followHostClock(bool transportStarted);
    double tickAt(int64_t sample) const
    {
        return anchorTick + static_cast<double>(sample - anchorSample) * ticksPerSample;
    }
    void scheduleNextBoundary();
    int64_t sampleOfBoundary(int64_t boundary) const;
    void handleMidi(const unsigned char* bytes, int32_t frame);
    void playNoteOn(int32_t note, int32_t velocity, int32_t frame);
    void playNoteOff(int32_t note, int32_t frame);
    void arpeggioBoundary(int64_t boundary, int32_t frame);
    void stopArpeggio(int32_t frame);
    void sendMidi(unsigned char status, unsigned char data1, unsigned char data2, int32_t frame);
    void refreshSettings();
    void resetSound();

    ParameterSet parameters;
    EngineHostLink link;
    EngineEditor editor;
    VoiceBank voices;
    MidiEventQueue queue;
    Arpeggiator arpeggiator;

    VoiceSettings settings;
    MidiOutMode midiOutMode = MidiOutOff;
    float sampleRate = 44100.0f;
    int32_t blockSize = 1024;
    std::atomic<int32_t> processMode{SoftSynthModeUnknown};

    // Every sample the engine renders has its index on this clock (from 0 at
    // resume). All timed work is placed on it rather than on block starts, so
    // the output does not depend on how the host splits a run into blocks.
    int64_t sampleClock = 0;

    float gain = 0.0f;  // smoothed toward targetGain per sample
    float targetGain = 0.0f;
    float pitchFactor = 1.0f;
    double lfoPhase = 0.0;
    double lfoStep = 0.0;  // phase per sample, from the parameters at the last control tick
    float lfoValue = 0.0f;

    // The musical clock, in ticks: linear in sampleClock from an anchor,
    // re-anchored only when the host's tempo or position departs from it.
    double anchorTick = 0.0;
    int64_t anchorSample = 0;
    double ticksPerSample = 0.0;
    int64_t nextBoundary = 0;          // the next arpeggio half step
    int64_t nextBoundarySample = 0;    // the sample it falls on
    int32_t arpeggioNote = -1;         // the arpeggio note sounding now, or -1
    int64_t lastBoundary = INT64_MIN;  // the last arpeggio half step played
};

}  // namespace engine
