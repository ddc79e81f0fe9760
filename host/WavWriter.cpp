#include "WavWriter.h"

#include <cmath>
#include <cstring>

namespace host {

namespace {

void put16(uint8_t* at, uint32_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void put32(uint8_t* at, uint32_t value)
{
    put16(at, value & 0xFFFF);
    put16(at + 2, value >> 16);
}

int32_t quantise(float sample, int32_t fullScale)
{
    if (!(sample == sample)) {
        return 0;  // NaN
    }
    const double scaled = std::round(static_cast<double>(sample) * fullScale);
    if (scaled > fullScale) {
        return fullScale;
    }
    if (scaled < -fullScale - 1) {
        return -fullScale - 1;
    }
    return static_cast<int32_t>(scaled);
}

// RIFF header, fmt chunk (18 bytes for float, with its fact chunk), data header.
constexpr long pcmHeaderSize = 44;
constexpr long floatHeaderSize = 58;

}  // namespace

WavWriter::~WavWriter()
{
    if (file != nullptr) {
        std::fclose(file);
    }
}

int32_t WavWriter::bytesPerSample(SampleFormat format)
{
    return format == SampleFormat::Pcm16 ? 2 : (format == SampleFormat::Pcm24 ? 3 : 4);
}

bool WavWriter::open(const std::string& path, int32_t channels, int32_t sampleRate, SampleFormat format)
{
    if (file != nullptr || channels <= 0 || sampleRate <= 0) {
        return false;
    }
    file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    channelCount = channels;
    sampleFormat = format;
    dataBytes = 0;
    failed = false;
    const long headerSize = format == SampleFormat::Float32 ? floatHeaderSize : pcmHeaderSize;
    std::vector<uint8_t> header(static_cast<size_t>(headerSize), 0);
    const uint32_t bytes = static_cast<uint32_t>(bytesPerSample(format));
    uint8_t* at = header.data();
    std::memcpy(at, "RIFF", 4);
    std::memcpy(at + 8, "WAVE", 4);
    std::memcpy(at + 12, "fmt ", 4);
    const bool isFloat = format == SampleFormat::Float32;
    put32(at + 16, isFloat ? 18 : 16);
    put16(at + 20, isFloat ? 3 : 1);
    put16(at + 22, static_cast<uint32_t>(channels));
    put32(at + 24, static_cast<uint32_t>(sampleRate));
    put32(at + 28, static_cast<uint32_t>(sampleRate) * static_cast<uint32_t>(channels) * bytes);
    put16(at + 32, static_cast<uint32_t>(channels) * bytes);
    put16(at + 34, bytes * 8);
    if (isFloat) {
        put16(at + 36, 0);  // no extension
        std::memcpy(at + 38, "fact", 4);
        put32(at + 42, 4);
        std::memcpy(at + 50, "data", 4);
    } else {
        std::memcpy(at + 36, "data", 4);
    }
    if (std::fwrite(header.data(), 1, header.size(), file) != header.size()) {
        failed = true;
    }
    return !failed;
}

bool WavWriter::write(const float* const* channels, int32_t frames)
{
    if (file == nullptr || failed || frames <= 0) {
        return !failed && file != nullptr;
    }
    const size_t bytes = static_cast<size_t>(bytesPerSample(sampleFormat));
    scratch.resize(static_cast<size_t>(frames) * static_cast<size_t>(channelCount) * bytes);
    uint8_t* at = scratch.data();
    for (int32_t frame = 0; frame < frames; ++frame) {
        for (int32_t channel = 0; channel < channelCount; ++channel) {
            const float sample = channels[channel] != nullptr ? channels[channel][frame] : 0.0f;
            switch (sampleFormat) {
            case SampleFormat::Pcm16:
                put16(at, static_cast<uint32_t>(quantise(sample, 32767)));
                break;
            case SampleFormat::Pcm24: {
                const uint32_t value = static_cast<uint32_t>(quantise(sample, 8388607));
                at[0] = static_cast<uint8_t>(value);
                at[1] = static_cast<uint8_t>(value >> 8);
                at[2] = static_cast<uint8_t>(value >> 16);
                break;
            }
            case SampleFormat::Float32:
                std::memcpy(at, &sample, 4);
                break;
            }
            at += bytes;
        }
    }
    if (std::fwrite(scratch.data(), 1, scratch.size(), file) != scratch.size()) {
        failed = true;
    }
    dataBytes += scratch.size();
    return !failed;
}

bool WavWriter::close()
{
    if (file == nullptr) {
        return false;
    }
    // RIFF sizes are 32-bit: a render past 4 GB cannot be described.
    const bool fits = dataBytes <= 0xFFFFFFFFull - floatHeaderSize;
    const bool isFloat = sampleFormat == SampleFormat::Float32;
    const long headerSize = isFloat ? floatHeaderSize : pcmHeaderSize;
    uint8_t size[4];
    bool ok = !failed && fits;
    if (dataBytes % 2 != 0) {
        ok = ok && std::fputc(0, file) != EOF;  // chunks are padded to even lengths
    }
    put32(size, static_cast<uint32_t>(headerSize - 8 + dataBytes + dataBytes % 2));
    ok = ok && std::fseek(file, 4, SEEK_SET) == 0 && std::fwrite(size, 1, 4, file) == 4;
    if (isFloat) {
        const uint64_t frames = dataBytes / (4u * static_cast<uint64_t>(channelCount));
        put32(size, static_cast<uint32_t>(frames));
        ok = ok && std::fseek(file, 46, SEEK_SET) == 0 && std::fwrite(size, 1, 4, file) == 4;
    }
    put32(size, static_cast<uint32_t>(dataBytes));
    ok = ok && std::fseek(file, headerSize - 4, SEEK_SET) == 0 && std::fwrite(size, 1, 4, file) == 4;
    ok = std::fclose(file) == 0 && ok;
    file = nullptr;
    return ok;
}

}  // namespace host
