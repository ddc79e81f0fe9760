// Runs of audio through an engine: MIDI and transport events at fixed sample
// positions, split into blocks of a chosen size the way a host splits them,
// and the measures the audio checks take of the result.
#pragma once

#include <cstdint>
#include <vector>

#include "EngineInstance.h"

namespace validator {

struct TimedMidi {
    int64_t frame;
    unsigned char bytes[4];
};

enum class TransportChange { Start, Stop };

struct TimedTransport {
    int64_t frame;  // told at the start of the block holding it
    TransportChange change;
};

struct Scenario {
    int64_t frames = 0;
    std::vector<TimedMidi> midi;  // in frame order
    std::vector<TimedTransport> transport;

    void noteOn(int64_t frame, int note, int velocity);
    void noteOff(int64_t frame, int note);
};

// One vector of samples per output channel.
using Sound = std::vector<std::vector<float>>;

enum class RenderCall { Replacing, Adding };

struct RenderOptions {
    int32_t blockSize = 512;
    RenderCall call = RenderCall::Replacing;
    float prefill = 0.0f;  // what the buffers hold before each call
    // Timing: seconds spent inside the render calls, when not null.
    double* renderSeconds = nullptr;
};

// The engine's output count, kept to what a host would accept (1 to 64).
int32_t usableOutputCount(EngineInstance& engine);

Sound render(EngineInstance& engine, const Scenario& scenario, const RenderOptions& options);

// A scenario of a chord played and let go: notes at `sampleRate`-scaled,
// deliberately block-unaligned positions; `releaseSeconds` of tail after the
// last note-off.
Scenario chordScenario(double sampleRate, double releaseSeconds);

// Largest magnitude in [from, to) of any channel; NaN samples are ignored.
float peak(const Sound& sound, int64_t from = 0, int64_t to = INT64_MAX);
// Samples that are NaN or infinite, and nonzero samples below the normal range.
int64_t countNonFinite(const Sound& sound);
int64_t countDenormal(const Sound& sound);
// The largest difference between two renders; identical bits count as 0, so a
// NaN in the same place in both is no difference. Infinity when the shapes differ.
double largestDifference(const Sound& a, const Sound& b);
// The first frame from which every channel stays at or below `threshold`
// to the end; the sound's length when the end itself is loud.
int64_t silentFrom(const Sound& sound, float threshold);

constexpr float silenceThreshold = 1.0e-5f;  // -100 dBFS
constexpr float soundThreshold = 1.0e-3f;    // -60 dBFS

}  // namespace validator
