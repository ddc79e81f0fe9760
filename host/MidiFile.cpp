#include "MidiFile.h"

#include <algorithm>
#include <cstdio>

namespace host {

int32_t MidiSequence::notesPlayed() const
{
    int32_t count = 0;
    for (const MidiMessage& message : messages) {
        if ((message.bytes[0] & 0xF0) == 0x90 && message.bytes[2] > 0) {
            ++count;
        }
    }
    return count;
}

namespace {

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data(data), size(size) {}

    bool atEnd() const { return position >= size; }
    size_t remaining() const { return size - position; }
    size_t offset() const { return position; }

    bool byte(uint8_t& value)
    {
        if (position >= size) {
            return false;
        }
        value = data[position++];
        return true;
    }
    bool bigEndian(uint32_t& value, int bytes)
    {
        if (remaining() < static_cast<size_t>(bytes)) {
            return false;
        }
        value = 0;
        for (int i = 0; i < bytes; ++i) {
            value = (value << 8) | data[position++];
        }
        return true;
    }
    // A variable-length quantity: at most four bytes, seven bits each.
    bool variableLength(uint32_t& value)
    {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t part = 0;
            if (!byte(part)) {
                return false;
            }
            value = (value << 7) | (part & 0x7F);
            if ((part & 0x80) == 0) {
                return true;
            }
        }
        return false;
    }
    bool skip(size_t count)
    {
        if (remaining() < count) {
            return false;
        }
        position += count;
        return true;
    }
    const uint8_t* here() const { return data + position; }

private:
    const uint8_t* data;
    size_t size;
    size_t position = 0;
};

bool fail(std::string& error, const char* what, size_t offset)
{
    char text[160];
    std::snprintf(text, sizeof text, "%s (at byte %zu)", what, offset);
    error = text;
    return false;
}

// Bytes that follow a status byte in a channel message.
int dataBytesOf(uint8_t status)
{
    const uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

bool parseTrack(Reader& track, size_t trackStart, MidiSequence& sequence, std::string& error)
{
    int64_t tick = 0;
    uint8_t runningStatus = 0;
    while (!track.atEnd()) {
        uint32_t delta = 0;
        if (!track.variableLength(delta)) {
            return fail(error, "damaged delta time in a track", trackStart + track.offset());
        }
        tick += delta;
        uint8_t first = 0;
        if (!track.byte(first)) {
            return fail(error, "track ends inside an event", trackStart + track.offset());
        }
        if (first == 0xFF) {
            uint8_t type = 0;
            uint32_t length = 0;
            if (!track.byte(type) || !track.variableLength(length) || track.remaining() < length) {
                return fail(error, "damaged meta event", trackStart + track.offset());
            }
            const uint8_t* body = track.here();
            if (type == 0x51 && length == 3) {
                const double perQuarter = (body[0] << 16) | (body[1] << 8) | body[2];
                if (perQuarter > 0) {
                    sequence.tempoChanges.push_back({tick, perQuarter});
                }
            } else if (type == 0x58 && length >= 2) {
                const int32_t denominatorPower = body[1];
                if (body[0] > 0 && denominatorPower <= 6) {
                    sequence.signatures.push_back({tick, body[0], 1 << denominatorPower});
                }
            }
            track.skip(length);
            if (type == 0x2F) {
                sequence.endTick = std::max(sequence.endTick, tick);
                return true;
            }
            runningStatus = 0;
            continue;
        }
        if (first == 0xF0 || first == 0xF7) {
            uint32_t length = 0;
            if (!track.variableLength(length) || !track.skip(length)) {
                return fail(error, "damaged system-exclusive event", trackStart + track.offset());
            }
            runningStatus = 0;
            continue;
        }
        uint8_t status = first;
        MidiMessage message = {tick, {0, 0, 0, 0}};
        int index = 1;
        if (first < 0x80) {
            if (runningStatus == 0) {
                return fail(error, "data byte without a status", trackStart + track.offset());
            }
            status = runningStatus;
            message.bytes[1] = first;
            index = 2;
        } else if (first >= 0xF0) {
            return fail(error, "system message inside a track", trackStart + track.offset());
        }
        runningStatus = status;
        message.bytes[0] = status;
        const int count = dataBytesOf(status);
        for (; index <= count; ++index) {
            uint8_t data = 0;
            if (!track.byte(data) || data >= 0x80) {
                return fail(error, "damaged channel message", trackStart + track.offset());
            }
            message.bytes[index] = data;
        }
        sequence.messages.push_back(message);
        sequence.endTick = std::max(sequence.endTick, tick);
    }
    return true;  // a track without its end-of-track event is accepted as it is
}

}  // namespace

