// RIFF/WAVE output, written as the render goes: 16-bit or 24-bit PCM
// (rounded, clipped at full scale) or 32-bit IEEE float.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace host {

enum class SampleFormat { Pcm16, Pcm24, Float32 };

class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool open(const std::string& path, int32_t channels, int32_t sampleRate, SampleFormat format);
    // Interleaves `frames` samples of each channel.
    bool write(const float* const* channels, int32_t frames);
    // Fills in the sizes; false when the file could not be completed.
    bool close();

    static int32_t bytesPerSample(SampleFormat format);

private:
    std::FILE* file = nullptr;
    int32_t channelCount = 0;
    SampleFormat sampleFormat = SampleFormat::Pcm16;
    uint64_t dataBytes = 0;
    bool failed = false;
    std::vector<uint8_t> scratch;
};

}  // namespace host
