#include "Rendering.h"

#include <windows.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace validator {

void Scenario::noteOn(int64_t frame, int note, int velocity)
{
    midi.push_back({frame, {0x90, static_cast<unsigned char>(note), static_cast<unsigned char>(velocity), 0}});
}

void Scenario::noteOff(int64_t frame, int note)
{
    midi.push_back({frame, {0x80, static_cast<unsigned char>(note), 0, 0}});
}

int32_t usableOutputCount(EngineInstance& engine)
{
    const int32_t count = engine.getOutputCount(2);
    return count < 1 ? 1 : (count > 64 ? 64 : count);
}

Sound render(EngineInstance& engine, const Scenario& scenario, const RenderOptions& options)
{
    const int32_t channels = usableOutputCount(engine);
    Sound sound(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(scenario.frames), 0.0f));
    std::vector<float> blockStore(static_cast<size_t>(channels) * static_cast<size_t>(options.blockSize));
    std::vector<float*> outputs(static_cast<size_t>(channels));
    for (int32_t c = 0; c < channels; ++c) {
        outputs[static_cast<size_t>(c)] = blockStore.data() + static_cast<size_t>(c) * options.blockSize;
    }
    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    double seconds = 0.0;

    size_t nextMidi = 0;
    size_t nextTransport = 0;
    FakeHostServices& services = engine.services();
    for (int64_t position = 0; position < scenario.frames; position += options.blockSize) {
        const int32_t frames = static_cast<int32_t>(std::min<int64_t>(options.blockSize, scenario.frames - position));
        std::fill(blockStore.begin(), blockStore.end(), options.prefill);
        services.beginProcessing();
        while (nextTransport < scenario.transport.size() &&
               scenario.transport[nextTransport].frame < position + frames) {
            if (scenario.transport[nextTransport].change == TransportChange::Start) {
                services.startTransport();
            } else {
                services.stopTransport();
            }
            ++nextTransport;
        }
        QueryPerformanceCounter(&begin);
        while (nextMidi < scenario.midi.size() && scenario.midi[nextMidi].frame < position + frames) {
            const TimedMidi& event = scenario.midi[nextMidi];
            engine.receiveMidi(event.bytes, static_cast<int32_t>(event.frame - position));
            ++nextMidi;
        }
        if (options.call == RenderCall::Replacing) {
            engine.renderReplacing(outputs.data(), frames);
        } else {
            engine.renderAdding(outputs.data(), frames);
        }
        QueryPerformanceCounter(&end);
        seconds += static_cast<double>(end.QuadPart - begin.QuadPart) / static_cast<double>(frequency.QuadPart);
        services.advance(frames);
        services.endProcessing();
        for (int32_t c = 0; c < channels; ++c) {
            std::memcpy(sound[static_cast<size_t>(c)].data() + position, outputs[static_cast<size_t>(c)],
                        static_cast<size_t>(frames) * sizeof(float));
        }
    }
    if (options.renderSeconds != nullptr) {
        *options.renderSeconds = seconds;
    }
    return sound;
}

Scenario chordScenario(double sampleRate, double releaseSeconds)
{
    Scenario scenario;
    const auto at = [&](double seconds, int64_t offset) {
        return static_cast<int64_t>(seconds * sampleRate) + offset;
    };
    scenario.noteOn(at(0.02, 3), 60, 100);
    scenario.noteOn(at(0.15, 17), 64, 90);
    scenario.noteOn(at(0.30, 41), 67, 127);
    scenario.noteOff(at(0.70, 5), 64);
    scenario.noteOff(at(0.90, 29), 60);
    scenario.noteOff(at(0.90, 29), 67);
    scenario.frames = at(0.90 + releaseSeconds, 29);
    return scenario;
}

float peak(const Sound& sound, int64_t from, int64_t to)
{
    float largest = 0.0f;
    for (const std::vector<float>& channel : sound) {
        const int64_t end = std::min<int64_t>(to, static_cast<int64_t>(channel.size()));
        for (int64_t i = std::max<int64_t>(from, 0); i < end; ++i) {
            const float magnitude = std::fabs(channel[static_cast<size_t>(i)]);
            if (magnitude > largest) {
                largest = magnitude;
            }
        }
    }
    return largest;
}

int64_t countNonFinite(const Sound& sound)
{
    int64_t count = 0;
    for (const std::vector<float>& channel : sound) {
        for (float sample : channel) {
            count += std::isfinite(sample) ? 0 : 1;
        }
    }
    return count;
}

int64_t countDenormal(const Sound& sound)
{
    int64_t count = 0;
    for (const std::vector<float>& channel : sound) {
        for (float sample : channel) {
            count += std::fpclassify(sample) == FP_SUBNORMAL ? 1 : 0;
        }
    }
    return count;
}

double largestDifference(const Sound& a, const Sound& b)
{
    if (a.size() != b.size()) {
        return INFINITY;
    }
    double largest = 0.0;
    for (size_t c = 0; c < a.size(); ++c) {
        if (a[c].size() != b[c].size()) {
            return INFINITY;
        }
        for (size_t i = 0; i < a[c].size(); ++i) {
            if (std::memcmp(&a[c][i], &b[c][i], sizeof(float)) == 0) {
                continue;
            }
            const double difference = std::fabs(static_cast<double>(a[c][i]) - static_cast<double>(b[c][i]));
            largest = std::isnan(difference) ? INFINITY : std::max(largest, difference);
        }
    }
    return largest;
}

int64_t silentFrom(const Sound& sound, float threshold)
{
    int64_t from = 0;
    for (const std::vector<float>& channel : sound) {
        for (size_t i = channel.size(); i-- > 0;) {
            if (std::fabs(channel[i]) > threshold) {
                from = std::max<int64_t>(from, static_cast<int64_t>(i) + 1);
                break;
            }
        }
    }
    return from;
}

}  // namespace validator
