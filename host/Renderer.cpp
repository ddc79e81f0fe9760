#include "Renderer.h"

#include "BlockEvents.h"

#include <algorithm>
#include <cstddef>
#include <cmath>
#include <cstdio>
#include <vector>

namespace host {

bool renderSequence(PluginInstance& plugin, const MidiSequence& sequence, const Transport& transport, WavWriter* writer,
                    const RenderSettings& settings, RenderResult& result, std::string& error)
{
    result = RenderResult();
    const int32_t outputs = plugin.outputCount();
    if (outputs <= 0) {
        error = "the plug-in has no audio outputs to render";
        return false;
    }
    const int32_t block = settings.blockSize;
    std::vector<std::vector<float>> buffers(static_cast<size_t>(outputs),
                                            std::vector<float>(static_cast<size_t>(block)));
    std::vector<float*> pointers;
    for (std::vector<float>& buffer : buffers) {
        pointers.push_back(buffer.data());
    }
    // A stereo file: the first two outputs, or the one output twice.
    const float* stereo[2] = {pointers[0], pointers[outputs > 1 ? 1 : 0]};

    // Every message's frame, fixed once so that block size cannot move it.
    BlockEvents blockEvents(sequence, transport);
    const int64_t lastFrame = static_cast<int64_t>(std::llround(transport.sampleOfTick(sequence.endTick)));
    const int64_t total = lastFrame + static_cast<int64_t>(std::llround(settings.tailSeconds * transport.sampleRate()));

    plugin.dispatch(effMainsChanged, 0, 1);
    plugin.dispatch(effStartProcess);
    double sumSquares = 0.0;
    size_t next = 0;
    int lastPercent = 0;
    for (int64_t position = 0; position < total; position += block) {
        const int32_t count = static_cast<int32_t>(std::min<int64_t>(block, total - position));
        plugin.setTimeInfo(transport.timeInfo(static_cast<double>(position), true, position == 0));

        int64_t notes = result.notesPlayed;
        const int32_t events = blockEvents.collect(next, position, count, notes);
        result.notesPlayed = static_cast<int32_t>(notes);
        if (events > 0) {
            plugin.processEvents(blockEvents.list());
        }
        plugin.process(pointers.data(), count);
        if (plugin.idleRequested)
            plugin.dispatch(effIdle);

        for (int32_t channel = 0; channel < 2; ++channel) {
            for (int32_t i = 0; i < count; ++i) {
                const float sample = stereo[channel][i];
                result.peak = std::max(result.peak, std::fabs(sample));
                sumSquares += static_cast<double>(sample) * sample;
            }
        }
        if (writer != nullptr && !writer->write(stereo, count)) {
            error = "cannot write the WAV file (disk full or removed?)";
            plugin.dispatch(effStopProcess);
            plugin.dispatch(effMainsChanged, 0, 0);
            return false;
        }
        result.frames += count;
        const int percent = static_cast<int>(100 * (position + count) / total);
        if (settings.showProgress && percent / 10 > lastPercent / 10) {
            std::fprintf(stderr, "progress: %d%%\n", percent / 10 * 10);
            lastPercent = percent;
        }
    }
    plugin.dispatch(effStopProcess);
    plugin.dispatch(effMainsChanged, 0, 0);
    result.rms = result.frames > 0 ? std::sqrt(sumSquares / (2.0 * static_cast<double>(result.frames))) : 0.0;
    return true;
}

}  // namespace host
