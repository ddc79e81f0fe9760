// The host's musical clock: maps ticks of a sequence to sample positions
// through its tempo changes, and answers the plug-in's time requests with
// the position, tempo, bar start and time signature of a sample.
#pragma once

#include <cstdint>
#include <vector>

#include "MidiSequence.h"
#include "vst/VstAbi.h"

namespace host {

class Transport {
public:
    // Tempo and signature overrides of 0 keep the sequence's own; a
    // sequence without any plays at 120 bpm in 4/4.
    Transport(const MidiSequence& sequence, double sampleRate, double tempoOverride, int32_t numeratorOverride,
              int32_t denominatorOverride);

    double sampleRate() const { return rate; }
    double sampleOfTick(int64_t tick) const;
    double quarterOfSample(double sample) const;
    double tempoAtSample(double sample) const;

    // The record a host hands back to audioMasterGetTime for the block that
    // starts at `sample`.
    VstTimeInfo timeInfo(double sample, bool playing, bool changed) const;

private:
    struct TempoSegment {
        double startQuarter;
        double startSample;
        double samplesPerQuarter;
        double tempo;
    };
    struct SignatureSegment {
        double startQuarter;
        int32_t numerator;
        int32_t denominator;
    };

    const TempoSegment& segmentAtQuarter(double quarter) const;
    const TempoSegment& segmentAtSample(double sample) const;

    double rate;
    double ticksPerQuarter;
    std::vector<TempoSegment> tempos;          // at least one, from quarter 0
    std::vector<SignatureSegment> signatures;  // at least one, from quarter 0
};

}  // namespace host
