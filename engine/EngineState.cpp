#include "EngineState.h"

#include <cmath>
#include <cstring>

#include "StreamBufferException.h"

namespace engine {

namespace {

class Checksum {
public:
    void add(uint32_t word)
    {
        for (int shift = 0; shift < 32; shift += 8) {
            hash = (hash ^ ((word >> shift) & 0xFFu)) * 16777619u;
        }
    }
    void add(float value)
    {
        uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        add(bits);
    }
    uint32_t value() const { return hash; }

private:
    uint32_t hash = 2166136261u;
};

bool readUnchecked(Korvanta::InputStream& stream, float (&values)[ParameterCount])
{
    Checksum checksum;
    uint32_t magic = 0;
    uint32_t version = 0;
    uint32_t count = 0;
    if (!stream.read(magic) || magic != stateMagic) {
        return false;
    }
    if (!stream.read(version) || version != stateVersion) {
        return false;
    }
    if (!stream.read(count) || count > static_cast<uint32_t>(ParameterCount)) {
        return false;
    }
    checksum.add(magic);
    checksum.add(version);
    checksum.add(count);
    for (int32_t index = 0; index < ParameterCount; ++index) {
        values[index] = parameterInfo(index).defaultValue;
    }
    for (uint32_t index = 0; index < count; ++index) {
        float value = 0.0f;
        if (!stream.read(value) || !std::isfinite(value) || value < 0.0f || value > 1.0f) {
            return false;
        }
        checksum.add(value);
        values[index] = value;
    }
    uint32_t stored = 0;
    return stream.read(stored) && stored == checksum.value();
}

}  // namespace

void writeState(Korvanta::OutputStream& stream, const ParameterSet& parameters)
{
    Checksum checksum;
    const uint32_t count = ParameterCount;
    stream.writeUInt32(stateMagic);
    stream.writeUInt32(stateVersion);
    stream.writeUInt32(count);
    checksum.add(stateMagic);
    checksum.add(stateVersion);
    checksum.add(count);
    for (int32_t index = 0; index < ParameterCount; ++index) {
        const float value = parameters.get(index);
        stream.writeFloat(value);
        checksum.add(value);
    }
    stream.writeUInt32(checksum.value());
}

bool readState(Korvanta::InputStream& stream, float (&values)[ParameterCount])
{
    // The plug-in's memory stream throws when a read runs past the end of a
    // short chunk; any other stream may report it by a false result instead.
    try {
        return readUnchecked(stream, values);
    } catch (const Korvanta::StreamBufferException&) {
        return false;
    } catch (const Korvanta::Exception&) {
        return false;
    } catch (...) {
        return false;
    }
}

}  // namespace engine
