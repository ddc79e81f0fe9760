#include "Transport.h"

#include <cmath>

namespace host {

Transport::Transport(const MidiSequence& sequence, double sampleRate, double tempoOverride, int32_t numeratorOverride,
                     int32_t denominatorOverride)
    : rate(sampleRate),
      ticksPerQuarter(sequence.ticksPerQuarter > 0 ? sequence.ticksPerQuarter : defaultTicksPerQuarter)
{
    auto samplesPerQuarterAt = [&](double tempo) {
        return rate * 60.0 / tempo;
    };
    if (tempoOverride > 0.0) {
        tempos.push_back({0.0, 0.0, samplesPerQuarterAt(tempoOverride), tempoOverride});
    } else {
        tempos.push_back({0.0, 0.0, samplesPerQuarterAt(120.0), 120.0});
        for (const TempoChange& change : sequence.tempoChanges) {
            const double quarter = static_cast<double>(change.tick) / ticksPerQuarter;
            const double tempo = 60.0e6 / change.microsecondsPerQuarter;
            TempoSegment& last = tempos.back();
            if (quarter <= last.startQuarter) {
                last.tempo = tempo;  // a later change at the same tick wins
                last.samplesPerQuarter = samplesPerQuarterAt(tempo);
                continue;
            }
            const double start = last.startSample + (quarter - last.startQuarter) * last.samplesPerQuarter;
            tempos.push_back({quarter, start, samplesPerQuarterAt(tempo), tempo});
        }
    }
    if (numeratorOverride > 0 && denominatorOverride > 0) {
        signatures.push_back({0.0, numeratorOverride, denominatorOverride});
    } else {
        signatures.push_back({0.0, 4, 4});
        for (const TimeSignatureChange& change : sequence.signatures) {
            const double quarter = static_cast<double>(change.tick) / ticksPerQuarter;
            if (quarter <= signatures.back().startQuarter) {
                signatures.back().numerator = change.numerator;
                signatures.back().denominator = change.denominator;
            } else {
                signatures.push_back({quarter, change.numerator, change.denominator});
            }
        }
    }
}

const Transport::TempoSegment& Transport::segmentAtQuarter(double quarter) const
{
    size_t index = 0;
    while (index + 1 < tempos.size() && tempos[index + 1].startQuarter <= quarter) {
        ++index;
    }
    return tempos[index];
}

const Transport::TempoSegment& Transport::segmentAtSample(double sample) const
{
    size_t index = 0;
    while (index + 1 < tempos.size() && tempos[index + 1].startSample <= sample) {
        ++index;
    }
    return tempos[index];
}

double Transport::sampleOfTick(int64_t tick) const
{
    const double quarter = static_cast<double>(tick) / ticksPerQuarter;
    const TempoSegment& segment = segmentAtQuarter(quarter);
    return segment.startSample + (quarter - segment.startQuarter) * segment.samplesPerQuarter;
}

double Transport::quarterOfSample(double sample) const
{
    const TempoSegment& segment = segmentAtSample(sample);
    return segment.startQuarter + (sample - segment.startSample) / segment.samplesPerQuarter;
}

double Transport::tempoAtSample(double sample) const
{
    return segmentAtSample(sample).tempo;
}

VstTimeInfo Transport::timeInfo(double sample, bool playing, bool changed) const
{
    VstTimeInfo info = {};
    const double quarter = quarterOfSample(sample);
    size_t index = 0;
    while (index + 1 < signatures.size() && signatures[index + 1].startQuarter <= quarter) {
        ++index;
    }
    const SignatureSegment& signature = signatures[index];
    // Bars restart counting at every signature change.
    const double barQuarters = 4.0 * signature.numerator / signature.denominator;
    const double bars = std::floor((quarter - signature.startQuarter) / barQuarters);

    info.samplePos = sample;
    info.sampleRate = rate;
    info.nanoSeconds = sample / rate * 1.0e9;
    info.ppqPos = quarter;
    info.tempo = tempoAtSample(sample);
    info.barStartPos = signature.startQuarter + bars * barQuarters;
    info.timeSigNumerator = signature.numerator;
    info.timeSigDenominator = signature.denominator;
    info.flags = kVstNanosValid | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid |
                 (playing ? kVstTransportPlaying : 0) | (changed ? kVstTransportChanged : 0);
    return info;
}

}  // namespace host