bool parseMidiFile(const std::vector<uint8_t>& bytes, MidiSequence& sequence, std::string& error)
{
    sequence = MidiSequence();
    Reader file(bytes.data(), bytes.size());
    uint32_t tag = 0;
    uint32_t headerLength = 0;
    if (!file.bigEndian(tag, 4) || tag != 0x4D546864 || !file.bigEndian(headerLength, 4) || headerLength < 6 ||
        file.remaining() < headerLength) {
        return fail(error, "not a Standard MIDI File (no MThd header)", 0);
    }
    uint32_t format = 0;
    uint32_t trackCount = 0;
    uint32_t division = 0;
    file.bigEndian(format, 2);
    file.bigEndian(trackCount, 2);
    file.bigEndian(division, 2);
    file.skip(headerLength - 6);
    if (format > 1) {
        return fail(error, "MIDI file format 2 (independent sequences) is not supported", 8);
    }
    if (trackCount == 0) {
        return fail(error, "MIDI file has no tracks", 10);
    }
    if ((division & 0x8000) != 0) {
        // SMPTE timing: frames per second and ticks per frame give ticks per
        // second; a fixed tempo of one quarter per second keeps that exact.
        const int32_t framesPerSecond = -static_cast<int8_t>(division >> 8);
        const int32_t ticksPerFrame = static_cast<int32_t>(division & 0xFF);
        if (framesPerSecond <= 0 || ticksPerFrame == 0) {
            return fail(error, "damaged SMPTE time division", 12);
        }
        sequence.ticksPerQuarter = framesPerSecond * ticksPerFrame;
    } else if (division == 0) {
        return fail(error, "time division of 0 ticks per quarter", 12);
    } else {
        sequence.ticksPerQuarter = static_cast<int32_t>(division);
    }
    const bool smpte = (division & 0x8000) != 0;

    uint32_t tracksRead = 0;
    while (tracksRead < trackCount && !file.atEnd()) {
        uint32_t chunkLength = 0;
        const size_t chunkStart = file.offset();
        if (!file.bigEndian(tag, 4) || !file.bigEndian(chunkLength, 4)) {
            return fail(error, "damaged chunk header", chunkStart);
        }
        if (file.remaining() < chunkLength) {
            return fail(error, "chunk runs past the end of the file", chunkStart);
        }
        if (tag != 0x4D54726B) {  // not MTrk: skip chunks of unknown kinds
            file.skip(chunkLength);
            continue;
        }
        Reader track(file.here(), chunkLength);
        if (!parseTrack(track, file.offset(), sequence, error)) {
            return false;
        }
        file.skip(chunkLength);
        ++tracksRead;
    }
    if (tracksRead == 0) {
        return fail(error, "MIDI file has no track chunk", file.offset());
    }
    if (smpte) {
        sequence.tempoChanges.assign(1, {0, 1000000.0});
    }
    auto byTick = [](const auto& a, const auto& b) {
        return a.tick < b.tick;
    };
    std::stable_sort(sequence.messages.begin(), sequence.messages.end(), byTick);
    std::stable_sort(sequence.tempoChanges.begin(), sequence.tempoChanges.end(), byTick);
    std::stable_sort(sequence.signatures.begin(), sequence.signatures.end(), byTick);
    return true;
}

}  // namespace host
