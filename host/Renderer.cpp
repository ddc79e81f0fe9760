#include "Renderer.h"

#include <algorithm>
#include <cstddef>
#include <cmath>
#include <cstdio>
#include <vector>

namespace host {

bool renderSequence(PluginInstance& plugin, const MidiSequence& sequence, const Transport& transport,
                    WavWriter* writer, const RenderSettings& settings, RenderResult& result, std::string& error)
{
    result = RenderResult();
    const int32_t outputs = plugin.outputCount();
    if (outputs <= 0) {
        error = "the plug-in has no audio outputs to render";
        return false;
    }
    const int32_t block = settings.blockSize;
    std::vector<std::vector<float>> buffers(static_cast<size_t>(outputs), std::vector<float>(static_cast<size_t>(block)));
    std::vector<float*> pointers;
    for (std::vector<float>& buffer : buffers) {
        pointers.push_back(buffer.data());
    }
    // A stereo file: the first two outputs, or the one output twice.
    const float* stereo[2] = {pointers[0], pointers[outputs > 1 ? 1 : 0]};

    // Every message's frame, fixed once so that block size cannot move it.
    std::vector<int64_t> frames;
    frames.reserve(sequence.messages.size());
    for (const MidiMessage& message : sequence.messages) {
        frames.push_back(static_cast<int64_t>(std::llround(transport.sampleOfTick(message.tick))));
    }
    const int64_t lastFrame = static_cast<int64_t>(std::llround(transport.sampleOfTick(sequence.endTick)));
    const int64_t total = lastFrame + static_cast<int64_t>(std::llround(settings.tailSeconds * transport.sampleRate()));

    std::vector<VstMidiEvent> midiEvents(sequence.messages.size() + 1);
    std::vector<uint8_t> listStorage(sizeof(VstEvents) + sizeof(VstEvent*) * (sequence.messages.size() + 1));
    VstEvents* list = reinterpret_cast<VstEvents*>(listStorage.data());
    // The record declares two entries; the storage holds one per message.
    VstEvent** slots = reinterpret_cast<VstEvent**>(listStorage.data() + offsetof(VstEvents, events));

    plugin.dispatch(effMainsChanged, 0, 1);
    plugin.dispatch(effStartProcess);
    double sumSquares = 0.0;
    size_t next = 0;
    int lastPercent = 0;
    for (int64_t position = 0; position < total; position += block) {
        const int32_t count = static_cast<int32_t>(std::min<int64_t>(block, total - position));
        plugin.setTimeInfo(transport.timeInfo(static_cast<double>(position), true, position == 0));

        int32_t events = 0;
        while (next < sequence.messages.size() && frames[next] < position + count) {
            VstMidiEvent& event = midiEvents[static_cast<size_t>(events)];
            event = VstMidiEvent();
            event.type = kVstMidiType;
            event.byteSize = sizeof(VstMidiEvent) - 8;
            event.deltaFrames = static_cast<int32_t>(std::max<int64_t>(frames[next] - position, 0));
            for (int i = 0; i < 4; ++i) {
                event.midiData[i] = static_cast<char>(sequence.messages[next].bytes[i]);
            }
            slots[events] = reinterpret_cast<VstEvent*>(&event);
            const unsigned char* bytes = sequence.messages[next].bytes;
            if ((bytes[0] & 0xF0) == 0x90 && bytes[2] > 0) {
                ++result.notesPlayed;
            }
            ++events;
            ++next;
        }
        list->numEvents = events;
        list->reserved = 0;
        if (events > 0) {
            plugin.processEvents(list);
        }
        plugin.process(pointers.data(), count);

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
